#pragma once
// Colour on a terminal: the window's colours brought to the 256-colour
// palette that terminals share, and when to use them at all.

#include <cstdint>

#include "core/config/ColourTable.h"

namespace tapwise {

// The palette entry (16..255: the 6x6x6 cube and the grey ramp, which every
// 256-colour terminal shows alike) nearest to 0xRRGGBB.
int NearestTerminalColour(int32_t rgb);

// A colour table value as 0xRRGGBB. A system colour has no value outside
// the window; the window text colour is then -1 (the terminal's own) and the
// tooltip background a pale yellow, as most desktops draw it.
int32_t TerminalRgb(int32_t tableValue);

// -color:auto: only onto a terminal, and not when NO_COLOR is set.
bool ColourWanted(bool outputIsTerminal, const char* noColour);

}  // namespace tapwise
