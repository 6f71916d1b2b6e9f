#pragma once
// The thin frame drawn around markup text: the message box's text area and a
// label's border. Lowered is shadow on the left and top, window colour on the
// right and bottom; raised swaps the two.

#include <cstdint>

class QPainter;

namespace tapwise {

enum TBorder : uint8_t {
  bNone = 0,
  bLowered = 1,
  bRaised = 2,
};

// The path (left, bottom) up to (left, top) and on to (right, top) in the
// first colour, then on to (right, bottom) and back to (left, bottom) in the
// second, each line leaving out its end point: every pixel of the outline is
// painted once. bNone and any unknown kind draw nothing.
void DrawBorder(QPainter& canvas, int left, int top, TBorder kind, int bottom, int right);

}  // namespace tapwise
