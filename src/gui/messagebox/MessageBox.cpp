#include "gui/messagebox/MessageBox.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "gui/controls/AnsiText.h"
#include "gui/controls/Border.h"
#include "gui/controls/Box.h"
#include "gui/controls/BtnTransparent.h"
#include "gui/controls/WindowsLib.h"
#include "gui/markup/Markup.h"
#include "gui/messagebox/MessageGlyphs.h"

namespace tapwise {

namespace {

QFont MessageFont() {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(11);
  return font;
}

// One ring of the frame: top and left edges in one colour, right and bottom
// in the other, inset by the ring's number.
void DrawRing(QPainter& canvas, const QRect& outer, int ring, const QColor& topLeft,
              const QColor& bottomRight) {
  const QRect r = outer.adjusted(ring, ring, -ring, -ring);
  canvas.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), topLeft);
  canvas.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), topLeft);
  canvas.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
  canvas.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
}

}  // namespace

TMessageBoxForm::TMessageBoxForm(TMessageKind kind, std::string_view text,
                                 std::string_view buttons, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_kind(kind),
      m_text(text) {
  setWindowTitle(QStringLiteral("Message"));
  setFont(MessageFont());
  setFocusPolicy(Qt::StrongFocus);

  const std::vector<std::string> words = SplitButtonWords(buttons);
  const MarkupExtent measured =
      MeasureMarkup(font(), MessageTextLeft, MessageTextTop, m_text, MessageTextGap);
  m_layout = LayoutMessageBox(measured, words.size());

  m_box = new TBox(this);
  m_box->SetLineBottom(false);
  m_box->SetLineLeft(false);
  m_box->SetLineRight(false);
  m_box->setGeometry(FrameWidth, FrameWidth + m_layout.StripTop, m_layout.ClientWidth,
                     MessageStripHeight);

  for (size_t i = 0; i < words.size(); ++i) {
    auto* button = new TBtnTransparent(this);
    const int tag = static_cast<int>(i);
    button->SetTag(tag);
    button->SetCaption(AnsiToQString(words[i]));
    const int glyph = ButtonGlyphIndex(words[i]);
    if (glyph >= 0) button->SetGlyph(ButtonGlyph(glyph));
    button->setGeometry(FrameWidth + m_layout.ButtonLefts[i],
                        FrameWidth + m_layout.StripTop + 4, MessageButtonWidth,
                        MessageButtonHeight);
    connect(button, &TBtnTransparent::clicked, this, [this, tag] { Finish(tag); });
    m_buttons.push_back(button);
  }
  setFixedSize(m_layout.ClientWidth + 2 * FrameWidth, m_layout.ClientHeight + 2 * FrameWidth);
}

void TMessageBoxForm::Finish(int32_t result) {
  m_result = result;
  accept();
}

void TMessageBoxForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  PlaceAtMouse(*this);
  m_result = -1;
}

void TMessageBoxForm::DrawFrame(QPainter& canvas) {
  const QPalette& colours = QGuiApplication::palette();
  const QRect outer = rect();
  DrawRing(canvas, outer, 0, ButtonFaceColour(), colours.color(QPalette::Shadow));
  DrawRing(canvas, outer, 1, ButtonHighlightColour(), ButtonShadowColour());
  DrawRing(canvas, outer, 2, ButtonFaceColour(), ButtonFaceColour());
}

void TMessageBoxForm::paintEvent(QPaintEvent*) {
  QPainter canvas(this);
  DrawFrame(canvas);
  canvas.translate(FrameWidth, FrameWidth);
  const int clientWidth = width() - 2 * FrameWidth;
  const int clientHeight = height() - 2 * FrameWidth;
  canvas.fillRect(QRect(0, 0, clientWidth, clientHeight), ButtonFaceColour());

  canvas.save();
  canvas.translate(MessageImageLeft, MessageImageTop);
  DrawMessageIcon(canvas, m_kind);
  canvas.restore();

  // Laid out again with the actual width, so the frame of a box widened by
  // its buttons still ends 7 pixels inside the right edge.
  canvas.setFont(font());
  canvas.setPen(WindowTextColour());
  canvas.setBrush(ButtonFaceColour());
  const MarkupExtent drawn =
      DrawMarkup(canvas, MessageTextLeft, MessageTextTop, m_text, MessageTextGap);
  const MarkupExtent area = TextAreaExtent(drawn, clientWidth);
  DrawBorder(canvas, MessageTextLeft, MessageTextTop, bLowered, area.Bottom - 1, area.Right - 1);

  KeepOnTheScreen();

  GradientFill(canvas, 0, m_layout.StripTop, clientWidth, m_layout.StripTop + MessageStripHeight,
               ButtonFaceColour(), ScrollBarColour());
}

void TMessageBoxForm::KeepOnTheScreen() {
  // With several monitors the box may rightly sit on another one.
  if (!isVisible() || QGuiApplication::screens().size() != 1) return;
  const QScreen* display = screen();
  if (!display) return;
  const QPoint place = KeepOnScreen(frameGeometry(), display->geometry());
  if (place != frameGeometry().topLeft()) {
    move(place);
    update();
  }
}

void TMessageBoxForm::keyPressEvent(QKeyEvent* event) {
  event->accept();
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      Finish(0);
      return;
    case Qt::Key_Escape:
      Finish(-1);
      return;
    default:
      break;
  }
  const QString text = event->text();
  // Keys that type nothing (Shift, arrows) are not answered at all.
  if (text.isEmpty()) return;
  const QChar ch = text.front();
  if (ch == QLatin1Char('\r') || ch == QLatin1Char(' ')) {
    Finish(0);
  } else if (ch == QChar(27)) {
    Finish(-1);
  } else if (ch >= QLatin1Char('1') && ch <= QLatin1Char('9')) {
    Finish(ch.unicode() - '1');
  } else {
    QApplication::beep();
  }
}

void TMessageBoxForm::mousePressEvent(QMouseEvent* event) {
  const QPoint client = event->position().toPoint() - QPoint(FrameWidth, FrameWidth);
  const bool onBody = client.x() >= 0 && client.x() < m_layout.ClientWidth && client.y() >= 0 &&
                      client.y() < m_layout.StripTop;
  if (event->button() == Qt::LeftButton && onBody) {
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
    event->accept();
    return;
  }
  QDialog::mousePressEvent(event);
}

void TMessageBoxForm::mouseMoveEvent(QMouseEvent* event) {
  if (m_dragging && (event->buttons() & Qt::LeftButton)) {
    move(event->globalPosition().toPoint() - m_dragOffset);
    event->accept();
    return;
  }
  QDialog::mouseMoveEvent(event);
}

void TMessageBoxForm::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) m_dragging = false;
  QDialog::mouseReleaseEvent(event);
}

int32_t MsgBox(TMessageKind kind, std::string_view text, std::string_view buttons) {
  TMessageBoxForm form(kind, text, buttons);
  form.exec();
  return form.Result();
}

void MsgInfo(std::string_view text) {
  MsgBox(mkInformation, text, "OK");
}

void MsgError(std::string_view text) {
  MsgBox(mkError, text, "OK");
}

bool MsgYesNo(std::string_view text) {
  return MsgBox(mkQuestion, text, "Yes,No") == 0;
}

std::unique_ptr<TMessageBoxForm> BuildMessageBox(TMessageKind kind, std::string_view text,
                                                 std::string_view buttons) {
  return std::make_unique<TMessageBoxForm>(kind, text, buttons);
}

}  // namespace tapwise
