#pragma once
// The open and save dialogs of the program, asked for in the classic form:
// a title, a filter list "description|pattern|description|pattern…", a file
// name and a 1-based filter index; the answer is the chosen path and the
// filter index it was chosen with. Windows ask through WindowDialogs, so
// that tests can answer instead of a dialog.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QWidget;

namespace tapwise {

struct FileDialogRequest {
  bool Save = false;  // a save dialog (no overwrite question); else open an existing file
  std::string Title;
  std::string Filter;  // "description|pattern|…"
  std::string FileName;
  int FilterIndex = 1;  // 1-based; 0 counts as 1
};

struct FileDialogResult {
  std::string Path;
  int FilterIndex = 1;
};

// The filter list as Qt name filters: each description with its patterns in
// both letter cases ("*.*" matches every file, with or without a dot).
std::vector<std::string> QtNameFilters(std::string_view filter);

// Nothing when the user cancelled.
std::optional<FileDialogResult> AskForFile(QWidget* parent, const FileDialogRequest& request);

}  // namespace tapwise
