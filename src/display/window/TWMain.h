#pragma once
// The main window: toolbar, one tab per present port with its line settings
// and modem indicators, the live display and the status bar. It owns the
// display state and the 50 ms timer that drains the capture queue, and it
// previews every key: typed characters go out on the selected port, function
// keys send user packets, Alt+letter works the toolbar, and the page and
// arrow keys scroll the display whatever control has the focus.
//
// Start-up runs once, when the window is first shown; shutdown runs when it
// closes. Windows and actions of later parts of the program attach through
// the Set…Hook functions; until then their buttons are disabled.

#include <QMainWindow>
#include <QTimer>
#include <QWheelEvent>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/CommandLine.h"
#include "config/PlaySettings.h"
#include "config/ProjectState.h"
#include "config/UserSettings.h"
#include "config/WindowLayouts.h"
#include "display/DisplayDrain.h"
#include "display/DisplayListener.h"
#include "recorder/Recorder.h"
#include "userpackets/UserPackets.h"
#include "util/UserMessages.h"

namespace tapwise {

class DeviceOpener;
class DisplayPaintBox;
class MainToolBar;
class PortSetupPanel;
class SettingsStore;
class StatusPanels;
class TTabControlSmart;
class TTxThread;
class TWComms;

class TTWForm : public QMainWindow, private DisplayListener {
  Q_OBJECT
 public:
  // The opener names each port's device in its tab's hint.
  TTWForm(TWComms& comms, const DeviceOpener& map, SettingsStore& settings, CommandLine commandLine,
          QWidget* parent = nullptr);
  ~TTWForm() override;

  // Runs the start-up sequence now (normally queued by the first show).
  // False when no port opened: the user has been told and the application
  // asked to end with status 1.
  bool FormShow();

  // The queue whose messages the window shows; the port map posts to it.
  UserMessages& Messages() { return m_messages; }

  // COM number of the selected tab; read by other threads.
  std::atomic<uint8_t> SelectedPort{0};
  // Modem bits of the selected port (bit 0 CTS, 1 DSR, 2 CD); 8 = not known yet.
  std::atomic<uint8_t> ModemStatus{8};

  // Function keys send user packets through this; by default the user
  // packet table's SendUserPacket.
  using UserPacketSender = std::function<void(int packet, uint8_t port)>;
  void SetUserPacketSender(UserPacketSender sender) { m_sendUserPacket = std::move(sender); }

  // The Play, Record and Stop buttons' shared click: starts playing or
  // recording, or stops, by which of them is down.
  void RecorderButtonClick();
  void bPauseClick(bool down);
  // Reads a project file: with a dialog when askForFile, else ConfigName
  // (or the name given). Then the trigger table, the first tab and the
  // options follow it.
  void ReadProject(bool askForFile, const std::string& name = {});
  // Asks whether to save a changed project, and saves it.
  void WriteProject();

  // Tells the user about something that went wrong without stopping them:
  // on standard error and in the status bar.
  void ReportProblem(const std::string& message);

  DisplayDrain& Drain() { return m_drain; }
  DisplayPaintBox* Display() const { return m_display; }
  MainToolBar* ToolBar() const { return m_toolBar; }
  TTabControlSmart* PortControlTab() const { return m_portTabs; }
  PortSetupPanel* PortSetup() const { return m_portSetup; }
  StatusPanels* StatusBar() const { return m_statusBar; }
  const UserSettings& Settings() const { return m_userSettings; }
  Recorder& GetRecorder() { return m_recorder; }
  UserPackets& GetUserPackets() { return m_userPackets; }
  ProjectState& Project() { return m_project; }
  const PlaySettings& GetPlaySettings() const { return m_playSettings; }
  void SetPlaySettings(const PlaySettings& settings);
  // COM number shown by each tab, by tab index.
  uint8_t TabPort(int index) const;
  // The settings file was found unwritable at start-up and the user told.
  bool SettingsProblemReported() const { return m_settingsProblemReported; }
  // Called after every timer tick with the records waiting when it began
  // and how long its work took, for measuring the window under load.
  using TickObserver = std::function<void(size_t queued, int64_t microseconds)>;
  void SetTickObserver(TickObserver observer) { m_tickObserver = std::move(observer); }

 public slots:
  void TimerTimer();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // DisplayListener: the window follows the newest line once per tick.
  void ScrollToEnd() override { m_scrollPending = true; }

  void BuildPortTabs();
  void ShowSelectedPort();
  void PortControlChange();
  void bDisableClick(bool down);
  void bClearClick();
  void PortControlTabDrawTab(QPainter& canvas, int index, const QRect& rect, bool active);
  void SwapTabData(int indexA, int indexB);
  void ApplyDisplayFont();
  // Both return true when the key was consumed.
  bool FormKeyDown(QKeyEvent* event);
  bool FormKeyPress(QKeyEvent* event);
  // True when the wheel event is used up.
  bool FormMouseWheel(QWidget* widget, QWheelEvent* event);
  void ShowNoPorts();
  void UpdateRecorderButtons();
  void ShowRecorderStatus();
  // Shows what worker threads and the recorder left for the user.
  void ShowPendingMessages();
  void ShowCaption();

  TWComms& m_comms;
  const DeviceOpener& m_map;
  SettingsStore& m_settings;
  CommandLine m_commandLine;
  UserSettings m_userSettings;
  WindowLayouts m_layouts;
  DisplayDrain m_drain;
  UserMessages m_messages;
  UserPackets m_userPackets;
  Recorder m_recorder;
  ProjectState m_project;
  PlaySettings m_playSettings;
  std::unique_ptr<TTxThread> m_txThread;

  MainToolBar* m_toolBar;
  TTabControlSmart* m_portTabs;
  PortSetupPanel* m_portSetup;
  DisplayPaintBox* m_display;
  StatusPanels* m_statusBar;
  QTimer m_timer;

  std::array<uint8_t, 128> m_tabPorts{};
  uint8_t m_shownModemBits = 0;
  unsigned m_tickCount = 0;
  bool m_scrollPending = false;
  bool m_started = false;
  bool m_startQueued = false;
  bool m_closed = false;
  bool m_settingsProblemReported = false;
  bool m_showingMessages = false;
  const QWheelEvent* m_lastWheel = nullptr;
  quint64 m_lastWheelTime = 0;
  int m_wheelRemainder = 0;
  UserPacketSender m_sendUserPacket;
  TickObserver m_tickObserver;
};

}  // namespace tapwise
