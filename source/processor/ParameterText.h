#pragma once
// Display texts of parameter values: fixed decimals with "." whatever the
// locale, and halves rounded away from zero (printf would round them to even).
#include <string>

namespace vrc
{

/** n with d decimals; "-" whenever n < 0, so -0.004 reads "-0.00". */
std::string formatFixed (double n, int decimals);

/** "%.9g" of n, with "." as decimal point and a three-digit exponent ("9.99999975e-006"). */
std::string formatShortest9 (double n);

} // namespace vrc
