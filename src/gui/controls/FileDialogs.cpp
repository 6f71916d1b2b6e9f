#include "gui/controls/FileDialogs.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

#include "gui/controls/AnsiText.h"

namespace tapwise {

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// "*.dat" → "*.dat *.DAT"; "*.*" → "*" (on this system a name need not have a dot).
std::string QtPatterns(const std::string& patterns) {
  std::string out;
  size_t start = 0;
  while (start <= patterns.size()) {
    size_t end = patterns.find(';', start);
    if (end == std::string::npos) end = patterns.size();
    const std::string pattern = patterns.substr(start, end - start);
    std::vector<std::string> forms;
    if (pattern == "*.*" || pattern == "*") {
      forms = {"*"};
    } else if (!pattern.empty()) {
      forms = {Lower(pattern), Upper(pattern)};
      if (forms[0] == forms[1]) forms.pop_back();
    }
    for (const std::string& form : forms) out += (out.empty() ? "" : " ") + form;
    start = end + 1;
  }
  return out;
}

}  // namespace

std::vector<std::string> QtNameFilters(std::string_view filter) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= filter.size()) {
    size_t bar = filter.find('|', start);
    if (bar == std::string_view::npos) bar = filter.size();
    parts.emplace_back(filter.substr(start, bar - start));
    start = bar + 1;
  }
  std::vector<std::string> filters;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    std::string description = parts[i];
    // The description's own "(*.DAT)" gives way to the patterns Qt matches.
    const size_t open = description.rfind('(');
    if (open != std::string::npos && description.back() == ')') {
      description = description.substr(0, open);
      while (!description.empty() && description.back() == ' ') description.pop_back();
    }
    filters.push_back(description + " (" + QtPatterns(parts[i + 1]) + ")");
  }
  return filters;
}

std::optional<FileDialogResult> AskForFile(QWidget* parent, const FileDialogRequest& request) {
  QFileDialog dialog(parent, AnsiToQString(request.Title));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  const std::vector<std::string> filters = QtNameFilters(request.Filter);
  QStringList names;
  for (const std::string& f : filters) names << AnsiToQString(f);
  dialog.setNameFilters(names);
  const int index = std::clamp(request.FilterIndex, 1, std::max(1, static_cast<int>(names.size())));
  if (!names.isEmpty()) dialog.selectNameFilter(names[index - 1]);
  if (request.Save) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
  }
  const QString name = PathToQString(request.FileName);
  if (!name.isEmpty()) {
    const QFileInfo info(name);
    if (info.dir().exists()) dialog.setDirectory(info.dir());
    dialog.selectFile(info.fileName());
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  FileDialogResult result;
  result.Path = QFile::encodeName(dialog.selectedFiles().first()).toStdString();
  result.FilterIndex = static_cast<int>(names.indexOf(dialog.selectedNameFilter())) + 1;
  if (result.FilterIndex < 1) result.FilterIndex = index;
  return result;
}

}  // namespace tapwise
