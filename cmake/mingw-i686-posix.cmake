# The Windows-side tests: MinGW-w64 with the posix thread model.
set(KOLVANE_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
