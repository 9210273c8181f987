#pragma once
// Display texts of parameter values: fixed decimals with "." whatever the
// locale, and halves rounded away from zero (printf would round them to even).
#include "Parameters.h"

#include <string>

namespace vrc
{

/** n with d decimals; "-" whenever n < 0, so -0.004 reads "-0.00". */
std::string formatFixed (double n, int decimals);

/** "%.9g" of n, with "." as decimal point and a three-digit exponent ("9.99999975e-006"). */
std::string formatShortest9 (double n);

/** What the host and the editor show for a physical value: two decimals in the
    parameter's unit, a share as a percentage with one. */
std::string parameterText (ParameterId id, float physical);

} // namespace vrc
