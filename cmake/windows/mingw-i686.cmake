# Cross-compiles for 32-bit Windows with Debian's MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VRC_MINGW_TRIPLE i686-w64-mingw32)
set(VRC_WINEARCH win32)

# SSE2 arithmetic instead of the x87 stack: single-precision results are then
# rounded exactly as in the x86_64 build, so audio matches it bit for bit.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

include("${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake")
