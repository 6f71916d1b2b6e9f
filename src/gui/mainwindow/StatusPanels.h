#pragma once
// The status bar: the clock (hh:mm:ss) in the first panel, the selected
// port (its COM number, the name the user gave it and its line settings) in
// the second, as wide as it needs, and the window's status text, with the
// playback progress when there is one, in the third, all in bold; while the
// display shows only some lines, a last panel at the right says which. The
// owner repaints it every 500 ms to keep the clock going.

#include <QColor>
#include <QString>
#include <QWidget>

#include <cstdint>

namespace tapwise {

class StatusPanels : public QWidget {
  Q_OBJECT
 public:
  explicit StatusPanels(QWidget* parent = nullptr);

  // Sets text and colour together and drops the progress, as a new state of
  // the recorder does.
  void SetStatus(const QString& text, const QColor& colour);
  void SetProgress(uint8_t percent);
  QString StatusText() const { return m_text; }
  QColor StatusColour() const { return m_colour; }
  uint8_t Progress() const { return m_progress; }
  // What the last panel shows.
  QString StatusLine() const;
  // The display filter in words; empty: no filter, and no third panel.
  void SetFilterNote(const QString& note);
  QString FilterNote() const { return m_filterNote; }
  // The selected port's panel, in the port's colour; empty text hides it.
  void SetPort(const QString& text, const QColor& colour);
  QString PortText() const { return m_port; }
  QColor PortColour() const { return m_portColour; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString m_text;
  QColor m_colour;
  uint8_t m_progress = 0;
  QString m_filterNote;
  QString m_port;
  QColor m_portColour;
};

}  // namespace tapwise
