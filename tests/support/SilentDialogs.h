#pragma once
// Window dialogs for tests that only look on: every message box is noted and
// answered with its first button, every file dialog is cancelled.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gui/controls/WindowDialogs.h"

namespace tapwise {

struct SilentDialogs : WindowDialogs {
  std::vector<std::string> shown;
  int32_t MsgBox(TMessageKind, std::string_view text, std::string_view) override {
    shown.emplace_back(text);
    return 1;
  }
  std::optional<FileDialogResult> AskForFile(QWidget*, const FileDialogRequest&) override { return std::nullopt; }
};

}  // namespace tapwise
