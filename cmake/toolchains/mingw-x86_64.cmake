# 64-bit Windows with Debian's mingw-w64 (posix threads), e.g.
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-x86_64.cmake
#         -DTB_WINDEPS_PREFIX=$PWD/build-windeps/x86_64
set(TB_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Test programs run under wine, which runs 64-bit programs here.
find_program(TB_WINE wine)
if(TB_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TB_WINE})
endif()
