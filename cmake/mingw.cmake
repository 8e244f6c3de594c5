# Cross-compiles for Windows with MinGW-w64; tests run under Wine. Included
# by the toolchain files of each processor and thread model, which set
# KOLVANE_MINGW_ARCH (i686 or x86_64) and KOLVANE_MINGW_THREADS.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${KOLVANE_MINGW_ARCH})

if(NOT KOLVANE_MINGW_THREADS)
  set(KOLVANE_MINGW_THREADS win32)
endif()
set(CMAKE_C_COMPILER ${KOLVANE_MINGW_ARCH}-w64-mingw32-gcc-${KOLVANE_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${KOLVANE_MINGW_ARCH}-w64-mingw32-g++-${KOLVANE_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${KOLVANE_MINGW_ARCH}-w64-mingw32-windres)
set(CMAKE_MC_COMPILER ${KOLVANE_MINGW_ARCH}-w64-mingw32-windmc)

set(CMAKE_FIND_ROOT_PATH /usr/${KOLVANE_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Wine's 64-bit loader starts 64-bit programs directly; the wine command
# would go through the 32-bit loader first.
set(KOLVANE_WINE_RUN ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
if(KOLVANE_MINGW_ARCH STREQUAL "x86_64")
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KOLVANE_WINE_RUN};/usr/lib/wine/wine64)
else()
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KOLVANE_WINE_RUN};wine)
endif()
