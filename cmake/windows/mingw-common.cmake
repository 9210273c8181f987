# What both MinGW-w64 toolchain files share; each sets VRC_MINGW_TRIPLE first.
# The posix threads variant of the compilers: the framework uses std::thread
# and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${VRC_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VRC_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VRC_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${VRC_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${VRC_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")

# The headers and libraries of the target live under the MinGW sysroot, plus the
# static libraries that scripts/build-windows.sh builds for it (VRC_MINGW_PREFIX).
set(CMAKE_FIND_ROOT_PATH /usr/${VRC_MINGW_TRIPLE} ${VRC_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything the compiler brings (libstdc++, libgcc, winpthread) goes into the
# binaries, so a Windows machine needs nothing but its own system DLLs.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under wine, in a prefix of the build tree's own (of the
# target's word size), when ctest or test discovery needs them.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;--prefix;${CMAKE_BINARY_DIR}/wine;--arch;${VRC_WINEARCH}")
