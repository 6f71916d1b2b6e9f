#include "gui/mainwindow/DisplayPaintBox.h"

#include "gui/controls/AnsiText.h"
#include "gui/controls/SystemColours.h"
#include "gui/controls/ToolIcons.h"
#include "gui/controls/WindowsLib.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>

#include <cmath>

namespace tapwise {

DisplayPaintBox::DisplayPaintBox(DisplayDrain& drain, QWidget* parent)
    : QWidget(parent), m_drain(drain) {
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
  resize(80 * m_charWidth, 0);
}

void DisplayPaintBox::ApplyDisplayFont(const QString& name, int pointSize) {
  QFont font(name);
  font.setPointSize(pointSize > 0 ? pointSize : 9);
  font.setStyleHint(QFont::TypeWriter);
  // A family the desktop does not have (the classic "FixedSys" above all)
  // would be replaced by a proportional font; the columns need a fixed one.
  if (!QFontInfo(font).exactMatch() || !QFontInfo(font).fixedPitch()) {
    const int size = font.pointSize();
    font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(size);
  }
  font.setBold(false);
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  // Scalable fonts advance by fractions of a pixel; the columns (and the
  // separator lines between them) need whole cells, so the spacing is
  // padded up to the next whole pixel.
  const qreal advance = QFontMetricsF(font).horizontalAdvance('W');
  m_charWidth = std::max(1, static_cast<int>(std::ceil(advance - 0.01)));
  font.setLetterSpacing(QFont::AbsoluteSpacing, m_charWidth - advance);
  setFont(font);
  const QFontMetrics metrics(font);
  m_textHeight = metrics.height();
  m_ascent = metrics.ascent();
  m_lineHeight = m_textHeight + 2;
  // The window's width is worked out for a scroll bar of this width, so
  // the style's own width must not take columns away.
  m_scrollBox->verticalScrollBar()->setFixedWidth(ScrollBarWidth);
  m_scrollBox->verticalScrollBar()->setSingleStep(m_lineHeight);
  m_scrollBox->horizontalScrollBar()->setSingleStep(m_charWidth);
  resize(80 * m_charWidth, m_drain.LineCount() * m_lineHeight);
  ScrollToEnd();
  update();
}

void DisplayPaintBox::SetColours(const ColourTable& colours) {
  for (size_t i = 0; i < ColourTable::Count; ++i) m_colours[i] = ResolveColour(colours[i]);
  update();
}

QColor DisplayPaintBox::PortColour(int port) const {
  if (port <= 0) return m_colours[ColourTable::LineWithoutPort];
  return m_colours[static_cast<size_t>((port - 1) % 16 + 1)];
}

void DisplayPaintBox::UpdateHeight() {
  const int height = m_drain.LineCount() * m_lineHeight;
  if (height != this->height()) resize(80 * m_charWidth, height);
}

void DisplayPaintBox::ScrollToEnd() {
  UpdateHeight();
  QScrollBar* bar = m_scrollBox->verticalScrollBar();
  const int position = std::max(0, height() - m_scrollBox->viewport()->height());
  bar->setMaximum(std::max(bar->maximum(), position));
  bar->setValue(position);
  repaint();
}

void DisplayPaintBox::LinesChanged() {
  UpdateHeight();
  update();
}

void DisplayPaintBox::ScrollBy(int pixels) {
  QScrollBar* bar = m_scrollBox->verticalScrollBar();
  bar->setValue(bar->value() + pixels);
}

std::pair<int, int> DisplayPaintBox::RowsInBand(int top, int bottom, int lineHeight, int lineCount) {
  if (lineHeight <= 0 || bottom < top) return {0, 0};
  const int first = std::max(0, top / lineHeight);
  const int end = std::min(lineCount, bottom / lineHeight + 1);
  return {first, std::max(first, end)};
}

void DisplayPaintBox::paintEvent(QPaintEvent* event) {
  QPainter canvas(this);
  canvas.setFont(font());
  const QRect clip = event->rect();
  const DisplayBuffer& buffer = m_drain.Buffer();
  const bool hex = m_drain.HexDisplay();
  const QColor window = ResolveColour(ColourTable::SystemColour(5));
  const QColor separator = ScrollBarColour();
  const auto [first, end] = RowsInBand(clip.top(), clip.bottom(), m_lineHeight, buffer.LineCount());
  int y = first * m_lineHeight;
  for (int row = first; row < end; ++row) {
    const DisplayLine& line = buffer.Line(row);
    const QColor background = line.Error        ? m_colours[ColourTable::Errors]
                              : line.Origin == 1 ? window
                                                 : m_colours[ColourTable::Transmissions];
    const QString text = AnsiToQString(line.Text);
    // The background covers the text only: a short ASCII line is coloured
    // as far as its text reaches.
    canvas.fillRect(QRect(0, y, canvas.fontMetrics().horizontalAdvance(text), m_textHeight),
                    background);
    canvas.setPen(PortColour(line.Port));
    canvas.drawText(QPoint(0, y + m_ascent), text);
    if (m_selection.IsSelected(line)) {
      QPen dotted(PortColour(line.Port), 1, Qt::DotLine);
      canvas.setPen(dotted);
      canvas.drawRect(QRect(0, y, width() - 1, m_lineHeight - 1));
    }
    y += m_lineHeight;
    if (hex) {
      canvas.setPen(separator);
      canvas.drawLine(clip.left(), y - 1, clip.right(), y - 1);
    }
  }
  if (hex) {
    canvas.setPen(separator);
    for (int column : {12, 63}) {
      const int x = m_charWidth * column + m_charWidth / 2;
      canvas.drawLine(x, clip.top(), x, clip.bottom());
    }
  }
}

void DisplayPaintBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    m_pmMain->popup(event->globalPosition().toPoint());
    return;
  }
  const int index = static_cast<int>(event->position().y()) / m_lineHeight;
  if (m_selection.SelectAt(m_drain.Buffer(), index, m_drain.HexDisplay())) repaint();
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
