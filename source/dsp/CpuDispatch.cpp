#include "CpuDispatch.h"

namespace vrc
{
bool cpuHasAvx2() noexcept
{
#if VRC_AVX2_DISPATCH
    static const bool has = []
    {
        __builtin_cpu_init();
        return __builtin_cpu_supports ("avx2") != 0;
    }();
    return has;
#else
    return false;
#endif
}
} // namespace vrc
