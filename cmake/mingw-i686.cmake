# The program as released: 32-bit Windows. It uses the win32 thread model,
# whose runtime needs nothing newer than Windows XP; mingw-i686-posix.cmake
# switches to the posix model that GoogleTest needs (std::mutex).
set(KOLVANE_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
