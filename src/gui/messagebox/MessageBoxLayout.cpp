#include "gui/messagebox/MessageBoxLayout.h"

#include <algorithm>
#include <array>

#include "core/util/AnsiStringLib.h"

namespace tapwise {

MarkupExtent TextAreaExtent(MarkupExtent measured, int clientWidth) {
  return {std::max(measured.Right, clientWidth - 6),
          std::max(measured.Bottom, MessageImageTop + MessageImageSize)};
}

MessageBoxLayout LayoutMessageBox(MarkupExtent measured, size_t buttonCount) {
  MessageBoxLayout layout;
  const MarkupExtent area = TextAreaExtent(measured, MessageDesignWidth);
  layout.TextRight = area.Right;
  layout.TextBottom = area.Bottom;
  layout.StripTop = area.Bottom + 8;
  layout.ClientHeight = layout.StripTop + MessageStripHeight;
  layout.ClientWidth = area.Right + 8;
  int x = MessageButtonSpacing;
  for (size_t i = 0; i < buttonCount; ++i) {
    layout.ButtonLefts.push_back(x);
    x += MessageButtonWidth + MessageButtonSpacing;
  }
  layout.ClientWidth = std::max(layout.ClientWidth, x);
  return layout;
}

std::vector<std::string> SplitButtonWords(std::string_view buttons) {
  std::vector<std::string> words;
  size_t start = 0;
  while (start < buttons.size()) {
    const size_t comma = std::min(buttons.find(',', start), buttons.size());
    words.emplace_back(buttons.substr(start, comma - start));
    start = comma + 1;
  }
  return words;
}

int ButtonGlyphIndex(std::string_view word) {
  struct Rule {
    std::string_view Pattern;
    int Glyph;
  };
  // Order matters: "Save Now" is a cross, because NO is tried before SAVE.
  static constexpr std::array<Rule, 11> Rules = {{
      {"YES", 0},
      {"OK", 0},
      {"CONTINUE", 0},
      {"NO", 1},
      {"CANCEL", 1},
      {"ABORT", 1},
      {"DISCARD", 1},
      {"DELETE", 1},
      {"SAVE", 2},
      {"COPY", 4},
      {"MOVE", 5},
  }};
  for (const Rule& rule : Rules) {
    if (FindPattern(1, rule.Pattern, word) != 0) return rule.Glyph;
  }
  return -1;
}

QPoint KeepOnScreen(const QRect& window, const QRect& screen) {
  QPoint place = window.topLeft();
  const int screenBottom = screen.y() + screen.height();
  const int screenRight = screen.x() + screen.width();
  if (window.y() + window.height() > screenBottom) {
    place.setY(screenBottom - window.height() - 1);
  }
  if (window.x() + window.width() > screenRight) {
    place.setX(screenRight - window.width() - 1);
  }
  return place;
}

}  // namespace tapwise
