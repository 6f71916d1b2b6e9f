#include "gui/controls/WindowDialogs.h"

#include <QColorDialog>
#include <QFontDialog>

#include "gui/messagebox/MessageBox.h"

namespace tapwise {

std::optional<QColor> WindowDialogs::AskForColour(QWidget*, const QColor&) { return std::nullopt; }

std::optional<QFont> WindowDialogs::AskForFont(QWidget*, const QFont&) { return std::nullopt; }

int32_t ScreenDialogs::MsgBox(TMessageKind kind, std::string_view text, std::string_view buttons) {
  return tapwise::MsgBox(kind, text, buttons);
}

std::optional<FileDialogResult> ScreenDialogs::AskForFile(QWidget* parent, const FileDialogRequest& request) {
  return tapwise::AskForFile(parent, request);
}

std::optional<QColor> ScreenDialogs::AskForColour(QWidget* parent, const QColor& initial) {
  const QColor chosen = QColorDialog::getColor(initial, parent);
  if (!chosen.isValid()) return std::nullopt;
  return chosen;
}

std::optional<QFont> ScreenDialogs::AskForFont(QWidget* parent, const QFont& initial) {
  bool accepted = false;
  const QFont chosen = QFontDialog::getFont(&accepted, initial, parent, QString(), QFontDialog::MonospacedFonts);
  if (!accepted) return std::nullopt;
  return chosen;
}

}  // namespace tapwise
