#pragma once
// Where the editor's controls sit on the 800 x 200 panel. The editor places its
// knobs, switch and link here and the artwork generator prints their scales and
// frames here, so the picture and the controls can never drift apart.
#include "processor/Parameters.h"

namespace vrc
{

struct PanelRect
{
    int x, y, width, height;
};

constexpr int panelWidth = 800, panelHeight = 200;

/** The knob of a parameter (the curve has a switch instead). */
constexpr PanelRect knobBounds (ParameterId id) noexcept
{
    switch (id)
    {
        case ParameterId::threshold: return { 497, 36, 80, 80 };
        case ParameterId::ratio: return { 147, 19, 64, 64 };
        case ParameterId::gain: return { 265, 19, 64, 64 };
        case ParameterId::attack: return { 147, 113, 64, 64 };
        case ParameterId::release: return { 265, 113, 64, 64 };
        case ParameterId::knee: return { 384, 113, 64, 64 };
        case ParameterId::dryWet: return { 384, 19, 64, 64 };
        case ParameterId::curve: break;
    }
    return { 0, 0, 0, 0 };
}

constexpr PanelRect curveSwitchBounds { 538, 145, 29, 45 };
/** The maker's mark, which is the invisible web link. */
constexpr PanelRect logoBounds { 30, 10, 62, 70 };
/** The top left of the lit key label, in the logo column. */
constexpr int keyLampX = 25, keyLampY = 118;

} // namespace vrc
