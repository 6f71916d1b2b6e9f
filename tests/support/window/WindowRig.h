#pragma once
// One main window for the window tests, the window benchmark and the
// snapshot tool: a session (over the device opener given, or with its own
// port map), settings of its own in memory (or the store given), dialogs
// that answer by themselves, the appearance, and the window. Everything a
// test checks of the core it reaches through the session.
//
// Uses Qt Test's event loop helpers only (no GoogleTest), so that programs
// other than tests can use it. Main thread only; the opener and the store
// given outlive the rig.

#include <QColor>
#include <QFont>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/config/INIUnit.h"
#include "core/session/MonitorSession.h"
#include "gui/appearance/Appearance.h"
#include "gui/controls/WindowDialogs.h"
#include "gui/mainwindow/TWMain.h"

namespace tapwise {

// Dialogs that answer without showing and note what they were asked: a
// message box gets the button answer (1: the second, No where there is
// one), a file dialog fileAnswer (cancelled unless set), the colour and
// font dialogs theirs (cancelled unless set).
struct RigDialogs : WindowDialogs {
  std::vector<std::string> shown;
  int32_t answer = 1;
  std::optional<FileDialogResult> fileAnswer;
  std::vector<FileDialogRequest> asked;
  std::optional<QColor> colourAnswer;
  std::vector<QColor> coloursAsked;
  std::optional<QFont> fontAnswer;
  std::vector<QFont> fontsAsked;

  int32_t MsgBox(TMessageKind kind, std::string_view text, std::string_view buttons) override;
  std::optional<FileDialogResult> AskForFile(QWidget* parent, const FileDialogRequest& request) override;
  std::optional<QColor> AskForColour(QWidget* parent, const QColor& initial) override;
  std::optional<QFont> AskForFont(QWidget* parent, const QFont& initial) override;
  // How many boxes showed exactly this text.
  size_t Count(std::string_view text) const;
};

class WindowRig {
 public:
  explicit WindowRig(DeviceOpener* opener = nullptr, SettingsStore* settings = nullptr);
  // Closes the window (as the user would) before the session goes.
  ~WindowRig();
  WindowRig(const WindowRig&) = delete;
  WindowRig& operator=(const WindowRig&) = delete;

  // The window over the options, not yet shown.
  TTWForm& Make(MonitorOptions options = {});
  // Makes the window, shows it, waits until it is on screen and runs the
  // start-up; false when it did not show or the session did not start.
  bool Start(MonitorOptions options = {});

  MonitorSession& Session() { return *session; }
  TWComms& Comms() { return session->Comms(); }
  const DisplayBuffer& Lines() { return session->Drain().Buffer(); }
  // Runs the event loop until the display holds count lines; false when it
  // did not within the time.
  bool WaitForLines(int count, std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));

  // The key where the user's keyboard would send it: to the focused control.
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  void Char(char c);

  RigDialogs dialogs;
  Appearance appearance;
  SettingsStore& settings;
  std::unique_ptr<MonitorSession> session;
  std::unique_ptr<TTWForm> form;

 private:
  SettingsStore m_ownSettings;
};

}  // namespace tapwise
