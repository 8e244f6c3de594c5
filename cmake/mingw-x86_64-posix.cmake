# The 64-bit Windows-side tests: MinGW-w64 with the posix thread model.
set(KOLVANE_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-x86_64.cmake)
