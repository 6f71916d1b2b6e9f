#pragma once
// How a window asks the user: the program's message box and the open and
// save dialogs. A window is given one at construction; the program gives it
// the real ones (ScreenDialogs), a test one that answers by itself and
// records what was asked.

#include <cstdint>
#include <optional>
#include <string_view>

#include "gui/controls/FileDialogs.h"
#include "gui/controls/MessageKind.h"

class QWidget;

namespace tapwise {

class WindowDialogs {
 public:
  virtual ~WindowDialogs() = default;

  // The 0-based index of the button chosen, -1 for Esc.
  virtual int32_t MsgBox(TMessageKind kind, std::string_view text, std::string_view buttons) = 0;
  // Nothing when the user cancelled.
  virtual std::optional<FileDialogResult> AskForFile(QWidget* parent, const FileDialogRequest& request) = 0;

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
};

}  // namespace tapwise
