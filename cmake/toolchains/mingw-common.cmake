# Shared by the mingw-w64 toolchain files, which set TB_MINGW_ARCH first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TB_MINGW_ARCH})
set(TB_MINGW_TRIPLE ${TB_MINGW_ARCH}-w64-mingw32)

# The posix-thread flavour: std::thread and std::mutex need it.
set(CMAKE_C_COMPILER   ${TB_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TB_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${TB_MINGW_TRIPLE}-windres)
set(CMAKE_AR           ${TB_MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB       ${TB_MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")

# Libraries and headers come from the mingw sysroot (zlib lives there) and from
# the prefix scripts/win-deps.sh fills; programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TB_MINGW_TRIPLE} ${TB_WINDEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# try_compile projects search the same roots.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TB_WINDEPS_PREFIX)

# Everything linked in, libgcc, libstdc++ and libwinpthread too: a plug-in DLL
# dropped into any host's folder cannot count on mingw's runtime DLLs.
foreach(kind EXE SHARED MODULE)
    set(CMAKE_${kind}_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
endforeach()
