#pragma once
// How a window asks the user: the program's message box, the open and save
// dialogs, and the colour and font dialogs. A window is given one at
// construction; the program gives it the real ones (ScreenDialogs), a test
// one that answers by itself and records what was asked.

#include <QColor>
#include <QFont>

#include <cstdint>
#include <optional>
#include <string_view>

#include "gui/controls/FileDialogs.h"
#include "gui/messagebox/MessageKind.h"

class QWidget;

namespace tapwise {

class WindowDialogs {
 public:
  virtual ~WindowDialogs() = default;

  // The 0-based index of the button chosen, -1 for Esc.
  virtual int32_t MsgBox(TMessageKind kind, std::string_view text, std::string_view buttons) = 0;
  // Nothing when the user cancelled.
  virtual std::optional<FileDialogResult> AskForFile(QWidget* parent, const FileDialogRequest& request) = 0;
  // The colour dialog, preset to initial; nothing when cancelled. Answers
  // as cancelled unless overridden, so that dialogs made for windows that
  // never ask need not answer.
  virtual std::optional<QColor> AskForColour(QWidget* parent, const QColor& initial);
  // The font dialog, offering fixed-pitch fonts only, preset to initial;
  // nothing when cancelled. Answers as cancelled unless overridden.
  virtual std::optional<QFont> AskForFont(QWidget* parent, const QFont& initial);

  void MsgInfo(std::string_view text) { MsgBox(mkInformation, text, "OK"); }
  void MsgError(std::string_view text) { MsgBox(mkError, text, "OK"); }
  // True exactly when Yes (the first button) was chosen.
  bool MsgYesNo(std::string_view text) { return MsgBox(mkQuestion, text, "Yes,No") == 0; }
};

// The message box and the file dialog on the screen, modal.
class ScreenDialogs : public WindowDialogs {
 public:
  int32_t MsgBox(TMessageKind kind, std::string_view text, std::string_view buttons) override;
  std::optional<FileDialogResult> AskForFile(QWidget* parent, const FileDialogRequest& request) override;
  std::optional<QColor> AskForColour(QWidget* parent, const QColor& initial) override;
  std::optional<QFont> AskForFont(QWidget* parent, const QFont& initial) override;
};

}  // namespace tapwise
