#pragma once
// The Colours window: one row for each of COM1..COM16, "Transmissions" and
// "Errors", a caption and a swatch of the colour. A double click on a row,
// Space or Enter opens the colour dialog preset to that row's colour; the
// colour chosen goes into the appearance's colour table, which repaints
// every window that draws with it, this grid included; a cancelled dialog
// still repaints the grid. Row r stands for table entry r + 1: entry 0
// (lines without a port) is not edited here. Main thread only; Esc hides
// the window.

#include <QWidget>

class QTableWidget;

namespace tapwise {

class Appearance;
class WindowDialogs;

class TColoursForm : public QWidget {
  Q_OBJECT
 public:
  static constexpr int RowCount = 18;

  // Both outlive the window.
  TColoursForm(Appearance& appearance, WindowDialogs& dialogs, QWidget* parent = nullptr);

  QTableWidget* DrawGrid;

  // Changes the colour of the grid's current row through the colour dialog.
  void DrawGridClick();
  // The swatches follow the colour table (at every change of it).
  void ShowColours();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Appearance& m_appearance;
  WindowDialogs& m_dialogs;
};

}  // namespace tapwise
