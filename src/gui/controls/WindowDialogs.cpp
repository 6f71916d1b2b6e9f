#include "gui/controls/WindowDialogs.h"

#include "gui/controls/MessageBox.h"

namespace tapwise {

int32_t ScreenDialogs::MsgBox(TMessageKind kind, std::string_view text, std::string_view buttons) {
  return tapwise::MsgBox(kind, text, buttons);
}

std::optional<FileDialogResult> ScreenDialogs::AskForFile(QWidget* parent, const FileDialogRequest& request) {
  return tapwise::AskForFile(parent, request);
}

}  // namespace tapwise
