#include "gui/mainwindow/DisplayPaintBox.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

#include <cmath>

#include "core/display/TimedHexLine.h"
#include "gui/controls/AnsiText.h"
#include "gui/controls/SystemColours.h"
#include "gui/controls/ToolIcons.h"
#include "gui/controls/WindowsLib.h"

namespace tapwise {

namespace {

// Under the matches of find: light enough for every port colour to read
// on, the current match stronger.
const QColor MatchColour(255, 240, 120);
const QColor CurrentMatchColour(255, 170, 60);

// Qt lays the soft hyphen (byte 173) out as nothing at all, which would hide
// the byte and pull the rest of the line one column to the left; it is shown
// as a plain hyphen, one cell like every other byte.
QString DisplayText(const std::string& bytes) {
  QString text = AnsiToQString(bytes);
  text.replace(QChar(0x00AD), QLatin1Char('-'));
  return text;
}

}  // namespace

DisplayPaintBox::DisplayPaintBox(DisplayDrain& drain, QWidget* parent)
    : QWidget(parent), m_drain(drain), m_rows(drain) {
  setObjectName("DisplayPaintBox");
  setToolTip("Display of data from/to ALL COM ports");
  m_scrollBox = new QScrollArea(parent);
  m_scrollBox->setObjectName("DisplayScrollBox");
  m_scrollBox->setBackgroundRole(QPalette::Base);
  m_scrollBox->setWidget(this);
  m_scrollBox->setWidgetResizable(false);
  m_scrollBox->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_scrollBox->setFocusPolicy(Qt::NoFocus);
  m_scrollBox->verticalScrollBar()->setTracking(true);
  m_scrollBox->horizontalScrollBar()->setTracking(true);
  // A click on the empty part of the scroll box opens the menu too.
  m_scrollBox->viewport()->installEventFilter(this);

  m_pmMain = new QMenu(this);
  m_pmMain->setObjectName("pmMain");
  mCopy = m_pmMain->addAction(QIcon(DrawToolIcon(ToolIcon::Copy)), "Copy Packet");
  mSend = m_pmMain->addAction(QIcon(DrawToolIcon(ToolIcon::PlayPacket)), "Play Clipboard (raw)");
  mSendHex = m_pmMain->addAction(QIcon(DrawToolIcon(ToolIcon::PlayPacket)), "Play Clipboard (as Hex)");
  mPlayThisPacket = m_pmMain->addAction(QIcon(DrawToolIcon(ToolIcon::PlayPacket)), "Play Selected Packet");

  SetColours(ColourTable());
  resize(m_geometry.BoxWidth(), 0);
}

void DisplayPaintBox::ApplyDisplayFont(const QString& name, int pointSize) {
  QFont font(name);
  font.setPointSize(pointSize > 0 ? pointSize : 9);
  font.setStyleHint(QFont::TypeWriter);
  // A family the desktop does not have (the classic "FixedSys" above all)
  // would be replaced by a proportional font; the columns need a fixed one.
  // (Not exactMatch: that fails for an installed family at most sizes, and
  // the family the user chose would be lost.)
  if (!QFontDatabase::hasFamily(name) || !QFontInfo(font).fixedPitch()) {
    const int size = font.pointSize();
    font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(size);
  }
  font.setBold(false);
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  // The window's width is worked out for a scroll bar of this width, so
  // the style's own width must not take columns away.
  m_scrollBox->verticalScrollBar()->setFixedWidth(ScrollBarWidth);
  setFont(font);  // measured in changeEvent
  ScrollToEnd();
  update();
}

void DisplayPaintBox::MeasureFont() {
  // Scalable fonts advance by fractions of a pixel; the columns (and the
  // separator lines between them) need whole cells, so the spacing is
  // padded up to the next whole pixel.
  QFont spaced = font();
  spaced.setLetterSpacing(QFont::AbsoluteSpacing, 0);
  const qreal advance = QFontMetricsF(spaced).horizontalAdvance('W');
  const int charWidth = std::max(1, static_cast<int>(std::ceil(advance - 0.01)));
  spaced.setLetterSpacing(QFont::AbsoluteSpacing, charWidth - advance);
  if (spaced != font() && !m_spacingFont) {
    // The spaced font comes back here through changeEvent and is measured then.
    m_spacingFont = true;
    setFont(spaced);
    m_spacingFont = false;
    return;
  }
  const QFontMetrics metrics(font());
  m_geometry = DisplayGeometry(charWidth, metrics.height(), metrics.ascent(), m_geometry.ColumnCount());
  m_scrollBox->verticalScrollBar()->setSingleStep(m_geometry.LineHeight());
  m_scrollBox->horizontalScrollBar()->setSingleStep(m_geometry.CharWidth());
  // No widget is taller than QWIDGETSIZE_MAX pixels.
  m_rows.SetMaxRows(QWIDGETSIZE_MAX / m_geometry.LineHeight() - 1);
  UpdateHeight();
  update();
}

void DisplayPaintBox::SetColours(const ColourTable& colours) {
  m_colourTable = colours;
  ResolveColours();
}

void DisplayPaintBox::SetTimeStyle(TimeStyle style) {
  m_time = style;
  m_widerHeader = static_cast<int>(TimedHeaderWidth(style) - TimedHeaderWidth(TimeStyle::Tenths));
  m_geometry = DisplayGeometry(m_geometry.CharWidth(), m_geometry.TextHeight(), m_geometry.Ascent(),
                               DisplayGeometry::Columns + m_widerHeader);
  resize(m_geometry.BoxWidth(), height());
  update();
}

void DisplayPaintBox::ResolveColours() {
  for (size_t i = 0; i < ColourTable::Count; ++i) m_colours[i] = ResolveColour(m_colourTable[i]);
  m_windowColour = ResolveColour(ColourTable::SystemColour(5));
  m_separatorColour = ScrollBarColour();
  update();
}

void DisplayPaintBox::changeEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::FontChange:
      MeasureFont();
      break;
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
      // System colours in the table, the window colour and the separator
      // colour all come from the palette.
      ResolveColours();
      break;
    default:
      break;
  }
  QWidget::changeEvent(event);
}

QColor DisplayPaintBox::PortColour(int port) const {
  if (port <= 0) return m_colours[ColourTable::LineWithoutPort];
  return m_colours[ColourTable::PortEntry(port)];
}

void DisplayPaintBox::UpdateHeight() {
  m_shown.Update(m_drain.Buffer(), m_drain.Filter());
  const int height = m_geometry.BoxHeight(RowCount());
  if (height != this->height() || width() != m_geometry.BoxWidth()) resize(m_geometry.BoxWidth(), height);
}

// A filter shows some of the ring's lines and no history (the history
// holds lines that were shown, and the filter is the view's); without one
// the rows are the history's and the ring's.
int DisplayPaintBox::RowCount() const { return m_shown.Filtered() ? m_shown.Count() : m_rows.Count(); }

int DisplayPaintBox::BaseRow(int row) const {
  if (!m_shown.Filtered()) return row;
  const int held = m_shown.HeldIndex(row);
  return held < 0 ? -1 : m_rows.OlderCount() + held;
}

void DisplayPaintBox::SetHistory(PacketHistory* history) {
  m_rows.SetHistory(history);
  LinesChanged();
}

void DisplayPaintBox::SetFind(const DisplayFind* find) {
  m_find = find;
  update();
}

void DisplayPaintBox::SetHeld(bool held) { m_held = held; }

bool DisplayPaintBox::Holding() const {
  if (m_held) return true;
  const int top = m_geometry.RowAt(m_scrollBox->verticalScrollBar()->value());
  return m_rows.OlderCount() > 0 && top < m_rows.OlderCount();
}

void DisplayPaintBox::RefreshRows() {
  QScrollBar* bar = m_scrollBox->verticalScrollBar();
  const bool holding = Holding() && m_rows.FollowsHistory();
  const uint64_t firstLine = m_rows.FirstLine();
  const int value = bar->value();
  m_rows.Refresh();
  UpdateHeight();
  emit RowsChanged();
  if (!holding || !m_rows.FollowsHistory()) return;
  // The oldest rows went (the history let them go) or new ones came in
  // above the cap: the view moves with its lines.
  const int64_t moved = static_cast<int64_t>(m_rows.FirstLine()) - static_cast<int64_t>(firstLine);
  const int64_t wanted = std::max<int64_t>(0, value - moved * m_geometry.LineHeight());
  bar->setMaximum(std::max(bar->maximum(), std::max(0, height() - m_scrollBox->viewport()->height())));
  bar->setValue(static_cast<int>(std::min<int64_t>(wanted, bar->maximum())));
}

void DisplayPaintBox::ShowRow(int row) {
  m_held = true;
  QScrollBar* bar = m_scrollBox->verticalScrollBar();
  const int viewport = m_scrollBox->viewport()->height();
  const int position = std::max(0, m_geometry.RowTop(row) - (viewport - m_geometry.LineHeight()) / 2);
  bar->setMaximum(std::max(bar->maximum(), std::max(0, height() - viewport)));
  bar->setValue(std::min(position, std::max(0, height() - viewport)));
  update();
}

void DisplayPaintBox::ScrollToEnd() {
  const bool holding = Holding() && m_rows.FollowsHistory();
  RefreshRows();
  if (holding) {
    repaint();
    return;
  }
  ShowNewest();
}

void DisplayPaintBox::ShowNewest() {
  m_held = false;
  UpdateHeight();
  QScrollBar* bar = m_scrollBox->verticalScrollBar();
  const int position = std::max(0, height() - m_scrollBox->viewport()->height());
  bar->setMaximum(std::max(bar->maximum(), position));
  bar->setValue(position);
  // Drawn at once rather than on the next pass of the event loop: the timer
  // follows the end once per tick, after the whole drain, so there is
  // nothing to merge, and the new lines are on the screen when its pass ends.
  repaint();
}

void DisplayPaintBox::LinesChanged() {
  RefreshRows();
  update();
}

void DisplayPaintBox::ScrollBy(int pixels) {
  QScrollBar* bar = m_scrollBox->verticalScrollBar();
  bar->setValue(bar->value() + pixels);
}

void DisplayPaintBox::ScrollForKey(MainKeyCommand::Kind action) {
  const int page = m_scrollBox->viewport()->height();
  switch (action) {
    case MainKeyCommand::PageDown:
      ScrollBy(page);
      break;
    case MainKeyCommand::PageUp:
      ScrollBy(-page);
      break;
    case MainKeyCommand::LineDown:
      ScrollBy(LineHeight());
      break;
    case MainKeyCommand::LineUp:
      ScrollBy(-LineHeight());
      break;
    default:
      break;
  }
}

bool DisplayPaintBox::ScrollForWindowWheel(QWidget* widget, QWheelEvent* event) {
  if (event == m_lastWheel && event->timestamp() == m_lastWheelTime) return false;
  m_lastWheel = event;
  m_lastWheelTime = event->timestamp();
  m_wheelRemainder += event->angleDelta().y();
  const int notches = m_wheelRemainder / QWheelEvent::DefaultDeltasPerStep;
  m_wheelRemainder -= notches * QWheelEvent::DefaultDeltasPerStep;
  ScrollBy(-notches * LineHeight());
  return widget == this || widget == m_scrollBox || widget == m_scrollBox->viewport() ||
         m_scrollBox->isAncestorOf(widget);
}

void DisplayPaintBox::paintEvent(QPaintEvent* event) {
  QPainter canvas(this);
  const QRect clip = event->rect();
  const bool hex = m_drain.HexDisplay();
  // Text that ran on in the current line may have changed its port.
  m_shown.Update(m_drain.Buffer(), m_drain.Filter());
  const auto [first, end] = m_geometry.RowsInBand(clip.top(), clip.bottom(), RowCount());
  for (int row = first; row < end; ++row) {
    const int y = m_geometry.RowTop(row);
    const DisplayLine& line = m_rows.Row(BaseRow(row));
    QColor background = line.Error        ? m_colours[ColourTable::Errors]
                        : line.Origin == 1 ? m_windowColour
                                           : m_colours[ColourTable::Transmissions];
    // A highlight rule's colour over the kind of packet; line errors still
    // show as such.
    if (line.Mark != 0 && !line.Error && m_drain.Marker()) {
      const uint32_t marked = m_drain.Marker()->MarkColour(line.Mark);
      if (marked != PacketMarker::UnmarkedColour) background = QColor::fromRgb(static_cast<QRgb>(marked));
    }
    const QString text = DisplayText(hex ? TimedHexLine(line, m_time) : line.Text);
    // The background covers the text only: a short ASCII line is coloured
    // as far as its text reaches.
    canvas.fillRect(QRect(0, y, m_geometry.TextWidth(static_cast<int>(text.size())), m_geometry.TextHeight()),
                    background);
    PaintMarks(canvas, BaseRow(row), y);
    canvas.setPen(PortColour(line.Port));
    canvas.drawText(QPoint(0, y + m_geometry.Ascent()), text);
    if (m_selection.IsSelected(line)) {
      QPen dotted(PortColour(line.Port), 1, Qt::DotLine);
      canvas.setPen(dotted);
      canvas.drawRect(QRect(0, y, width() - 1, m_geometry.LineHeight() - 1));
    }
    if (hex) {
      // The lowest pixel row of the line just drawn.
      const int bottom = m_geometry.RowTop(row + 1) - 1;
      canvas.setPen(m_separatorColour);
      canvas.drawLine(clip.left(), bottom, clip.right(), bottom);
    }
  }
  if (hex) {
    canvas.setPen(m_separatorColour);
    // Either side of the hex area, which a wider header moves right.
    for (int column : {12 + m_widerHeader, 63 + m_widerHeader}) {
      const int x = m_geometry.ColumnMiddle(column);
      canvas.drawLine(x, clip.top(), x, clip.bottom());
    }
  }
}

void DisplayPaintBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    m_pmMain->popup(event->globalPosition().toPoint());
    return;
  }
  const int index = BaseRow(m_geometry.RowAt(static_cast<int>(std::floor(event->position().y()))));
  // The frames follow on the next pass of the event loop; nothing waits for them.
  if (m_selection.SelectAt(m_rows, index, m_drain.HexDisplay())) update();
}

void DisplayPaintBox::PaintMarks(QPainter& canvas, int row, int y) {
  if (!m_find || row < 0 || !m_rows.FollowsHistory()) return;
  m_find->MarksOnLine(m_rows.FirstLine() + static_cast<uint64_t>(row), m_marks);
  for (const MarkedColumns& mark : m_marks) {
    const QRect cells(m_geometry.TextWidth(mark.First), y, m_geometry.TextWidth(mark.Count), m_geometry.TextHeight());
    canvas.fillRect(cells, mark.Current ? CurrentMatchColour : MatchColour);
  }
}

bool DisplayPaintBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_scrollBox->viewport() && event->type() == QEvent::MouseButtonPress) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::RightButton) {
      m_pmMain->popup(mouse->globalPosition().toPoint());
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tapwise
