#pragma once
// What the markup layout needs to know about fonts: how wide a run of text is
// and how high a line of it is, in a given style and size. The window code
// answers from real font metrics; tests answer with fixed numbers so every
// position of a layout can be checked exactly.

#include <string_view>

namespace tapwise {

// The font state that markup escapes change. Size is in the unit of the font
// that drawing starts with (points or pixels), as a whole number.
struct MarkupFont {
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  int Size = 0;

  bool operator==(const MarkupFont&) const = default;
};

class MarkupMetrics {
 public:
  virtual ~MarkupMetrics() = default;
  // Advance of the 8-bit text drawn in this font.
  virtual int TextWidth(std::string_view text, const MarkupFont& font) const = 0;
  // Height of a line of text in this font (ascent plus descent).
  virtual int TextHeight(const MarkupFont& font) const = 0;
};

}  // namespace tapwise
