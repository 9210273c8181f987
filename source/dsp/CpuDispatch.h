#pragma once
// Passes over a block are compiled twice on x86: for the baseline instruction
// set (SSE2; the 32-bit Windows build has no more) and for AVX2, chosen at run
// time. Both do the same IEEE operations in the same order, on 4 or 8 lanes, so
// their results are identical to the bit; only the speed differs.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
 #define VRC_AVX2_DISPATCH 1
 #define VRC_TARGET_AVX2 __attribute__ ((target ("avx2")))
 #define VRC_INLINE_PASS __attribute__ ((always_inline)) inline
#else
 #define VRC_AVX2_DISPATCH 0
 #define VRC_INLINE_PASS inline
#endif

namespace vrc
{
/** True when the processor and the system support AVX2 (false where there is no dispatch). */
bool cpuHasAvx2() noexcept;
} // namespace vrc
