#pragma once
// A label that draws markup text (bold, colours, line breaks, tabs, sizes) on
// whatever its parent painted, with an optional thin frame around the text.
// With AutoSize on it takes the size of its text plus the gap.

#include <QWidget>

#include <cstdint>
#include <string>

#include "gui/controls/Border.h"

namespace tapwise {

enum TAlignment : uint8_t {
  taLeftJustify = 0,
  taRightJustify = 1,
  taCenter = 2,
};

class TNiceLabel : public QWidget {
  Q_OBJECT
 public:
  explicit TNiceLabel(QWidget* parent = nullptr);

  // The 8-bit markup text as stored: every line break of the text given
  // (a carriage return and line feed pair, or a line feed alone) has become
  // the new-line escape.
  const std::string& Caption() const { return m_caption; }
  void SetCaption(const std::string& caption);
  bool AutoSize() const { return m_autoSize; }
  void SetAutoSize(bool autoSize);
  // Margin in pixels on every side of the text.
  uint16_t Gap() const { return m_gap; }
  void SetGap(uint16_t gap);
  TBorder Border() const { return m_border; }
  void SetBorder(TBorder border);
  TAlignment Alignment() const { return m_alignment; }
  void SetAlignment(TAlignment alignment);

  // Where the text block starts for this alignment, given its measured right
  // extent: never left of 0, so a text wider than the label keeps its start
  // visible and loses its end.
  static int TextLeft(TAlignment alignment, int clientWidth, int extentRight);
  // The caption with its line breaks turned into the new-line escape.
  static std::string MarkupFromText(const std::string& text);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  std::string m_caption;
  bool m_autoSize = false;
  uint16_t m_gap = 0;
  TBorder m_border = bNone;
  TAlignment m_alignment = taLeftJustify;
};

}  // namespace tapwise
