#include "core/config/ColourTable.h"

namespace tapwise {

namespace {

// What a first run shows: the text in the system's own text colour, sixteen
// distinct port colours, transmissions on the tooltip background, errors on red.
const std::array<int32_t, ColourTable::Count> Defaults = {
    ColourTable::SystemColour(ColourTable::SystemWindowText),
    ColourTable::Rgb(0, 0, 128),      // 1 navy
    ColourTable::Rgb(0, 128, 0),      // 2 green
    ColourTable::Rgb(128, 0, 0),      // 3 maroon
    ColourTable::Rgb(128, 128, 0),    // 4 olive
    ColourTable::Rgb(128, 0, 128),    // 5 purple
    ColourTable::Rgb(0, 128, 128),    // 6 teal
    ColourTable::Rgb(128, 128, 128),  // 7 grey
    ColourTable::Rgb(0, 0, 0),        // 8 black
    ColourTable::Rgb(0, 0, 255),      // 9 blue
    ColourTable::Rgb(0, 255, 0),      // 10 lime
    ColourTable::Rgb(255, 0, 0),      // 11 red
    ColourTable::Rgb(255, 255, 0),    // 12 yellow
    ColourTable::Rgb(255, 0, 255),    // 13 fuchsia
    ColourTable::Rgb(0, 255, 255),    // 14 aqua
    ColourTable::Rgb(192, 192, 192),  // 15 silver
    ColourTable::Rgb(128, 128, 128),  // 16 grey
    ColourTable::SystemColour(ColourTable::SystemTooltipBackground),
    ColourTable::Rgb(255, 0, 0),  // 18 red
};

}  // namespace

ColourTable::ColourTable() : m_entries(Defaults) {}

int32_t ColourTable::Default(size_t entry) {
  return Defaults[entry];
}

int32_t ColourTable::SystemColour(uint8_t index) {
  return static_cast<int32_t>(0x80000000u | index);
}

int32_t ColourTable::Rgb(uint8_t red, uint8_t green, uint8_t blue) {
  return static_cast<int32_t>(uint32_t{blue} << 16 | uint32_t{green} << 8 | red);
}

}  // namespace tapwise
