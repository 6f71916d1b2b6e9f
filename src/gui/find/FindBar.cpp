#include "gui/find/FindBar.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include "core/config/ColourTable.h"
#include "core/session/MonitorSession.h"
#include "gui/appearance/Appearance.h"
#include "gui/controls/AnsiText.h"
#include "gui/controls/SystemColours.h"
#include "gui/controls/ToolIcons.h"
#include "gui/mainwindow/DisplayPaintBox.h"

namespace tapwise {

namespace {

QToolButton* BarButton(QWidget* parent, const char* name, Qt::ArrowType arrow, const QString& hint) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setAutoRaise(true);
  button->setArrowType(arrow);
  button->setToolTip(hint);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

}  // namespace

FindBar::FindBar(MonitorSession& session, DisplayPaintBox& display, const Appearance& appearance, QWidget* parent)
    : QWidget(parent), m_session(session), m_display(display), m_appearance(appearance), m_find(session.History()) {
  setObjectName("FindBar");
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(4, 2, 4, 2);
  row->setSpacing(4);
  row->addWidget(new QLabel("Find:", this));
  ePattern = new QLineEdit(this);
  ePattern->setObjectName("ePattern");
  ePattern->setPlaceholderText("02 30 31  or  \"PING\"");
  ePattern->setToolTip("Hex bytes or \"quoted text\", as in a user packet");
  row->addWidget(ePattern, 1);
  bPrevious = BarButton(this, "bPrevious", Qt::UpArrow, "Previous match  (Shift F3)");
  bNext = BarButton(this, "bNext", Qt::DownArrow, "Next match  (F3)");
  row->addWidget(bPrevious);
  row->addWidget(bNext);
  lCount = new QLabel(this);
  lCount->setObjectName("lCount");
  lCount->setMinimumWidth(lCount->fontMetrics().horizontalAdvance("100000 of 100000"));
  row->addWidget(lCount, 1);
  bCloseFind = new QToolButton(this);
  bCloseFind->setObjectName("bCloseFind");
  bCloseFind->setAutoRaise(true);
  bCloseFind->setIcon(QIcon(DrawToolIcon(ToolIcon::Clear)));
  bCloseFind->setToolTip("Close  (Esc)");
  bCloseFind->setFocusPolicy(Qt::NoFocus);
  row->addWidget(bCloseFind);
  hide();

  connect(ePattern, &QLineEdit::textChanged, this, &FindBar::ePatternChange);
  connect(bPrevious, &QToolButton::clicked, this, &FindBar::FindPrevious);
  connect(bNext, &QToolButton::clicked, this, &FindBar::FindNext);
  connect(bCloseFind, &QToolButton::clicked, this, &FindBar::Close);
  connect(&display, &DisplayPaintBox::RowsChanged, this, &FindBar::RowsChanged);
  m_session.AddSink(m_session.History());
  m_display.SetHistory(&m_session.History());
  connect(&display, &QObject::destroyed, this, [this] { m_displayAlive = false; });
}

FindBar::~FindBar() {
  // The display, a sibling made before the bar, may have gone already.
  if (m_displayAlive) {
    m_display.SetFind(nullptr);
    m_display.SetHistory(nullptr);
  }
  m_session.RemoveSink(m_session.History());
}

void FindBar::Open() {
  if (!isVisible()) {
    show();
    m_display.SetFind(&m_find);
    // What was captured while the bar was closed is searched afresh.
    ePatternChange();
  }
  ePattern->setFocus();
  ePattern->selectAll();
}

void FindBar::Close() {
  hide();
  m_display.SetFind(nullptr);
  // Back to the live view: the newest lines, followed as they come.
  m_display.ShowNewest();
}

void FindBar::ePatternChange() {
  PacketPattern pattern;
  if (const Result compiled = PacketPattern::Compile(QStringToAnsi(ePattern->text()), pattern); !compiled) {
    ShowFault(AnsiToQString(compiled.Message()));
    return;
  }
  m_faulty = false;
  ePattern->setPalette(QPalette());
  m_find.SetPattern(pattern);
  if (m_find.Current() >= 0) {
    ShowCurrent();
  } else {
    m_display.update();
  }
  ShowCount();
}

void FindBar::ShowFault(const QString& message) {
  m_faulty = true;
  QPalette palette = ePattern->palette();
  palette.setColor(QPalette::Base, ResolveColour(m_appearance.Colours()[ColourTable::Errors]));
  ePattern->setPalette(palette);
  lCount->setText(message);
}

void FindBar::FindNext() {
  if (!isVisible()) Open();
  if (m_find.Next()) ShowCurrent();
  ShowCount();
}

void FindBar::FindPrevious() {
  if (!isVisible()) Open();
  if (m_find.Previous()) ShowCurrent();
  ShowCount();
}

void FindBar::ShowCurrent() {
  const int row = m_display.Rows().RowOfLine(m_find.CurrentLine());
  if (row >= 0) m_display.ShowRow(row);
  m_display.update();
}

void FindBar::ShowCount() {
  if (m_faulty) return;
  QString text = AnsiToQString(m_find.CountText());
  if (!m_session.Drain().HexDisplay()) text = "Find searches the hex display";
  lCount->setText(text);
}

void FindBar::RowsChanged() {
  if (!isVisible()) return;
  m_find.Update();
  ShowCount();
}

bool FindBar::HasFocus(const QWidget* focus) const { return focus && isAncestorOf(focus); }

bool FindBar::TakeKey(QKeyEvent* event) {
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  const int key = event->key();
  if (key == Qt::Key_F && modifiers == Qt::ControlModifier) {
    Open();
    return true;
  }
  if (!isVisible()) return false;
  const bool shift = modifiers == Qt::ShiftModifier;
  if (key == Qt::Key_F3 && (modifiers == Qt::NoModifier || shift)) {
    shift ? FindPrevious() : FindNext();
    return true;
  }
  if (!HasFocus(QApplication::focusWidget())) return false;
  if (key == Qt::Key_Escape) {
    Close();
    return true;
  }
  if ((key == Qt::Key_Return || key == Qt::Key_Enter) && (modifiers == Qt::NoModifier || shift)) {
    shift ? FindPrevious() : FindNext();
    return true;
  }
  return false;
}

}  // namespace tapwise
