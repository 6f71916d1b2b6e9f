#pragma once
// The Colours window: one row for each of COM1..COM16, "Transmissions" and
// "Errors", a caption and a swatch of the colour. A double click on a row,
// Space or Enter opens the colour dialog preset to that row's colour; the
// colour chosen goes into the main window's colour table, and whether one
// was chosen or not the grid and the display are repainted at once. Row r
// stands for table entry r + 1: entry 0 (lines without a port) is not
// edited here. The table is the main window's, kept in the settings when it
// closes. Main thread only; Esc hides the window.

#include <QWidget>

class QTableWidget;

namespace tapwise {

class TTWForm;
class WindowDialogs;

class TColoursForm : public QWidget {
  Q_OBJECT
 public:
  static constexpr int RowCount = 18;

  // Both outlive the window.
  TColoursForm(TTWForm& main, WindowDialogs& dialogs, QWidget* parent = nullptr);

  QTableWidget* DrawGrid;

  // Changes the colour of the grid's current row through the colour dialog.
  void DrawGridClick();
  // The swatches follow the colour table.
  void ShowColours();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TTWForm& m_main;
  WindowDialogs& m_dialogs;
};

}  // namespace tapwise
