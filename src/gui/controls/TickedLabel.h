#pragma once
// A small indicator: a tick, a cross or a half ring (work in progress) in a
// square at the left, as wide as the control is high, and a markup caption
// right of it, centred vertically. The main window shows its modem lines with
// these. Every setter repaints.

#include <QColor>
#include <QPoint>
#include <QWidget>

#include <string>
#include <vector>

namespace tapwise {

class TTickedLabel : public QWidget {
  Q_OBJECT
 public:
  enum TState { sNone = 0, sTicked = 1, sCrossed = 2, sProgress = 3 };

  explicit TTickedLabel(QWidget* parent = nullptr);

  QColor BackColour() const { return m_backColour; }
  void SetBackColour(const QColor& colour);
  QColor TickColour() const { return m_tickColour; }
  void SetTickColour(const QColor& colour);
  QColor CrossColour() const { return m_crossColour; }
  void SetCrossColour(const QColor& colour);
  QColor ProgressColour() const { return m_progressColour; }
  void SetProgressColour(const QColor& colour);
  // Markup text, 8-bit (Windows-1252). The font's name, size and the
  // palette's text colour are used; its style is not (markup starts plain).
  const std::string& Caption() const { return m_caption; }
  void SetCaption(std::string caption);
  TState State() const { return m_state; }
  void SetState(TState state);

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor MarkColour() const;

  QColor m_backColour;
  QColor m_tickColour;
  QColor m_crossColour;
  QColor m_progressColour;
  std::string m_caption = "Caption";
  TState m_state = sTicked;
};

struct TickedLabelGeometry {
  int Unit;      // the mark's grid: (height + 4) / 8
  int PenWidth;  // Unit, but at least 2
  int CaptionX;  // right of the square the mark sits in
  int CaptionY;  // the caption centred vertically
};
TickedLabelGeometry TickedLabelLayout(int height, int captionHeight);

// The mark of a state as polylines on the grid of the given unit.
std::vector<std::vector<QPoint>> TickedLabelMark(TTickedLabel::TState state, int unit);

}  // namespace tapwise
