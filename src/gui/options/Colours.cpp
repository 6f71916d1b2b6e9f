#include "gui/options/Colours.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "core/config/ColourTable.h"
#include "gui/appearance/Appearance.h"
#include "gui/controls/SystemColours.h"
#include "gui/controls/WindowDialogs.h"
#include "gui/controls/WindowFont.h"

namespace tapwise {

namespace {

constexpr int RowHeight = 18;
constexpr int SwatchWidth = 18;

QString RowCaption(int row) {
  if (row < 16) return "COM" + QString::number(row + 1);
  return row == 16 ? QStringLiteral("Transmissions") : QStringLiteral("Errors");
}

}  // namespace

TColoursForm::TColoursForm(Appearance& appearance, WindowDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_appearance(appearance),
      m_dialogs(dialogs) {
  setObjectName("ColoursForm");
  setWindowTitle("Colours");
  setFont(WindowFont());

  DrawGrid = new QTableWidget(RowCount, 2, this);
  DrawGrid->setObjectName("DrawGrid");
  DrawGrid->horizontalHeader()->hide();
  DrawGrid->verticalHeader()->hide();
  DrawGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The focus rectangle marks the current cell; a selection colour would
  // hide the swatch it is on.
  DrawGrid->setSelectionMode(QAbstractItemView::NoSelection);
  DrawGrid->setShowGrid(true);
  DrawGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  DrawGrid->verticalScrollBar()->setTracking(true);
  int captionWidth = 73;
  for (int row = 0; row < RowCount; ++row) {
    auto* caption = new QTableWidgetItem(RowCaption(row));
    caption->setTextAlignment(Qt::AlignLeft | Qt::AlignTop);
    caption->setFlags(Qt::ItemIsEnabled);
    DrawGrid->setItem(row, 0, caption);
    auto* swatch = new QTableWidgetItem;
    swatch->setFlags(Qt::ItemIsEnabled);
    DrawGrid->setItem(row, 1, swatch);
    DrawGrid->setRowHeight(row, RowHeight);
    // The designed width, or the caption's where the font is wider.
    captionWidth = std::max(captionWidth, DrawGrid->fontMetrics().horizontalAdvance(RowCaption(row)) + 8);
  }
  DrawGrid->setColumnWidth(0, captionWidth);
  DrawGrid->setColumnWidth(1, SwatchWidth);
  DrawGrid->setCurrentCell(0, 0);
  connect(DrawGrid, &QTableWidget::cellDoubleClicked, this, [this](int row, int column) {
    DrawGrid->setCurrentCell(row, column);
    DrawGridClick();
  });
  DrawGrid->installEventFilter(this);
  installEventFilter(this);

  auto* client = new QVBoxLayout(this);
  client->setContentsMargins(0, 0, 0, 0);
  client->addWidget(DrawGrid);
  // Designed at 61, 42; wide enough for both columns and the scroll bar.
  move(61, 42);
  resize(captionWidth + SwatchWidth + DrawGrid->verticalScrollBar()->sizeHint().width() + 2 * DrawGrid->frameWidth() + 2,
         277);
  ShowColours();
  connect(&m_appearance, &Appearance::ColoursChanged, this, [this] {
    ShowColours();
    DrawGrid->viewport()->update();
  });
}

void TColoursForm::ShowColours() {
  const ColourTable& colours = m_appearance.Colours();
  for (int row = 0; row < RowCount; ++row) {
    DrawGrid->item(row, 1)->setBackground(ResolveColour(colours[static_cast<size_t>(row) + 1]));
  }
}

void TColoursForm::DrawGridClick() {
  // The row counts, whichever of its cells was clicked.
  const int row = DrawGrid->currentRow();
  if (row < 0 || row >= RowCount) return;
  const size_t entry = static_cast<size_t>(row) + 1;
  const std::optional<QColor> chosen = m_dialogs.AskForColour(this, ResolveColour(m_appearance.Colours()[entry]));
  if (chosen) {
    m_appearance.SetColour(entry, PlainColourValue(*chosen));
    return;
  }
  // So that what is on the screen is what the table holds.
  ShowColours();
  DrawGrid->viewport()->update();
}

bool TColoursForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  switch (static_cast<QKeyEvent*>(event)->key()) {
    case Qt::Key_Escape:
      hide();
      return true;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (watched != DrawGrid) break;
      DrawGridClick();
      return true;
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tapwise
