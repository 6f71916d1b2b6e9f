#pragma once
// Colour values as the settings keep them (plain = blue×65536+green×256+red;
// top bit set = a system colour by the index in the low byte) turned into
// colours to draw with. System colours come from the application's palette,
// so they follow the desktop's theme.

#include <QColor>

#include <cstdint>

namespace tapwise {

QColor ResolveColour(int32_t value);
// A plain colour value for a picked colour.
int32_t PlainColourValue(const QColor& colour);

}  // namespace tapwise
