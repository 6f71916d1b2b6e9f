#include "gui/userpackets/UserPacketsForm.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <string_view>

#include "core/session/MonitorSession.h"
#include "core/userpackets/PacketCompiler.h"
#include "core/userpackets/UserPacketEditing.h"
#include "core/userpackets/UserPacketKeys.h"
#include "gui/controls/AnsiText.h"
#include "gui/controls/CheckBoxTransparent.h"
#include "gui/controls/DrawGridZebra.h"
#include "gui/controls/ToolIcons.h"
#include "gui/controls/WindowDialogs.h"
#include "gui/controls/WindowsLib.h"
#include "gui/userpackets/UserPacketsModel.h"

namespace tapwise {

namespace {

constexpr int DesignedWidths[] = {62, 255, 141};
constexpr int HelpButtonFromRight = 35;

int FunctionKeyNumber(int key) {
  return key >= Qt::Key_F1 && key <= Qt::Key_F12 ? key - Qt::Key_F1 + 1 : 0;
}

}  // namespace

TUserPacketsForm::TUserPacketsForm(MonitorSession& session, WindowDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_session(session),
      m_packets(session.GetUserPackets()),
      m_dialogs(dialogs) {
  setObjectName("UserPacketsForm");
  setWindowTitle("User Defined Packets");
  move(38, 116);
  resize(462, 281);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  ToolBar = new QWidget(this);
  ToolBar->setObjectName("ToolBar");
  ToolBar->setFixedHeight(25);
  ToolBar->installEventFilter(this);
  cbTrigger = new TCheckBoxTransparent("Enable Trigger", ToolBar);
  cbTrigger->setObjectName("cbTrigger");
  cbTrigger->setToolTip("Enable automatic User Packet replies on receiving a Trigger");
  cbTrigger->setGeometry(4, 4, std::max(97, cbTrigger->sizeHint().width()), 17);
  cbTriggerPart = new TCheckBoxTransparent("Trigger on Part Packet", ToolBar);
  cbTriggerPart->setObjectName("cbTriggerPart");
  cbTriggerPart->setToolTip("Are Triggers valid as only part of a Packet");
  cbTriggerPart->setGeometry(std::max(104, cbTrigger->geometry().right() + 8), 4,
                             std::max(133, cbTriggerPart->sizeHint().width()), 17);
  bHelp = new QToolButton(ToolBar);
  bHelp->setObjectName("bHelp");
  bHelp->setAutoRaise(true);
  bHelp->setIcon(QIcon(DrawToolIcon(ToolIcon::About)));
  bHelp->setIconSize(QSize(16, 16));
  bHelp->setFocusPolicy(Qt::NoFocus);
  bHelp->setGeometry(width() - HelpButtonFromRight, 3, 17, 19);
  column->addWidget(ToolBar);

  m_model = new UserPacketsModel(m_packets.Table(), this);
  UserPacketsGrid = new TDrawGridZebra(this);
  UserPacketsGrid->setObjectName("UserPacketsGrid");
  UserPacketsGrid->setModel(m_model);
  UserPacketsGrid->SetFixedCols(1);
  UserPacketsGrid->SetDefaultRowHeight(18);
  SetColumnWidths({DesignedWidths[0], DesignedWidths[1], DesignedWidths[2]});
  UserPacketsGrid->setSelectionBehavior(QAbstractItemView::SelectItems);
  UserPacketsGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  UserPacketsGrid->SetRowMoving(true);
  UserPacketsGrid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::AnyKeyPressed);
  UserPacketsGrid->setTabKeyNavigation(true);
  UserPacketsGrid->setToolTip(
      "User Data Packets: Transmitted by pressing F1..F12 OR by receiving the Trigger. (Hex or \"ASCII\")");
  UserPacketsGrid->SetOnDrawCell([this](QPainter& canvas, int col, int row, const QRect& rect, bool selected) {
    UserPacketsGridDrawCell(canvas, col, row, rect, selected);
  });
  UserPacketsGrid->SetCurrentCell(1, 1);
  UserPacketsGrid->viewport()->installEventFilter(this);
  column->addWidget(UserPacketsGrid, 1);

  PopupMenu = new QMenu(this);
  PopupMenu->setObjectName("PopupMenu");
  mPlay = PopupMenu->addAction(QIcon(DrawToolIcon(ToolIcon::PlayPacket)), "Play");
  QFont bold = mPlay->font();
  bold.setBold(true);
  mPlay->setFont(bold);
  PopupMenu->setDefaultAction(mPlay);
  PopupMenu->addSeparator();
  mCut = PopupMenu->addAction(QIcon(DrawToolIcon(ToolIcon::Cut)), "Cut");
  mCopy = PopupMenu->addAction(QIcon(DrawToolIcon(ToolIcon::Copy)), "Copy");
  mPaste = PopupMenu->addAction(QIcon(DrawToolIcon(ToolIcon::Paste)), "Paste");
  mPasteAscii = PopupMenu->addAction(QIcon(DrawToolIcon(ToolIcon::Paste)), "Paste as \"ASCII\"");

  connect(mPlay, &QAction::triggered, this, &TUserPacketsForm::PlayClick);
  connect(mCut, &QAction::triggered, this, &TUserPacketsForm::CutClick);
  connect(mCopy, &QAction::triggered, this, &TUserPacketsForm::CopyClick);
  connect(mPaste, &QAction::triggered, this, &TUserPacketsForm::PasteClick);
  connect(mPasteAscii, &QAction::triggered, this, &TUserPacketsForm::PasteAsciiClick);
  connect(cbTrigger, &QCheckBox::clicked, this, [this] { TriggerClick(cbTrigger); });
  connect(cbTriggerPart, &QCheckBox::clicked, this, [this] { TriggerClick(cbTriggerPart); });
  connect(bHelp, &QToolButton::clicked, this, &TUserPacketsForm::bHelpClick);
  connect(UserPacketsGrid, &TDrawGridMouseWheel::RowMoved, this, &TUserPacketsForm::UserPacketsGridRowMoved);
  connect(m_model, &UserPacketsModel::TextEdited, this, &TUserPacketsForm::TableChanged);
  // Keys are seen before the controls do, the cell editor's too.
  qApp->installEventFilter(this);
}

TUserPacketsForm::~TUserPacketsForm() { qApp->removeEventFilter(this); }

std::vector<int32_t> TUserPacketsForm::ColumnWidths() const {
  std::vector<int32_t> widths;
  for (int col = 0; col < 3; ++col) widths.push_back(UserPacketsGrid->ColWidth(col));
  return widths;
}

void TUserPacketsForm::SetColumnWidths(const std::vector<int32_t>& widths) {
  for (int col = 0; col < 3; ++col) {
    UserPacketsGrid->SetColWidth(col, col < static_cast<int>(widths.size()) ? widths[col] : DesignedWidths[col]);
  }
}

void TUserPacketsForm::TableReloaded() {
  m_model->Reload();
  UserPacketsGrid->viewport()->update();
}

void TUserPacketsForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The mode may have been set elsewhere (-trigger, -triggerpart).
  const TriggerMode mode = m_packets.GetTriggerMode();
  cbTrigger->setChecked(mode == TriggerMode::WholePacket);
  cbTriggerPart->setChecked(mode == TriggerMode::PartPacket);
}

void TUserPacketsForm::TriggerClick(TCheckBoxTransparent* clicked) {
  if (clicked->isChecked()) (clicked == cbTrigger ? cbTriggerPart : cbTrigger)->setChecked(false);
  m_packets.SetTriggerMode(cbTrigger->isChecked()       ? TriggerMode::WholePacket
                           : cbTriggerPart->isChecked() ? TriggerMode::PartPacket
                                                        : TriggerMode::Off);
}

void TUserPacketsForm::bHelpClick() { m_dialogs.MsgInfo(CalculatedBytesHelp); }

void TUserPacketsForm::pbToolbarPaint() {
  QPainter canvas(ToolBar);
  canvas.fillRect(ToolBar->rect(), ButtonFaceColour());
  GradientFill(canvas, 0, 0, ToolBar->width(), ToolBar->height() - 2, ButtonFaceColour(), ScrollBarColour());
}

void TUserPacketsForm::UserPacketsGridDrawCell(QPainter& canvas, int col, int row, const QRect& rect, bool) {
  const FontStyles style = (row == 0 || col == UserPacketsModel::KeyColumn) ? FontStyles{fsBold} : FontStyles{0};
  canvas.setFont(UserPacketsGrid->font());
  // No character is narrower than a pixel, so what lies beyond the cell's
  // width in characters is never seen; a pasted megabyte is not laid out.
  const std::string text = m_model->CellText(col, row);
  const std::string_view shown = std::string_view(text).substr(0, static_cast<size_t>(std::max(0, rect.width())));
  DrawTextLines(canvas, rect.left() + 2, rect.left() + rect.width() - 2, shown, style, rect.top() + 2);
}

void TUserPacketsForm::UserPacketsGridRowMoved(int from, int to) {
  m_packets.Table().MoveRow(from, to);
  if (UserPacketsGrid->Row() == from) UserPacketsGrid->SetCurrentCell(UserPacketsGrid->Col(), to);
  TableChanged();
}

void TUserPacketsForm::UserPacketsGridMouseDown(QMouseEvent* event) {
  const QPoint cell = UserPacketsGrid->CellAt(event->position().toPoint());
  if (!ValidUserPacketRow(cell.y()) || cell.x() < 1) return;
  UserPacketsGrid->EndEdit();
  UserPacketsGrid->SetCurrentCell(cell.x(), cell.y());
  PopupMenu->popup(event->globalPosition().toPoint());
}

bool TUserPacketsForm::UserPacketsGridKeyDown(QKeyEvent* event) {
  if (const int fkey = FunctionKeyNumber(event->key())) {
    const Qt::KeyboardModifiers held = event->modifiers() & ~Qt::KeypadModifier;
    // Ctrl+Shift sends rows 37..48 here as in the main window.
    const int row = FunctionKeyRow(fkey, held & Qt::ControlModifier, held & Qt::ShiftModifier,
                                   held & (Qt::AltModifier | Qt::MetaModifier));
    const uint8_t port = m_session.SelectedPort.load();
    if (row != 0 && port != 0) {
      m_packets.SendUserPacket(row, port);
      emit MessagesPosted();
    }
    return true;
  }
  // While a cell is edited its editor keeps its own clipboard keys.
  if (UserPacketsGrid->Editing() || event->modifiers() != Qt::ControlModifier) return false;
  switch (event->key()) {
    case Qt::Key_X:
      CutClick();
      return true;
    case Qt::Key_C:
      CopyClick();
      return true;
    case Qt::Key_V:
      PasteClick();
      return true;
    default:
      return false;
  }
}

bool TUserPacketsForm::FormKeyPress(QKeyEvent* event) {
  if (event->key() != Qt::Key_Escape) return false;
  // What the editor holds is kept, as it would be on leaving the cell.
  UserPacketsGrid->EndEdit();
  hide();
  return true;
}

bool TUserPacketsForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ToolBar) {
    if (event->type() == QEvent::Paint) {
      pbToolbarPaint();
      return true;
    }
    if (event->type() == QEvent::Resize) bHelp->move(ToolBar->width() - HelpButtonFromRight, 3);
    return false;
  }
  if (watched == UserPacketsGrid->viewport() && event->type() == QEvent::MouseButtonPress) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::RightButton) return false;
    UserPacketsGridMouseDown(mouse);
    return true;
  }
  if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
  auto* widget = static_cast<QWidget*>(watched);
  if (widget->window() != this) return false;
  // A key climbs the parents when a control ignores it; look at it once, at
  // the control that has the focus.
  QWidget* focus = QApplication::focusWidget();
  if (focus ? widget != focus : widget != this) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  if (FormKeyPress(key)) return true;
  const bool inGrid = widget == UserPacketsGrid || UserPacketsGrid->isAncestorOf(widget);
  return inGrid && UserPacketsGridKeyDown(key);
}

void TUserPacketsForm::PlayClick() {
  const uint8_t port = m_session.SelectedPort.load();
  if (port == 0 || UserPacketsGrid->Row() < 1) return;
  m_packets.SendUserPacket(UserPacketsGrid->Row(), port);
  emit MessagesPosted();
}

void TUserPacketsForm::SetClipboardText(const std::string& text) {
  QGuiApplication::clipboard()->setText(AnsiToQString(text));
}

void TUserPacketsForm::CopyClick() {
  UserPacketsGrid->EndEdit();
  SetClipboardText(m_model->CellText(UserPacketsGrid->Col(), UserPacketsGrid->Row()));
}

void TUserPacketsForm::CutClick() {
  UserPacketsGrid->EndEdit();
  const int col = UserPacketsGrid->Col();
  const int row = UserPacketsGrid->Row();
  if (ValidUserPacketRow(row) && (col == UserPacketsModel::PacketColumn || col == UserPacketsModel::TriggerColumn)) {
    SetClipboardText(m_model->CellText(col, row));
    (void)m_model->SetCellText(col, row, "");
  }
  TableChanged();
}

void TUserPacketsForm::Paste(bool asAscii) {
  UserPacketsGrid->EndEdit();
  std::string text = CleanPastedText(QStringToAnsi(QGuiApplication::clipboard()->text()));
  if (asAscii) text = HexListToPacketText(text);
  (void)m_model->SetCellText(UserPacketsGrid->Col(), UserPacketsGrid->Row(), text);
  TableChanged();
}

void TUserPacketsForm::TableChanged() {
  UserPacketsGrid->viewport()->update();
  // The grid's model has written the cells already.
  m_session.EditUserPackets();
  emit MessagesPosted();
}

}  // namespace tapwise
