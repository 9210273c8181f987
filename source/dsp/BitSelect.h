#pragma once
// c ? a : b on floats, made of integer masks. GCC turns some chains of float
// selects back into branches (it may not execute a float operation that one path
// skips while floating-point traps are honoured), and a loop with a branch stays
// scalar; integer masks keep such a loop vector code. The result is a or b exactly.
#include <cstdint>
#include <cstring>

namespace vrc
{

inline float bitSelect (bool c, float a, float b) noexcept
{
    std::uint32_t bitsA, bitsB;
    std::memcpy (&bitsA, &a, sizeof bitsA);
    std::memcpy (&bitsB, &b, sizeof bitsB);
    const std::uint32_t mask = 0u - static_cast<std::uint32_t> (c);
    const std::uint32_t bits = (bitsA & mask) | (bitsB & ~mask);
    float result;
    std::memcpy (&result, &bits, sizeof result);
    return result;
}

} // namespace vrc
