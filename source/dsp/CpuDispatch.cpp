#include "CpuDispatch.h"

namespace vrc
{
#if VRC_AVX2_DISPATCH
namespace
{
// Asked once when the library loads, so the audio thread never meets a
// first-use guard.
const bool avx2Available = []
{
    __builtin_cpu_init();
    return __builtin_cpu_supports ("avx2") != 0;
}();
} // namespace
#endif

bool cpuHasAvx2() noexcept
{
#if VRC_AVX2_DISPATCH
    return avx2Available;
#else
    return false;
#endif
}
} // namespace vrc
