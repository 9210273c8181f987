#include "ParameterText.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace vrc
{

std::string formatFixed (double n, int decimals)
{
    if (! (n > -1e20 && n < 1e20))
        return formatShortest9 (n);

    double scale = 1.0;
    for (int i = 0; i < decimals; ++i)
        scale *= 10.0;
    // Below 2^63 the integer part fits a 64-bit integer. Above it the double has no
    // fraction left (its spacing is 2048 or more) and is printed with all its exact
    // digits: the conversion to an integer would overflow there.
    const double scaled = std::fabs (n) * scale + 0.5;
    std::string digits;
    if (scaled < 9223372036854775808.0)
    {
        digits = std::to_string (static_cast<std::int64_t> (scaled));
    }
    else
    {
        char exact[32];
        const auto result = std::to_chars (exact, exact + sizeof exact, scaled, std::chars_format::fixed, 0);
        digits.assign (exact, result.ptr);
    }
    if (digits.size() < static_cast<size_t> (decimals + 1))
        digits.insert (0, static_cast<size_t> (decimals + 1) - digits.size(), '0');
    if (decimals > 0)
        digits.insert (digits.size() - static_cast<size_t> (decimals), 1, '.');
    return n < 0 ? "-" + digits : digits;
}

std::string formatShortest9 (double n)
{
    if (std::isnan (n))
        return "nan";
    if (std::isinf (n))
        return n < 0 ? "-inf" : "inf";

    // Build the text from the digits alone, so the process locale (a host may run
    // with a decimal comma) cannot change a single byte.
    char digits[32];
    std::snprintf (digits, sizeof digits, "%.8e", std::fabs (n)); // d.dddddddde+XX
    std::string mantissa;
    for (const char* p = digits; *p != 0 && *p != 'e' && *p != 'E'; ++p)
        if (*p >= '0' && *p <= '9')
            mantissa += *p;
    const char* e = digits;
    while (*e != 0 && *e != 'e' && *e != 'E')
        ++e;
    int exponent = (*e != 0) ? std::atoi (e + 1) : 0;
    if (n == 0.0)
        exponent = 0;

    // %g drops trailing zeros and picks fixed or exponent form from the exponent.
    while (mantissa.size() > 1 && mantissa.back() == '0')
        mantissa.pop_back();

    std::string text;
    if (exponent < -4 || exponent >= 9)
    {
        text = mantissa.substr (0, 1);
        if (mantissa.size() > 1)
            text += "." + mantissa.substr (1);
        char exp[16];
        std::snprintf (exp, sizeof exp, "e%c%03d", exponent < 0 ? '-' : '+', std::abs (exponent));
        text += exp;
    }
    else if (exponent < 0)
    {
        text = "0." + std::string (static_cast<size_t> (-exponent - 1), '0') + mantissa;
    }
    else
    {
        const auto intDigits = static_cast<size_t> (exponent + 1);
        if (mantissa.size() <= intDigits)
            text = mantissa + std::string (intDigits - mantissa.size(), '0');
        else
            text = mantissa.substr (0, intDigits) + "." + mantissa.substr (intDigits);
    }
    return std::signbit (n) ? "-" + text : text;
}

std::string parameterText (ParameterId id, float physical)
{
    const auto& p = parameterTable[static_cast<std::size_t> (id)];
    if (p.unit == ParameterUnit::percent)
        return formatFixed (physical * p.displayScale, 1) + "%";
    return formatFixed (physical, 2);
}

} // namespace vrc
