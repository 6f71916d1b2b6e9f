#pragma once
// The main window: toolbar, port tabs (PortTabs), the live display and the
// status bar over a MonitorSession, whose 50 ms timer pass it runs. It
// previews every key: typed characters go out on the selected port,
// function keys send user packets, Alt+letter works the toolbar, and the
// page and arrow keys scroll the display whatever control has the focus.
// Start-up runs once, when the window is first shown (the session's Start
// after the settings are read); shutdown runs when it closes. It owns its
// tool windows (ToolWindows) and draws with the appearance it is given.

#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/config/UserSettings.h"
#include "core/display/DisplayListener.h"
#include "core/session/MonitorSession.h"
#include "core/session/SessionListener.h"
#include "gui/mainwindow/MessageQueue.h"
#include "gui/mainwindow/ProjectCommands.h"

namespace tapwise {

class Appearance;
class DisplayPaintBox;
class FindBar;
class MainToolBar;
class PortSetupPanel;
class PortTabs;
class RecorderControls;
class SettingsStore;
class StatusPanels;
class TTabControlSmart;
class TickPacer;
class ToolWindows;
class WindowDialogs;

class TTWForm : public QMainWindow, private DisplayListener, private SessionListener {
  Q_OBJECT
 public:
  // The session is started by FormShow with the options; dialogs and
  // message boxes go through dialogs; font and colours are the
  // appearance's, read from the settings at start-up and kept at close.
  // All four outlive the window.
  TTWForm(MonitorSession& session, SettingsStore& settings, MonitorOptions options, WindowDialogs& dialogs,
          Appearance& appearance, QWidget* parent = nullptr);
  ~TTWForm() override;

  // Runs the start-up sequence now (normally queued by the first show).
  // False when the session did not start (no port opened, say): the user
  // has been told and the application asked to end with the session's
  // exit status.
  bool FormShow();

  // Function keys send user packets through this; by default the user
  // packet table's SendUserPacket.
  using UserPacketSender = std::function<void(int packet, uint8_t port)>;
  void SetUserPacketSender(UserPacketSender sender) { m_sendUserPacket = std::move(sender); }

  // Reads a project file: with a dialog when askForFile, else ConfigName
  // (or the name given). Then the trigger table, the first tab and the
  // options follow it.
  void ReadProject(bool askForFile, const std::string& name = {});
  // Asks whether to save a changed project, and saves it.
  void WriteProject();

  // The tool windows, shown from the toolbar (and so by Alt keys), placed
  // from the settings at start-up and their places kept at close; the
  // Properties window is loaded at the end of start-up and after every
  // project read.
  ToolWindows& Tools() const { return *m_tools; }

  // Tells the user about something that went wrong without stopping them:
  // on standard error and in the status bar.
  void ReportProblem(const std::string& message);

  // The window's parts, for the program and its tests; what they show is
  // the session's.
  DisplayPaintBox* Display() const { return m_display; }
  MainToolBar* ToolBar() const { return m_toolBar; }
  TTabControlSmart* PortControlTab() const;
  PortSetupPanel* PortSetup() const;
  StatusPanels* StatusBar() const { return m_statusBar; }
  // COM number shown by each tab, by tab index.
  uint8_t TabPort(int index) const;
  // The settings file was found unwritable at start-up and the user told.
  bool SettingsProblemReported() const { return m_settingsProblemReported; }
  // Called after every timer tick with the records waiting when it began
  // and how long its work took, for measuring the window under load.
  using TickObserver = std::function<void(size_t queued, int64_t microseconds)>;
  void SetTickObserver(TickObserver observer);
  // Runs the timer passes at the session's pace.
  TickPacer& Pacer() const { return *m_pacer; }

 public slots:
  void TimerTimer();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // DisplayListener: the window follows the newest line once per tick.
  void PacketShown() override { m_scrollPending = true; }
  // SessionListener: what an edit (here or in a tool window) changed.
  void SessionChanged(SessionChange change) override;

  void bClearClick();
  void ApplyDisplayFont();
  // True when the key was consumed.
  bool FormKeyDown(QKeyEvent* event);
  // The session did not start: tells the user and ends the program.
  void ShowStartFailure(const Result& failure);
  // What the session's parts posted, shown now.
  void ShowSessionMessages();

  MonitorSession& m_session;
  SettingsStore& m_settings;
  MonitorOptions m_options;
  WindowDialogs& m_dialogs;
  Appearance& m_appearance;
  UserSettings m_userSettings;
  MessageQueue m_messages;
  ProjectCommands m_project;

  MainToolBar* m_toolBar;
  PortTabs* m_ports;
  RecorderControls* m_recorder;
  DisplayPaintBox* m_display;
  FindBar* m_find;
  StatusPanels* m_statusBar;
  std::unique_ptr<ToolWindows> m_tools;
  TickPacer* m_pacer;

  uint8_t m_shownModemBits = 0;
  unsigned m_tickCount = 0;
  bool m_scrollPending = false;
  bool m_started = false;
  bool m_startQueued = false;
  bool m_closed = false;
  bool m_settingsProblemReported = false;
  UserPacketSender m_sendUserPacket;
};

}  // namespace tapwise
