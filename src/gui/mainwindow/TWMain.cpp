#include "gui/mainwindow/TWMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QScrollArea>
#include <QVBoxLayout>

#include <cstdio>

#include "core/capture/TWComms.h"
#include "core/config/INIUnit.h"
#include "core/session/PortReport.h"
#include "gui/appearance/Appearance.h"
#include "gui/controls/AnsiText.h"
#include "gui/controls/TabControlSmart.h"
#include "gui/controls/WindowDialogs.h"
#include "gui/find/FindBar.h"
#include "gui/mainwindow/DisplayCommands.h"
#include "gui/mainwindow/DisplayPaintBox.h"
#include "gui/mainwindow/FilterControls.h"
#include "gui/mainwindow/MainKeys.h"
#include "gui/mainwindow/MainToolBar.h"
#include "gui/mainwindow/PortSetupPanel.h"
#include "gui/mainwindow/PortTabs.h"
#include "gui/mainwindow/ProjectCommands.h"
#include "gui/mainwindow/RecorderControls.h"
#include "gui/mainwindow/StatusPanels.h"
#include "gui/mainwindow/TickPacer.h"
#include "gui/mainwindow/ToolWindows.h"
#include "gui/mainwindow/TypedKeys.h"
#include "gui/options/Properties.h"
#include "gui/userpackets/UserPacketsForm.h"

namespace tapwise {

TTWForm::TTWForm(MonitorSession& session, SettingsStore& settings, MonitorOptions options,
                 WindowDialogs& dialogs, Appearance& appearance, QWidget* parent)
    : QMainWindow(parent),
      m_session(session),
      m_settings(settings),
      m_options(std::move(options)),
      m_dialogs(dialogs),
      m_appearance(appearance),
      m_messages(dialogs),
      m_project(session, dialogs, *this) {
  setObjectName("TWForm");
  setWindowTitle("Tapwise");
  m_session.Drain().SetListener(this);
  m_session.AddListener(*this);

  auto* client = new QWidget(this);
  auto* column = new QVBoxLayout(client);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  m_toolBar = new MainToolBar(client);
  column->addWidget(m_toolBar);

  m_ports = new PortTabs(session, client);
  column->addWidget(m_ports);

  m_display = new DisplayPaintBox(m_session.Drain(), client);
  column->addWidget(m_display->ScrollBox(), 1);
  m_ports->SetCaptionColours(*m_display);

  m_find = new FindBar(session, *m_display, appearance, client);
  column->addWidget(m_find);
  m_statusBar = new StatusPanels(client);
  column->addWidget(m_statusBar);
  connect(m_ports, &PortTabs::PortShown, m_statusBar, &StatusPanels::SetPort);
  setCentralWidget(client);
  resize(577, 324);
  setMinimumHeight(200);

  connect(m_toolBar->bDisableAll, &QToolButton::toggled, this,
          [this](bool down) { m_session.Drain().SetFrozen(down); });
  connect(m_toolBar->bClear, &QToolButton::clicked, this, &TTWForm::bClearClick);
  connect(m_toolBar->bFind, &QToolButton::clicked, m_find, &FindBar::Open);
  m_tools = std::make_unique<ToolWindows>(session, appearance, dialogs, *m_toolBar, *this, m_display->ContextMenu());
  connect(&m_tools->UserPackets(), &TUserPacketsForm::MessagesPosted, this, &TTWForm::ShowSessionMessages);
  connect(&appearance, &Appearance::FontChanged, this, &TTWForm::ApplyDisplayFont);
  connect(&appearance, &Appearance::TimeChanged, this, [this] {
    m_display->SetTimeStyle(m_appearance.Time());
    resize(m_display->WindowWidth(), height());
  });
  connect(&appearance, &Appearance::ColoursChanged, this, [this] {
    m_display->SetColours(m_appearance.Colours());
    m_ports->ColoursChanged();
  });
  new DisplayCommands(*m_display, session, m_messages, this);
  new FilterControls(session, m_tools->Filter(), *m_display, *m_statusBar, this);
  m_recorder = new RecorderControls(session.GetRecorder(), *m_toolBar, *m_statusBar, dialogs, *this);
  connect(m_toolBar->bOpenProject, &QToolButton::clicked, this, [this] {
    WriteProject();
    ReadProject(true);
  });
  m_sendUserPacket = [this](int packet, uint8_t port) { m_session.GetUserPackets().SendUserPacket(packet, port); };

  qApp->installEventFilter(this);
  m_pacer = new TickPacer(session, [this] { TimerTimer(); }, this);
}

TTWForm::~TTWForm() {
  qApp->removeEventFilter(this);
  m_session.RemoveListener(*this);
  m_session.Drain().SetListener(nullptr);
}

TTabControlSmart* TTWForm::PortControlTab() const { return m_ports->Tabs(); }
PortSetupPanel* TTWForm::PortSetup() const { return m_ports->Setup(); }
uint8_t TTWForm::TabPort(int index) const { return m_ports->TabPort(index); }

void TTWForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (m_started || m_startQueued) return;
  // After the window is on screen, so that a message about missing ports
  // has a window to come from.
  m_startQueued = true;
  QMetaObject::invokeMethod(this, [this] { FormShow(); }, Qt::QueuedConnection);
}

bool TTWForm::FormShow() {
  if (m_started) return m_ports->Count() > 0;
  m_started = true;

  m_userSettings = ReadUserSettings(m_settings);
  m_session.Project().SetConfigName(m_userSettings.ConfigName);
  m_session.GetRecorder().SetRecordName(m_userSettings.RecordName);
  m_session.GetRecorder().SetRecordType(m_userSettings.RecordType);
  m_session.History().SetLimits(m_userSettings.History);
  m_tools->Restore(m_settings, *this);
  // The display's colours, then its font (and the window's width).
  m_appearance.Load(m_userSettings);

  m_ports->RemoveAll();
  const Result started = m_session.Start(m_options);
  if (!m_session.Report().ProjectsRead.empty()) m_project.ShowCaption();
  m_display->LinesChanged();
  // What the project files had to say comes first.
  ShowSessionMessages();
  if (!started) {
    ShowStartFailure(started);
    return false;
  }
  m_ports->Build();
  m_tools->Properties().Load();
  m_recorder->ShowState();
  // What could not be used is worth a word, not a stop. Where the application
  // of each tap is to connect comes first: it cannot connect without it.
  const std::string unusable = m_session.Report().ProblemLine();
  if (!unusable.empty()) ReportProblem(unusable);
  if (const std::string taps = m_session.Report().TapLine(); !taps.empty()) {
    m_statusBar->SetStatus(PathToQString(taps + (unusable.empty() ? "" : "; " + unusable)), QColor(0, 0, 0));
  }

  // Find out now, while the user can still be told in the window, whether
  // the settings can be kept at all.
  if (const Result saved = m_settings.Save(); !saved) {
    ReportProblem("Settings will not be kept: " + saved.Message());
    m_settingsProblemReported = true;
  }

  m_pacer->Start();
  return true;
}

void TTWForm::ShowStartFailure(const Result& failure) {
  // The report of no ports begins with its own title; other failures (a bad
  // port option, a file to play or record that cannot be used) are errors of
  // the program.
  const bool noPorts = m_session.Report().NoPortsOpened;
  std::fprintf(stderr, "%s\n", noPorts ? "No COM Ports are Available" : ("tapwise: " + failure.Message()).c_str());
  m_dialogs.MsgError(noPorts ? failure.Message() : "\\1Error: " + failure.Message());
  const int status = failure.Code();
  QMetaObject::invokeMethod(qApp, [status] { QCoreApplication::exit(status); }, Qt::QueuedConnection);
}

void TTWForm::ReportProblem(const std::string& message) {
  std::fprintf(stderr, "tapwise: %s\n", message.c_str());
  m_statusBar->SetStatus(AnsiToQString(message), QColor(128, 0, 0));
}

void TTWForm::SessionChanged(SessionChange change) {
  // A new display mode has cleared the display.
  if (change == SessionChange::DisplayMode) m_display->LinesChanged();
}

void TTWForm::ReadProject(bool askForFile, const std::string& name) {
  if (m_project.Read(askForFile, name)) m_display->LinesChanged();
  m_tools->UserPackets().TableReloaded();
  // A file that could not be read has its message waiting.
  ShowSessionMessages();
  // Whatever was read, the tabs and the options follow.
  m_ports->SelectFirst();
  m_tools->Properties().Load();
}

void TTWForm::WriteProject() { m_project.Write(); }

void TTWForm::ShowSessionMessages() {
  m_messages.Add(m_session.Messages().TakeAll());
  m_messages.ShowAll();
}

void TTWForm::bClearClick() {
  m_session.Drain().Clear();
  m_display->LinesChanged();
}

void TTWForm::ApplyDisplayFont() {
  m_display->ApplyDisplayFont(AnsiToQString(m_appearance.FontName()), static_cast<int>(m_appearance.FontSize()));
  resize(m_display->WindowWidth(), height());
}

void TTWForm::SetTickObserver(TickObserver observer) { m_pacer->SetObserver(std::move(observer)); }

void TTWForm::TimerTimer() {
  m_recorder->FollowPause();
  TickEvents events = m_session.Tick();
  m_ports->ShowChanges(events.PortChanges);
  for (const PortEvent& change : events.PortChanges) {
    if (change.Change == PortChange::Refused) ReportProblem(PortEventLine(change, m_session.Opener()));
  }
  if (m_scrollPending) {
    m_scrollPending = false;
    m_display->ScrollToEnd();
  }
  const uint8_t modem = m_session.ModemStatus.load();
  if (modem != m_shownModemBits) {
    m_shownModemBits = modem;
    m_ports->Setup()->ShowModemLines(modem);
  }
  if (++m_tickCount % 10 == 0 || m_session.Asleep()) m_statusBar->update();
  m_recorder->ShowTick(events, m_messages);
  // A tap's device took the settings its application set.
  if (events.SettingsFollowed) m_ports->ShowSelectedPort();
  // Last, as a message box (an invalid packet data file) runs the timer on.
  m_messages.Add(std::move(events.Messages));
  m_messages.ShowAll();
}

bool TTWForm::eventFilter(QObject* watched, QEvent* event) {
  if (!watched->isWidgetType()) return false;
  auto* widget = static_cast<QWidget*>(watched);
  if (event->type() == QEvent::Wheel && widget->window() == this) {
    return m_display->ScrollForWindowWheel(widget, static_cast<QWheelEvent*>(event));
  }
  if (event->type() != QEvent::KeyPress || widget->window() != this) return false;
  // The event travels up the parents when a control ignores it; the window
  // looks at it once, at the control that has the focus.
  QWidget* focus = QApplication::focusWidget();
  if (focus ? widget != focus : widget != this) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  if (m_find->TakeKey(key)) return true;
  // What is typed into the find bar stays there; anywhere else it goes out.
  return FormKeyDown(key) || (!m_find->HasFocus(focus) && SendTypedKey(key, m_session));
}

bool TTWForm::FormKeyDown(QKeyEvent* event) {
  const MainKeyCommand command = DecodeMainKey(event->key(), event->modifiers());
  bool consumed = command.Consumed();
  switch (command.Action) {
    case MainKeyCommand::Close:
      // Nothing may follow the close: the recorder buttons below would
      // still see Record or Play down and ask for a new file.
      close();
      return true;
    case MainKeyCommand::UserPacket:
      if (m_sendUserPacket && m_session.SelectedPort.load() != 0) {
        m_sendUserPacket(command.Packet, m_session.SelectedPort.load());
      }
      break;
    case MainKeyCommand::Clear:
      bClearClick();
      break;
    default:
      consumed = m_toolBar->WorkButton(command.Action) && consumed;
      m_display->ScrollForKey(command.Action);
      break;
  }
  // Play, Record and Stop were put down above; whatever the letter, the
  // recorder follows the buttons.
  if (command.AltKey) m_recorder->ButtonClick();
  return consumed;
}

void TTWForm::closeEvent(QCloseEvent* event) {
  if (m_closed || !m_started || m_ports->Count() == 0) {
    event->accept();
    return;
  }
  m_closed = true;
  m_pacer->Stop();
  // The recording is closed whole, the playback thread stops, then the ports.
  m_session.Shutdown();
  m_recorder->Closed();
  m_tools->KeepMain(m_settings, *this);
  WriteProject();
  m_userSettings.ConfigName = m_session.Project().ConfigName();
  m_userSettings.RecordName = m_session.GetRecorder().RecordName();
  m_userSettings.RecordType = m_session.GetRecorder().RecordType();
  m_userSettings.History = m_session.History().Limits();
  m_appearance.Keep(m_userSettings);
  WriteUserSettings(m_settings, m_userSettings);
  m_tools->KeepTools(m_settings);
  event->accept();
}

}  // namespace tapwise
