#pragma once
// The main window: toolbar, one tab per present port with its line settings
// and modem indicators, the live display and the status bar. It presents a
// MonitorSession, runs its 50 ms timer pass, and it
// previews every key: typed characters go out on the selected port, function
// keys send user packets, Alt+letter works the toolbar, and the page and
// arrow keys scroll the display whatever control has the focus.
//
// Start-up runs once, when the window is first shown (the session's Start
// after the settings are read); shutdown runs when it closes. A port that
// appears later gets its tab at the timer pass that learns of it; one whose
// device has gone keeps its tab with the disabled glyph. The window makes its
// tool windows and owns them; a button whose window does not exist yet stays
// disabled.

#include <QMainWindow>
#include <QTimer>
#include <QWheelEvent>

#include <array>
#include <deque>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/config/UserSettings.h"
#include "core/config/WindowLayouts.h"
#include "core/display/DisplayListener.h"
#include "core/session/MonitorOptions.h"
#include "core/session/MonitorSession.h"
#include "core/session/SessionListener.h"

namespace tapwise {

struct ClipboardPacket;
class DisplayPaintBox;
class MainToolBar;
class PortSetupPanel;
class SettingsStore;
class StatusPanels;
class TAboutForm;
class TColoursForm;
class TPropertiesForm;
class TTabControlSmart;
class TUserPacketsForm;
class WindowDialogs;

class TTWForm : public QMainWindow, private DisplayListener, private SessionListener {
  Q_OBJECT
 public:
  // The session is started by FormShow with the options; dialogs and
  // message boxes go through dialogs. All three outlive the window.
  TTWForm(MonitorSession& session, SettingsStore& settings, MonitorOptions options, WindowDialogs& dialogs,
          QWidget* parent = nullptr);
  ~TTWForm() override;

  // Runs the start-up sequence now (normally queued by the first show).
  // False when the session did not start (no port opened, say): the user
  // has been told and the application asked to end with the session's
  // exit status.
  bool FormShow();

  // COM number of the selected tab (the session's); read by other threads.
  std::atomic<uint8_t>& SelectedPort;

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

  // The tool windows, shown from the toolbar (and so by Alt keys). The
  // Properties and Colours windows are placed from the settings at
  // start-up and their places kept at close; the Properties window is
  // loaded at the end of start-up and after every project read.
  TPropertiesForm* PropertiesForm() const { return m_propertiesForm; }
  TColoursForm* ColoursForm() const { return m_coloursForm; }
  TAboutForm* AboutForm() const { return m_aboutForm; }
  // The display font as the settings keep it (name and size), applied at
  // once; the window's width follows.
  void SetDisplayFont(const std::string& name, int32_t size);
  // The colours the display and the port tabs draw with, kept in the
  // settings at close. After a change, ColoursChanged repaints both.
  ColourTable& Colours() { return m_userSettings.Colours; }
  void ColoursChanged();

  // Tells the user about something that went wrong without stopping them:
  // on standard error and in the status bar.
  void ReportProblem(const std::string& message);

  MonitorSession& Session() { return m_session; }
  DisplayDrain& Drain() { return m_session.Drain(); }
  DisplayPaintBox* Display() const { return m_display; }
  MainToolBar* ToolBar() const { return m_toolBar; }
  TTabControlSmart* PortControlTab() const { return m_portTabs; }
  PortSetupPanel* PortSetup() const { return m_portSetup; }
  StatusPanels* StatusBar() const { return m_statusBar; }
  // The User Defined Packets window, a tool window of this one, shown by
  // bUserPackets and Alt+U; its placement is kept with this window's.
  TUserPacketsForm* UserPacketsForm() const { return m_userPacketsForm; }
  const UserSettings& Settings() const { return m_userSettings; }
  Recorder& GetRecorder() { return m_session.GetRecorder(); }
  UserPackets& GetUserPackets() { return m_session.GetUserPackets(); }
  ProjectState& Project() { return m_session.Project(); }
  const PlaySettings& GetPlaySettings() const { return m_session.GetPlaySettings(); }
  void SetPlaySettings(const PlaySettings& settings) { m_session.SetPlaySettings(settings); }
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
  void PacketShown() override { m_scrollPending = true; }
  // SessionListener: what an edit (here or in a tool window) changed.
  void SessionChanged(SessionChange change) override;

  void BuildPortTabs();
  // A tab for a present port, in ascending order of COM number.
  void AddPortTab(uint8_t port);
  int TabIndexOf(uint8_t port) const;
  // The path (and stable name) of a port, or that its device has gone.
  QString PortHint(uint8_t port) const;
  // Ports that came and went since the last tick: tabs, glyphs and hints.
  void ShowPortChanges(const std::vector<PortEvent>& changes);
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
  // The session did not start: tells the user and ends the program.
  void ShowStartFailure(const Result& failure);
  void UpdateRecorderButtons();
  void ShowRecorderStatus();
  // Presents what a timer pass found: buttons and status at once, message
  // boxes one after another.
  void ShowTickEvents(TickEvents events);
  void ShowPendingMessages();
  // What the session's parts posted, shown now.
  void ShowSessionMessages();
  void bUserPacketsClick();
  // The display's popup menu: the selected packet to the clipboard, the
  // clipboard or the selected packet out of the selected port.
  void mCopyClick();
  void mSendClick();
  void mSendHexClick();
  void mPlayThisPacketClick();
  void SendClipboardPacket(const ClipboardPacket& packet);
  void ShowCaption();
  void CreateToolWindows();
  void PlaceToolWindows();
  void KeepToolWindowPlacements();

  MonitorSession& m_session;
  SettingsStore& m_settings;
  MonitorOptions m_options;
  WindowDialogs& m_dialogs;
  UserSettings m_userSettings;
  WindowLayouts m_layouts;
  // Message boxes still to show; a box's own event loop runs the timer on.
  std::deque<std::string> m_pendingMessages;

  MainToolBar* m_toolBar;
  TTabControlSmart* m_portTabs;
  PortSetupPanel* m_portSetup;
  DisplayPaintBox* m_display;
  StatusPanels* m_statusBar;
  TColoursForm* m_coloursForm;
  TPropertiesForm* m_propertiesForm;
  TAboutForm* m_aboutForm;
  TUserPacketsForm* m_userPacketsForm;
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
