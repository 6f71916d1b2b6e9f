#include "gui/controls/EditUpDown.h"

#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <string_view>

#include "core/util/AnsiStringLib.h"
#include "gui/controls/AnsiText.h"

namespace tapwise {

namespace {

// Big enough for any Value x Scale of two 32-bit numbers, so the shown text
// always reads back to the value it came from.
constexpr uint64_t ReadLimit = uint64_t{1} << 62;
constexpr int WheelNotch = 120;

int32_t Saturate(int64_t n) {
  if (n > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (n < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(n);
}

int DigitOf(char c, unsigned base) {
  const int digit = HexDigitValue(c);
  return digit >= 0 && static_cast<unsigned>(digit) < base ? digit : -1;
}

// Reads a number by the rules of the string helpers' readers (separators
// before it skipped, one sign in decimal, reading stops at the first
// character that is no digit, no digits read as 0, no error is reported), but
// an overlong number stops at a limit instead of wrapping in 32 bits: typing
// 4294967296 must not come back as 0, inside the range.
int64_t ReadTypedNumber(std::string_view text, size_t pos, bool hex) {
  SkipSeparators(text, pos);
  bool negative = false;
  if (!hex && pos <= text.size() && (text[pos - 1] == '-' || text[pos - 1] == '+')) {
    negative = text[pos - 1] == '-';
    ++pos;
    SkipSeparators(text, pos);
  }
  const unsigned base = hex ? 16 : 10;
  uint64_t magnitude = 0;
  for (; pos <= text.size(); ++pos) {
    const int digit = DigitOf(text[pos - 1], base);
    if (digit < 0) break;
    const auto d = static_cast<uint64_t>(digit);
    magnitude = magnitude > (ReadLimit - d) / base ? ReadLimit : magnitude * base + d;
  }
  const auto value = static_cast<int64_t>(magnitude);
  return negative ? -value : value;
}

std::string DecimalText(int64_t n) {
  if (n == Saturate(n)) return IntToText(static_cast<int32_t>(n));
  return std::to_string(n);
}

}  // namespace

EditUpDownGeometry EditUpDownLayout(int width, int height, int editHeight, int upDownWidth) {
  EditUpDownGeometry geometry;
  geometry.Edit = QRect(0, (height - editHeight) / 2, std::max(0, width - upDownWidth - 1),
                        editHeight);
  geometry.UpDown = QRect(width - upDownWidth, 0, upDownWidth, height);
  return geometry;
}

std::string EditUpDownText(int32_t value, int32_t scale, int32_t max, bool hex,
                           const TCalculateFn& calculate) {
  const int64_t v = int64_t{value} * scale;
  if (hex) {
    // The digits cover Max x Scale, the largest number the field shows, so a
    // scaled value keeps its high digits and reads back unchanged. With a
    // scale of 1 this is simply the digits of Max, taken unsigned.
    const uint64_t magnitude = scale == 0 ? 1 : static_cast<uint64_t>(std::abs(int64_t{scale}));
    const uint64_t largest = uint64_t{static_cast<uint32_t>(max)} * magnitude;
    int digits = 1;
    while (digits < 16 && (largest >> (4 * digits)) != 0) ++digits;
    std::string text;
    for (int i = digits - 1; i >= 0; --i) {
      text += HexDigit(static_cast<uint32_t>(static_cast<uint64_t>(v) >> (4 * i)));
    }
    return text;
  }
  if (calculate) return IntToText(calculate(Saturate(v)));
  return DecimalText(v);
}

TEditUpDown::TEditUpDown(QWidget* parent)
    : TPanelTransparent(parent),
      m_edit(new QLineEdit(this)),
      m_up(new QToolButton(this)),
      m_down(new QToolButton(this)) {
  SetRaised(false);
  SetLowered(false);
  setFocusProxy(m_edit);
  m_edit->installEventFilter(this);
  connect(m_edit, &QLineEdit::textChanged, this, [this] { TextChanged(); });

  // The arrows never take the focus: a click leaves (or puts) it in the box,
  // so an edit in progress is not ended by the click.
  const struct {
    QToolButton* Button;
    Qt::ArrowType Arrow;
    int Delta;
  } arrows[] = {{m_up, Qt::UpArrow, 1}, {m_down, Qt::DownArrow, -1}};
  for (const auto& arrow : arrows) {
    arrow.Button->installEventFilter(this);
    arrow.Button->setArrowType(arrow.Arrow);
    arrow.Button->setFocusPolicy(Qt::NoFocus);
    arrow.Button->setAutoRepeat(true);
    arrow.Button->setIconSize(QSize(7, 4));
    // pressed comes once on the press and once per repetition while held.
    const int delta = arrow.Delta;
    connect(arrow.Button, &QToolButton::pressed, this, [this, delta] { SpinClicked(delta); });
  }

  resize(sizeHint());
  UpdateText();
}

void TEditUpDown::SetMin(int32_t min) {
  m_min = min;
  UpdateText();
}

void TEditUpDown::SetMax(int32_t max) {
  m_max = max;
  UpdateText();
}

void TEditUpDown::SetScale(int32_t scale) {
  m_scale = scale;
  UpdateText();
}

void TEditUpDown::SetValue(int32_t value) {
  m_value = value;
  UpdateText();
}

void TEditUpDown::SetHex(bool hex) {
  m_hex = hex;
  UpdateText();
}

QString TEditUpDown::Text() const {
  return m_edit->text();
}

QSize TEditUpDown::sizeHint() const {
  return QSize(64, m_edit->sizeHint().height());
}

void TEditUpDown::UpdateText() {
  if (m_value < m_min) m_value = m_min;
  if (m_value > m_max) m_value = m_max;
  const QString text =
      AnsiToQString(EditUpDownText(m_value, m_scale, m_max, m_hex, m_onCalculate));
  // Only a different text is a text change; the same one raises nothing.
  if (text != m_edit->text()) m_edit->setText(text);
  m_modified = false;
}

void TEditUpDown::TextChanged() {
  const std::string text = QStringToAnsi(m_edit->text());
  // A scale of 0 shows every value as 0; typed text cannot be divided by it
  // and leaves the value as it was.
  const auto divided = [this](int64_t number) {
    return m_scale == 0 ? m_value : Saturate(number / m_scale);
  };
  // Up to eight hex digits are a 32-bit pattern, so FFFFFFFF is -1 and the
  // text of a negative value reads back as it was shown; longer numbers stop
  // at the limit.
  const auto dividedHex = [this, &divided](int64_t number) {
    if (m_scale == 0 || number > int64_t{UINT32_MAX}) return divided(number);
    return static_cast<int32_t>(static_cast<uint32_t>(number / m_scale));
  };
  if (text.empty()) {
    m_value = m_min;
  } else if (m_hex) {
    m_value = dividedHex(ReadTypedNumber(text, 1, true));
  } else if (text[0] == '$') {
    m_value = dividedHex(ReadTypedNumber(text, 2, true));
  } else if (!m_onCalculate) {
    m_value = divided(ReadTypedNumber(text, 1, false));
  }
  // With a calculation the shown number cannot be typed back through it.
  m_modified = true;
  emit OnChange(this);
}

void TEditUpDown::Changed() {
  UpdateText();
  emit OnChange(this);
}

void TEditUpDown::Step(int delta) {
  m_value = Saturate(int64_t{m_value} + delta);
  Changed();
}

void TEditUpDown::SpinClicked(int delta) {
  Step(delta);
  m_edit->setFocus(Qt::OtherFocusReason);
}

void TEditUpDown::PlaceChildren() {
  const int editHeight = std::min(height(), m_edit->sizeHint().height());
  const EditUpDownGeometry geometry = EditUpDownLayout(width(), height(), editHeight, UpDownWidth);
  m_edit->setGeometry(geometry.Edit);
  const QRect& arrows = geometry.UpDown;
  const int upperHeight = arrows.height() / 2;
  m_up->setGeometry(arrows.x(), arrows.y(), arrows.width(), upperHeight);
  m_down->setGeometry(arrows.x(), arrows.y() + upperHeight, arrows.width(),
                      arrows.height() - upperHeight);
}

void TEditUpDown::resizeEvent(QResizeEvent* event) {
  TPanelTransparent::resizeEvent(event);
  PlaceChildren();
}

void TEditUpDown::changeEvent(QEvent* event) {
  TPanelTransparent::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
    PlaceChildren();
  }
}

void TEditUpDown::wheelEvent(QWheelEvent* event) {
  const int delta = event->angleDelta().y();
  if (delta == 0) {
    event->ignore();
    return;
  }
  // Fine-grained wheels send fractions of a notch; a step is a whole notch.
  m_wheelRemainder += delta;
  while (m_wheelRemainder >= WheelNotch) {
    m_wheelRemainder -= WheelNotch;
    SetValue(Saturate(int64_t{m_value} + 1));
  }
  while (m_wheelRemainder <= -WheelNotch) {
    m_wheelRemainder += WheelNotch;
    SetValue(Saturate(int64_t{m_value} - 1));
  }
  event->accept();
}

bool TEditUpDown::eventFilter(QObject* watched, QEvent* event) {
  // The wheel steps the value wherever over the control it turns; the edit
  // box would otherwise swallow it without passing it on.
  if (event->type() == QEvent::Wheel &&
      (watched == m_edit || watched == m_up || watched == m_down)) {
    wheelEvent(static_cast<QWheelEvent*>(event));
    return event->isAccepted();
  }
  if (watched == m_edit) {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Up || key == Qt::Key_Down) {
        Step(key == Qt::Key_Up ? 1 : -1);
        return true;
      }
    } else if (event->type() == QEvent::FocusOut) {
      // Only a move to another control ends the edit: when the window loses
      // the activation (another program, a menu, the window closing) the
      // focus comes back to the box, and a window being destroyed must not
      // call its handlers.
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
        if (m_modified) Changed();
        m_modified = false;
      }
    }
  }
  return TPanelTransparent::eventFilter(watched, event);
}

}  // namespace tapwise
