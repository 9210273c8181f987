# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (SSE arithmetic is
# the x86_64 default, as in the Linux build).
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VRC_MINGW_TRIPLE x86_64-w64-mingw32)
set(VRC_WINEARCH win64)

include("${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake")
