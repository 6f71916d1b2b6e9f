#pragma once
// A numeric edit box with a pair of spin arrows: a range (Min..Max), a display
// scale (the box shows Value x Scale and typed text is divided by it) and an
// optional upper-case hex display whose width follows Max.
//
// The contract the settings windows rely on:
// - Setting Value, Min, Max, Scale or Hex clamps Value into Min..Max (Max wins
//   when Min > Max) and rewrites the text. OnChange is raised by that only when
//   the shown text changes.
// - Every change of the box's text, typed or rewritten, sets Value from the
//   text at once, without clamping, and raises OnChange; Value may lie outside
//   the range until the text is next rewritten (on the arrows, the wheel, or
//   when the focus moves from the box to another control after an edit; the
//   window losing the activation does not end an edit). Text is read as a
//   decimal number (up to the first character that is no digit; no digits
//   read as 0), as hex in a hex field or after a leading "$". A decimal text
//   does not change Value while OnCalculate is set; with a Scale of 0 no
//   typed text changes it.
// - The arrow keys and spin arrows step Value, rewrite the text and raise
//   OnChange once more, so a step that changed the text raises it twice.
// - Values are 32-bit; steps, products and overlong typed numbers never wrap
//   but stop at the limits. Up to eight typed hex digits are a 32-bit pattern
//   (FFFFFFFF is -1).

#include <QRect>

#include <cstdint>
#include <functional>
#include <string>

#include "gui/controls/PanelTransparent.h"

class QLineEdit;
class QToolButton;

namespace tapwise {

// Turns Value x Scale into the number the box shows (decimal display only).
using TCalculateFn = std::function<int32_t(int32_t position)>;

struct EditUpDownGeometry {
  QRect Edit;
  QRect UpDown;
};
// The edit box at the left, vertically centred, one pixel clear of the spin
// arrows, which take the full height at the right edge.
EditUpDownGeometry EditUpDownLayout(int width, int height, int editHeight, int upDownWidth);

// The text shown for a value: hex with as many digits as the largest value
// the field shows needs, decimal through the calculation when one is given.
std::string EditUpDownText(int32_t value, int32_t scale, int32_t max, bool hex,
                           const TCalculateFn& calculate);

class TEditUpDown : public TPanelTransparent {
  Q_OBJECT
 public:
  static constexpr int UpDownWidth = 16;

  explicit TEditUpDown(QWidget* parent = nullptr);

  int32_t Min() const { return m_min; }
  void SetMin(int32_t min);
  int32_t Max() const { return m_max; }
  void SetMax(int32_t max);
  int32_t Scale() const { return m_scale; }
  void SetScale(int32_t scale);
  // May lie outside Min..Max while the user is typing.
  int32_t Value() const { return m_value; }
  void SetValue(int32_t value);
  bool Hex() const { return m_hex; }
  void SetHex(bool hex);
  const TCalculateFn& OnCalculate() const { return m_onCalculate; }
  void SetOnCalculate(TCalculateFn calculate) { m_onCalculate = std::move(calculate); }

  // True after the user edited the text and before it was rewritten.
  bool Modified() const { return m_modified; }
  QString Text() const;
  QLineEdit* EditBox() const { return m_edit; }
  QToolButton* UpButton() const { return m_up; }
  QToolButton* DownButton() const { return m_down; }

  QSize sizeHint() const override;

 signals:
  void OnChange(tapwise::TEditUpDown* sender);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void UpdateText();
  void TextChanged();
  void Changed();
  void Step(int delta);
  void SpinClicked(int delta);
  void PlaceChildren();

  QLineEdit* m_edit;
  QToolButton* m_up;
  QToolButton* m_down;
  int32_t m_min = 0;
  int32_t m_max = 100;
  int32_t m_scale = 1;
  int32_t m_value = 0;
  bool m_hex = false;
  bool m_modified = false;
  int m_wheelRemainder = 0;
  TCalculateFn m_onCalculate;
};

}  // namespace tapwise
