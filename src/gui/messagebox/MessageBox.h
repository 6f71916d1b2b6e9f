#pragma once
// The program's own message box: markup text beside an icon, a row of
// buttons on a shaded strip below. Every message the program shows goes
// through MsgBox or one of the three short forms.
//
// Keys: Enter or Space choose the first button (0), Esc dismisses (-1), the
// digits 1..9 choose button digit - 1 (also when there is no such button);
// any other character beeps and leaves the box open. The box has no caption
// bar: it is dragged by its body above the button strip.

#include <QDialog>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "gui/messagebox/MessageBoxLayout.h"
#include "gui/messagebox/MessageKind.h"

namespace tapwise {

class TBox;
class TBtnTransparent;

class TMessageBoxForm : public QDialog {
  Q_OBJECT
 public:
  // The thin frame drawn around the client area, in pixels on each side.
  static constexpr int FrameWidth = 3;

  // Builds and lays out the box; the text is 8-bit markup, the buttons a
  // comma-separated list of words.
  TMessageBoxForm(TMessageKind kind, std::string_view text, std::string_view buttons,
                  QWidget* parent = nullptr);

  TMessageKind Kind() const { return m_kind; }
  const std::string& Text() const { return m_text; }
  // The 0-based index of the button chosen, or -1 while none is (and after Esc).
  int32_t Result() const { return m_result; }
  const MessageBoxLayout& Layout() const { return m_layout; }
  const std::vector<TBtnTransparent*>& Buttons() const { return m_buttons; }
  TBox* Strip() const { return m_box; }

 protected:
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void Finish(int32_t result);
  void DrawFrame(QPainter& canvas);
  void KeepOnTheScreen();

  TMessageKind m_kind;
  std::string m_text;
  int32_t m_result = -1;
  MessageBoxLayout m_layout;
  TBox* m_box = nullptr;
  std::vector<TBtnTransparent*> m_buttons;
  bool m_dragging = false;
  QPoint m_dragOffset;
};

// Shows the box modally; the 0-based index of the chosen button, -1 for Esc.
int32_t MsgBox(TMessageKind kind, std::string_view text, std::string_view buttons);
void MsgInfo(std::string_view text);
void MsgError(std::string_view text);
// True exactly when Yes (the first button) was chosen.
bool MsgYesNo(std::string_view text);

// A laid-out box that is not shown, for pictures: grab() draws it.
std::unique_ptr<TMessageBoxForm> BuildMessageBox(TMessageKind kind, std::string_view text,
                                                 std::string_view buttons);

}  // namespace tapwise
