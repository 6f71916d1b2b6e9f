#include "app/TerminalColour.h"

#include <climits>

namespace tapwise {

namespace {

constexpr int CubeLevels[6] = {0, 95, 135, 175, 215, 255};

int NearestCubeIndex(int value) {
  int best = 0;
  for (int i = 1; i < 6; ++i) {
    const int di = value - CubeLevels[i];
    const int db = value - CubeLevels[best];
    if (di * di < db * db) best = i;
  }
  return best;
}

int Distance(int r1, int g1, int b1, int r2, int g2, int b2) {
  return (r1 - r2) * (r1 - r2) + (g1 - g2) * (g1 - g2) + (b1 - b2) * (b1 - b2);
}

}  // namespace

int NearestTerminalColour(int32_t rgb) {
  const int red = (rgb >> 16) & 0xFF;
  const int green = (rgb >> 8) & 0xFF;
  const int blue = rgb & 0xFF;
  const int r = NearestCubeIndex(red);
  const int g = NearestCubeIndex(green);
  const int b = NearestCubeIndex(blue);
  int best = 16 + 36 * r + 6 * g + b;
  int bestDistance = Distance(red, green, blue, CubeLevels[r], CubeLevels[g], CubeLevels[b]);
  // The grey ramp: 232..255 are 8, 18, .., 238.
  for (int i = 0; i < 24; ++i) {
    const int level = 8 + 10 * i;
    const int distance = Distance(red, green, blue, level, level, level);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = 232 + i;
    }
  }
  return best;
}

int32_t TerminalRgb(int32_t tableValue) {
  if (ColourTable::IsSystemColour(tableValue)) {
    return ColourTable::SystemIndex(tableValue) == ColourTable::SystemTooltipBackground ? 0xFFFFE1 : -1;
  }
  return ColourTable::Red(tableValue) << 16 | ColourTable::Green(tableValue) << 8 | ColourTable::Blue(tableValue);
}

bool ColourWanted(bool outputIsTerminal, const char* noColour) {
  return outputIsTerminal && (noColour == nullptr || noColour[0] == '\0');
}

}  // namespace tapwise
