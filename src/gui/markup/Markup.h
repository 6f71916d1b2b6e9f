#pragma once
// The inline markup of the program's messages and labels: a backslash and one
// character switch bold, italic, underline or highlight, pick a colour, break
// the line, move to a tab stop, draw a delta sign or change the size. The text
// is 8-bit (Windows-1252) bytes.
//
// DrawMarkup lays the text out with the painter's font as it finds it (style
// reset to plain first) and draws it with its first line's top-left at
// (x + gap, y + gap). It returns the coordinates just past the text plus the
// gap. MeasureMarkup runs the same layout without drawing anything, so for the
// same font the two always agree.
//
// The painter's pen colour on entry is the start colour (the text colour and
// the colour of delta signs, which \0 returns to); the pen and the font size
// are put back on exit, the font style is left as the text ended. Highlighted
// runs are inverted: a box in the text colour with the letters in the brush
// colour, or in the background colour when the painter has no brush.

#include <QFont>

#include <string_view>

class QPainter;

namespace tapwise {

struct MarkupExtent {
  int Right = 0;
  int Bottom = 0;
};

MarkupExtent DrawMarkup(QPainter& canvas, int x, int y, std::string_view text, int gap);
MarkupExtent MeasureMarkup(const QFont& font, int x, int y, std::string_view text, int gap);

}  // namespace tapwise
