# Cross-compiles for 32-bit Windows with Debian's MinGW-w64 (posix threads
# variant, which the framework's std::thread and std::mutex use needs).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(VRC_MINGW_TRIPLE i686-w64-mingw32)
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

# SSE2 arithmetic instead of the x87 stack: single-precision results are then
# rounded exactly as in the x86_64 build, so audio matches it bit for bit.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

# Everything the compiler brings (libstdc++, libgcc, winpthread) goes into the
# binaries, so a Windows machine needs nothing but its own system DLLs.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under wine, in a prefix of the build tree's own, when ctest
# or test discovery needs them.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;--prefix;${CMAKE_BINARY_DIR}/wine")
