#pragma once
// The pictures of the message box: its six 16 x 16 button glyphs and the
// 53 x 53 icon that tells information, error and question apart.

#include <QPixmap>

#include "gui/messagebox/MessageKind.h"

class QPainter;

namespace tapwise {

// Glyph by index: 0 green tick, 1 red cross, 2 floppy disk, 3 blue question
// mark, 4 copy (two documents), 5 move (a grey document beside a white one).
// The background, and so the bottom-left pixel, is fully transparent. Any
// other index gives an empty pixmap.
inline constexpr int ButtonGlyphCount = 6;
QPixmap ButtonGlyph(int index);

// Draws the icon of the kind in the 53 x 53 square at the painter's origin:
// a blue "i" panel, a red warning triangle or a yellow octagon with a
// question mark. Any other kind draws nothing.
void DrawMessageIcon(QPainter& canvas, TMessageKind kind);

}  // namespace tapwise
