#include "gui/markup/MarkupLayout.h"

#include <algorithm>

namespace tapwise {

namespace {

// Everything one layout call keeps while it walks the text.
struct LayoutState {
  LayoutState(const MarkupMetrics& metrics, int startSize, int left)
      : Metrics(metrics), StartSize(startSize), Left(left) {}

  const MarkupMetrics& Metrics;
  int StartSize;
  int Left;  // x + gap: where every line begins
  MarkupFont Font;
  int Colour = MarkupStartColour;
  bool Highlight = false;
  int BaseLineHeight = 0;  // H0
  int SizeHeight = 0;      // Hc
  int LineHeight = 0;      // HL
  int TabWidth = 0;
  int TabCount = 0;
  int PenX = 0;
  int PenY = 0;
};

char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// A size that is always drawable: two thirds of a tiny start size must not
// become 0, which a font would read as "default size".
void SetSize(LayoutState& state, int size) {
  state.Font.Size = std::max(size, 1);
  state.SizeHeight = state.Metrics.TextHeight(state.Font);
}

void AddTriangle(LayoutState& state, MarkupLayout& layout) {
  const int half = 3 * state.SizeHeight / 8;
  const int base = state.PenY + 4 * state.SizeHeight / 5;
  layout.Items.emplace_back(MarkupTriangle{state.PenX, base, half, state.Colour});
  state.PenX += 2 * half + 1;
}

void ApplyEscape(char code, LayoutState& state, MarkupLayout& layout) {
  if (code >= '0' && code <= '?') {
    state.Colour = code - '0';
    return;
  }
  switch (UpperAscii(code)) {
    case 'B':
      state.Font.Bold = !state.Font.Bold;
      break;
    case 'I':
      state.Font.Italic = !state.Font.Italic;
      break;
    case 'U':
      state.Font.Underline = !state.Font.Underline;
      break;
    case 'H':
      state.Highlight = !state.Highlight;
      break;
    case 'N':
      state.PenX = state.Left;
      state.PenY += state.LineHeight;
      state.LineHeight = state.BaseLineHeight;
      state.TabCount = 0;
      break;
    case 'T':
      // Stops count from the line's start, not from the pen: text wider than
      // a stop is overdrawn by what follows the tab.
      ++state.TabCount;
      state.PenX = state.Left + state.TabCount * state.TabWidth;
      break;
    case 'D':
      AddTriangle(state, layout);
      break;
    case '[':
      state.Font.Size = state.StartSize;
      state.SizeHeight = state.BaseLineHeight;
      break;
    case ']':
      SetSize(state, state.StartSize * 2);
      break;
    case '^':
      SetSize(state, state.StartSize * 2 / 3);
      break;
    case '|':
      SetSize(state, state.StartSize * 3 / 2);
      break;
    default:
      // Unknown escapes vanish; there is deliberately no way to draw a backslash.
      break;
  }
}

}  // namespace

MarkupLayout LayoutMarkup(const MarkupMetrics& metrics, int startSize, int x, int y,
                          std::string_view text, int gap) {
  LayoutState state(metrics, startSize, x + gap);
  state.Font.Size = startSize;
  state.BaseLineHeight = metrics.TextHeight(state.Font) + 1;
  state.SizeHeight = state.BaseLineHeight;
  state.LineHeight = state.BaseLineHeight;
  state.TabWidth = 8 * metrics.TextWidth("A", state.Font);
  state.PenX = x + gap;
  state.PenY = y + gap;

  MarkupLayout layout;
  size_t p = 0;
  while (p < text.size()) {
    const size_t backslash = std::min(text.find('\\', p), text.size());
    if (backslash > p) {
      MarkupRun run;
      run.X = state.PenX;
      run.Y = state.PenY;
      run.Text = std::string(text.substr(p, backslash - p));
      run.Font = state.Font;
      run.Width = metrics.TextWidth(run.Text, state.Font);
      run.Height = metrics.TextHeight(state.Font);
      run.Colour = state.Colour;
      run.Highlight = state.Highlight;
      state.PenX += run.Width;
      state.LineHeight = std::max(state.LineHeight, state.SizeHeight);
      layout.Items.emplace_back(std::move(run));
    }
    // Taken before the escape acts, so a tab or delta at the very end of the
    // text does not widen the block.
    layout.Right = std::max(layout.Right, state.PenX + gap);
    if (backslash + 1 < text.size()) ApplyEscape(text[backslash + 1], state, layout);
    p = backslash + 2;
  }
  layout.Bottom = state.PenY + state.LineHeight + gap;
  layout.EndFont = state.Font;
  layout.EndFont.Size = startSize;
  return layout;
}

}  // namespace tapwise
