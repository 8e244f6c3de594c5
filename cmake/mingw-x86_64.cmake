# The same sources for 64-bit Windows: this build carries the Windows-side
# tests in bulk, since Wine runs 64-bit programs natively everywhere, while
# a 32-bit Wine process is emulated, and slow, on kernels that run no 32-bit
# Linux programs.
set(KOLVANE_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
