#include "ClapParameters.h"

#include "processor/ParameterDisplay.h"
#include "processor/ParameterText.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <algorithm>

namespace vrc::clap
{
namespace
{
const ParameterInfo* find (Id id) noexcept
{
    return id < static_cast<Id> (numParameters) ? &parameterTable[id] : nullptr;
}

/** Whether the n characters at a spell b, ignoring ASCII case. */
bool equalIgnoringCase (const char* a, std::size_t n, const char* b) noexcept
{
    if (std::strlen (b) != n)
        return false;
    for (std::size_t i = 0; i < n; ++i)
        if ((a[i] | 0x20) != (b[i] | 0x20))
            return false;
    return true;
}

void copyText (char* to, std::size_t capacity, const char* from) noexcept
{
    const auto n = std::min (std::strlen (from), capacity - 1);
    std::memcpy (to, from, n);
    to[n] = 0;
}
} // namespace

bool parameterInfo (std::uint32_t index, ParamInfo& info) noexcept
{
    const auto* p = find (index);
    if (p == nullptr)
        return false;
    info = {};
    info.id = index;
    info.flags = paramIsAutomatable | (p->enumeration ? paramIsStepped | paramIsEnum : 0u);
    copyText (info.name, sizeof info.name, p->name);
    info.minValue = displayLowest (*p);
    info.maxValue = displayHighest (*p);
    info.defaultValue = displayDefault (*p);
    return true;
}

bool parameterValueText (Id id, double value, char* text, std::uint32_t capacity) noexcept
{
    const auto* p = find (id);
    if (p == nullptr || text == nullptr || capacity == 0 || ! std::isfinite (value))
        return false;
    if (p->enumeration)
    {
        copyText (text, capacity, curveLabels[value >= 0.5 ? 1 : 0]);
        return true;
    }
    // The text of the physical value a host write of this value would set.
    const auto physical = static_cast<float> (value / static_cast<double> (p->displayScale));
    try
    {
        copyText (text, capacity, parameterText (p->id, physical).c_str());
        return true;
    }
    catch (...) // an allocation failure is reported, never thrown into the host
    {
        return false;
    }
}

std::optional<double> parameterValueFromText (Id id, const char* text) noexcept
{
    const auto* p = find (id);
    if (p == nullptr || text == nullptr)
        return {};
    while (*text == ' ')
        ++text;
    if (p->enumeration)
        for (int v = 0; v < 2; ++v)
            if (equalIgnoringCase (text, std::strlen (text), curveLabels[v]))
                return static_cast<double> (v);

    if (*text == '+')
        ++text;
    const auto* end = text + std::strlen (text);
    double value = 0.0;
    const auto [rest, error] = std::from_chars (text, end, value);
    if (error != std::errc() || ! std::isfinite (value))
        return {};
    const char* unit = rest;
    while (*unit == ' ')
        ++unit;
    auto tail = unit + std::strlen (unit);
    while (tail > unit && tail[-1] == ' ')
        --tail;
    if (tail != unit && ! equalIgnoringCase (unit, static_cast<std::size_t> (tail - unit), unitText (p->unit)))
        return {};
    const auto lowest = static_cast<double> (displayLowest (*p));
    const auto highest = static_cast<double> (displayHighest (*p));
    return value < lowest ? lowest : (value > highest ? highest : value);
}
} // namespace vrc::clap
