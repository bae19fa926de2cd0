# 32-bit Windows with Debian's mingw-w64 (posix threads). Build only: 32-bit
# programs do not run on a 64-bit-only wine.
set(TB_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
