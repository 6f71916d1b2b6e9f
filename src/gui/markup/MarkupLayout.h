#pragma once
// Markup text laid out as plain arithmetic: the text is walked once and turned
// into the list of things to draw, in drawing order, plus the extents. Both
// drawing and measuring use this, so they cannot disagree.
//
// Escapes (a backslash and the next character, letters compared upper-cased):
//   \0 start colour, \1..\? palette colours, \b \i \u \h toggle bold, italic,
//   underline, highlight, \n new line, \t next tab stop of the line, \d delta
//   sign, \[ start size, \] twice, \^ two thirds, \| one and a half times the
//   start size. Any other escape, and a lone backslash at the end, is dropped.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "gui/markup/MarkupMetrics.h"

namespace tapwise {

struct MarkupRgb {
  uint8_t R;
  uint8_t G;
  uint8_t B;
};

// Colours of \1 to \? (0x31..0x3F), in that order.
inline constexpr std::array<MarkupRgb, 15> MarkupPalette = {{
    {128, 0, 0},     {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
    {0, 128, 128},   {128, 128, 128}, {192, 192, 192}, {255, 0, 0}, {0, 255, 0},
    {255, 255, 0},   {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
}};

// Colour 0 is the colour in force when drawing began; 1..15 index the palette
// (colour n is MarkupPalette[n - 1]).
inline constexpr int MarkupStartColour = 0;

// A run of text with its top-left corner at (X, Y). Width and Height are the
// box a highlighted run is inverted in.
struct MarkupRun {
  int X = 0;
  int Y = 0;
  int Width = 0;
  int Height = 0;
  std::string Text;
  MarkupFont Font;
  int Colour = MarkupStartColour;
  bool Highlight = false;
};

// The outline of a delta sign: (Left, Base), (Left + Half, Base - 2 Half),
// (Left + 2 Half, Base) and back.
struct MarkupTriangle {
  int Left = 0;
  int Base = 0;
  int Half = 0;
  int Colour = MarkupStartColour;
};

using MarkupItem = std::variant<MarkupRun, MarkupTriangle>;

struct MarkupLayout {
  std::vector<MarkupItem> Items;
  // Largest pen x reached after a run, plus the gap; 0 for an empty text.
  int Right = 0;
  // Top of the last line plus its height plus the gap.
  int Bottom = 0;
  // The style the text ends in (its size is the start size again).
  MarkupFont EndFont;
};

// Lays out text with its first line's top-left at (x + gap, y + gap), for a
// font whose size on entry is startSize; drawing always starts plain.
MarkupLayout LayoutMarkup(const MarkupMetrics& metrics, int startSize, int x, int y,
                          std::string_view text, int gap);

}  // namespace tapwise
