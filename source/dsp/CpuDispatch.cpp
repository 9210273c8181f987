#include "CpuDispatch.h"

#include <cstdlib>

namespace vrc
{
#if VRC_AVX2_DISPATCH
namespace
{
// Asked once when the library loads, so the audio thread never meets a
// first-use guard. VRC_NO_AVX2 in the environment keeps the baseline passes, so
// the tests can show that both copies give the same bits on one machine.
const bool avx2Available = []
{
    __builtin_cpu_init();
    return __builtin_cpu_supports ("avx2") != 0 && std::getenv ("VRC_NO_AVX2") == nullptr;
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
