#include "support/window/WindowRig.h"

#include <QApplication>
#include <QTest>

#include <algorithm>

namespace tapwise {

int32_t RigDialogs::MsgBox(TMessageKind, std::string_view text, std::string_view) {
  shown.emplace_back(text);
  return answer;
}

std::optional<FileDialogResult> RigDialogs::AskForFile(QWidget*, const FileDialogRequest& request) {
  asked.push_back(request);
  return fileAnswer;
}

std::optional<QColor> RigDialogs::AskForColour(QWidget*, const QColor& initial) {
  coloursAsked.push_back(initial);
  return colourAnswer;
}

std::optional<QFont> RigDialogs::AskForFont(QWidget*, const QFont& initial) {
  fontsAsked.push_back(initial);
  return fontAnswer;
}

size_t RigDialogs::Count(std::string_view text) const {
  return static_cast<size_t>(std::count(shown.begin(), shown.end(), text));
}

WindowRig::WindowRig(DeviceOpener* opener, SettingsStore* store)
    : settings(store ? *store : m_ownSettings),
      session(opener ? std::make_unique<MonitorSession>(*opener) : std::make_unique<MonitorSession>()) {
  if (!store) m_ownSettings.Create();
}

WindowRig::~WindowRig() {
  if (form) form->close();
  form.reset();
  session.reset();
}

TTWForm& WindowRig::Make(MonitorOptions options) {
  form = std::make_unique<TTWForm>(*session, settings, std::move(options), dialogs, appearance);
  return *form;
}

bool WindowRig::Start(MonitorOptions options) {
  Make(std::move(options));
  form->show();
  if (!QTest::qWaitForWindowExposed(form.get())) return false;
  form->activateWindow();
  return form->FormShow();
}

bool WindowRig::WaitForLines(int count, std::chrono::milliseconds timeout) {
  return QTest::qWaitFor([&] { return Lines().LineCount() == count; }, static_cast<int>(timeout.count()));
}

void WindowRig::Key(int key, Qt::KeyboardModifiers modifiers) {
  QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : form.get();
  QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
}

void WindowRig::Char(char c) {
  QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : form.get();
  QTest::keyClick(target, c);
}

}  // namespace tapwise
