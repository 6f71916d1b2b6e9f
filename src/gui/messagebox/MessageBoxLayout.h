#pragma once
// The message box's arithmetic, apart from any window: where the text area,
// the button strip and the buttons go for a measured text, how the button
// list is cut into words, which glyph a word gets, and where a box that
// reaches off the screen is pulled back to.

#include <QPoint>
#include <QRect>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "gui/markup/Markup.h"

namespace tapwise {

// The window as designed, in client coordinates.
inline constexpr int MessageDesignWidth = 116;
inline constexpr int MessageDesignHeight = 103;
inline constexpr int MessageImageLeft = 4;
inline constexpr int MessageImageTop = 4;
inline constexpr int MessageImageSize = 53;
// The text is measured and drawn at (MessageTextLeft, MessageTextTop) with
// MessageTextGap around it.
inline constexpr int MessageTextLeft = 60;
inline constexpr int MessageTextTop = 8;
inline constexpr int MessageTextGap = 4;
inline constexpr int MessageStripHeight = 32;
inline constexpr int MessageButtonWidth = 80;
inline constexpr int MessageButtonHeight = 26;
inline constexpr int MessageButtonSpacing = 4;

struct MessageBoxLayout {
  // The text area's extents; its frame runs to TextRight - 1, TextBottom - 1.
  int TextRight = 0;
  int TextBottom = 0;
  // Top of the button strip; it is ClientWidth wide and MessageStripHeight high.
  int StripTop = 0;
  int ClientWidth = 0;
  int ClientHeight = 0;
  // Left edge of each button, in order; every button's top is StripTop + 4.
  std::vector<int> ButtonLefts;
};

// The text area for a text measured at (MessageTextLeft, MessageTextTop) with
// MessageTextGap: never lower than the icon, never narrower than the client
// width less 6. Used both when building (design width) and when painting
// (actual width).
MarkupExtent TextAreaExtent(MarkupExtent measured, int clientWidth);

// The whole box for a measured text and a number of buttons.
MessageBoxLayout LayoutMessageBox(MarkupExtent measured, size_t buttonCount);

// The button list cut at each comma, blanks kept: two adjacent commas give an
// empty word, a trailing comma gives none, an empty list no buttons.
std::vector<std::string> SplitButtonWords(std::string_view buttons);

// The glyph a button word gets, by the first rule that matches (ignoring
// case): 0 tick for YES, OK, CONTINUE; 1 cross for NO, CANCEL, ABORT,
// DISCARD, DELETE; 2 disk for SAVE; 4 copy for COPY; 5 move for MOVE; -1 none.
int ButtonGlyphIndex(std::string_view word);

// Where a window must move so that it does not reach past the bottom or right
// edge of the one screen: one pixel clear of that edge. A window that fits
// keeps its place.
QPoint KeepOnScreen(const QRect& window, const QRect& screen);

}  // namespace tapwise
