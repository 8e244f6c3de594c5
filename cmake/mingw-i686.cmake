# Cross-compiles for 32-bit Windows with MinGW-w64; tests run under Wine.
# The program itself uses the win32 thread model, whose runtime needs
# nothing newer than Windows XP; mingw-i686-posix.cmake switches to the
# posix model that GoogleTest needs (std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

if(NOT KOLVANE_MINGW_THREADS)
  set(KOLVANE_MINGW_THREADS win32)
endif()
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-${KOLVANE_MINGW_THREADS})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${KOLVANE_MINGW_THREADS})
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env;WINEDEBUG=-all;wine)
