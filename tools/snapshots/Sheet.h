#pragma once
// A sheet of samples for a picture: each sample is a control with a small
// caption above it, laid out left to right in rows on a button-face
// background, so transparent controls are seen on what they are made for.

#include <QLabel>
#include <QString>
#include <QWidget>

namespace tapwise {

class Sheet : public QWidget {
 public:
  explicit Sheet(const QString& title, int width = 560);

  // Places the control (already sized) as the next sample; takes ownership.
  template <typename Control>
  Control* Add(const QString& caption, Control* control) {
    Place(caption, control);
    return control;
  }
  // Starts a new row of samples.
  void NewRow();
  // Grabs the whole sheet to OUTDIR/name.png; false when it cannot be saved.
  bool Save(const QString& outDir, const QString& name);

 private:
  void Place(const QString& caption, QWidget* control);

  int m_width;
  int m_x = 8;
  int m_y = 30;
  int m_rowHeight = 0;
};

}  // namespace tapwise
