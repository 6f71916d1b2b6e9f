#pragma once
// Small routines between the windows and the system or the painter: the
// program's version, styled and multi-line text, the two-colour gradient that
// every toolbar and button strip is painted with, placing a window at the
// mouse, and opening a document or web address with its own program. Each is
// stateless. (The BCD conversions live in the core, util/Bcd.h.)

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

class QPainter;
class QWidget;

namespace tapwise {

// Style bits in the manner of a canvas font style set.
enum FontStyleBits : unsigned {
  fsBold = 1,
  fsItalic = 2,
  fsUnderline = 4,
  fsStrikeOut = 8,
};
using FontStyles = unsigned;

// The version of the build as four numbers, "major.minor.patch.tweak".
std::string FileVersionString();

// Sets the painter's font style for one clipped line of text with its top-left
// at (left, top), clipped to (left, top, right, top + text height), then puts
// the style back.
void DrawStyledText(QPainter& canvas, int left, int right, std::string_view text,
                    FontStyles style, int top);

// The text cut at each '|' into lines, one "Ag" text height apart.
void DrawTextLines(QPainter& canvas, int left, int right, std::string_view text,
                   FontStyles style, int top);

// Paints rows Top..Bottom-1 of the rectangle given by its edges in horizontal
// bands, one band per change of colour from c1 at the top towards c2. Row
// Bottom itself is not painted; Bottom < Top paints nothing.
void GradientFill(QPainter& canvas, int left, int top, int right, int bottom,
                  const QColor& c1, const QColor& c2);

// One band of a gradient: rows [FirstRow, EndRow) in Colour.
struct GradientBand {
  int FirstRow;
  int EndRow;
  QColor Colour;
};
// The bands GradientFill paints, top first.
std::vector<GradientBand> GradientBands(int top, int bottom, const QColor& c1, const QColor& c2);

// A line in the manner of a classic canvas's MoveTo/LineTo: the end point
// itself is left out, so that frames drawn as paths of such lines meet
// without painting a corner twice. For horizontal and vertical lines of the
// painter's pen.
void LineToExclusive(QPainter& canvas, QPoint from, QPoint to);
// Each point joined to the next with LineToExclusive.
void PolylineExclusive(QPainter& canvas, std::initializer_list<QPoint> points);

// The colours every toolbar, strip and inactive tab is shaded with.
QColor ButtonFaceColour();
QColor ScrollBarColour();
QColor ButtonHighlightColour();
QColor ButtonShadowColour();
QColor WindowColour();
QColor WindowTextColour();

// Where a window of this size goes when placed at the mouse: its top-left at
// the pointer, pulled back to end at the desktop's right edge and 32 pixels
// above the primary screen's bottom.
QPoint PlaceAtMousePosition(QPoint mouse, QSize window, int desktopWidth, int screenHeight);
// Moves the window there, for the pointer and screens as they are now.
void PlaceAtMouse(QWidget& window);
// Moves the window to the middle of the free part of the screen the pointer
// is on (the primary screen when it is on none), as a window manager would
// place a dialog, for when none does.
void CentreOnScreen(QWidget& window);

// Opens a file, a folder, a web address or a "mailto:" address with the
// program the desktop associates with it. The text is handed over as one
// URL, never to a shell. False when the desktop could not open it.
bool OpenDocument(QWidget* window, std::string_view pathOrAddress);

}  // namespace tapwise
