#include "gui/mainwindow/TWMain.h"

#include "core/capture/TWComms.h"
#include "core/config/INIUnit.h"
#include "core/recorder/RecordFormats.h"
#include "core/userpackets/ClipboardPacket.h"
#include "gui/mainwindow/DisplayPaintBox.h"
#include "gui/mainwindow/MainKeys.h"
#include "gui/mainwindow/MainToolBar.h"
#include "gui/mainwindow/PortSetupPanel.h"
#include "gui/mainwindow/StatusPanels.h"
#include "gui/about/AboutForm.h"
#include "gui/options/Colours.h"
#include "gui/options/Properties.h"
#include "gui/controls/AnsiText.h"
#include "gui/controls/WindowDialogs.h"
#include "gui/controls/TabControlSmart.h"
#include "gui/controls/ToolIcons.h"
#include "gui/userpackets/UserPacketsForm.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace tapwise {

namespace {

constexpr int TimerInterval = 50;


QColor Rgb(uint32_t rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb)); }

WindowPlacement PlacementOf(const QWidget& window) {
  return {window.x(), window.y(), window.width(), window.height()};
}

WindowShowState ShowStateOf(const QWidget& window) {
  if (window.isMinimized()) return WindowShowState::Minimised;
  if (window.isMaximized()) return WindowShowState::Maximised;
  return WindowShowState::Normal;
}

void ShowToolWindow(QWidget& window) {
  window.show();
  window.raise();
  window.activateWindow();
}

}  // namespace

TTWForm::TTWForm(MonitorSession& session, SettingsStore& settings, MonitorOptions options,
                 WindowDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent),
      SelectedPort(session.SelectedPort),
      m_session(session),
      m_settings(settings),
      m_options(std::move(options)),
      m_dialogs(dialogs) {
  setObjectName("TWForm");
  setWindowTitle("Tapwise");
  Drain().SetListener(this);
  m_session.AddListener(*this);

  auto* client = new QWidget(this);
  auto* column = new QVBoxLayout(client);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  m_toolBar = new MainToolBar(client);
  column->addWidget(m_toolBar);

  auto* tabArea = new QWidget(client);
  tabArea->setToolTip("Set Parameters for Selected COM port");
  auto* tabColumn = new QVBoxLayout(tabArea);
  tabColumn->setContentsMargins(2, 2, 2, 0);
  tabColumn->setSpacing(0);
  m_portTabs = new TTabControlSmart(tabArea);
  m_portTabs->setObjectName("PortControlTab");
  m_portTabs->SetTabHeight(20);
  m_portTabs->SetTabWidth(70);
  m_portTabs->SetImageWidth(18);
  m_portTabs->setFocusPolicy(Qt::ClickFocus);
  m_portTabs->SetOnDrawTab([this](QPainter& canvas, int index, const QRect& rect, bool active) {
    PortControlTabDrawTab(canvas, index, rect, active);
  });
  tabColumn->addWidget(m_portTabs);
  m_portSetup = new PortSetupPanel(tabArea);
  tabColumn->addWidget(m_portSetup);
  column->addWidget(tabArea);

  m_display = new DisplayPaintBox(Drain(), client);
  column->addWidget(m_display->ScrollBox(), 1);

  m_statusBar = new StatusPanels(client);
  column->addWidget(m_statusBar);
  setCentralWidget(client);
  resize(577, 324);
  setMinimumHeight(200);

  connect(m_toolBar->bDisableAll, &QToolButton::toggled, this,
          [this](bool down) { Drain().SetFrozen(down); });
  connect(m_toolBar->bClear, &QToolButton::clicked, this, &TTWForm::bClearClick);
  // A tool window's button stays disabled until the window is made.
  for (QToolButton* button : {m_toolBar->bProperties, m_toolBar->bUserPackets, m_toolBar->bHelp}) {
    button->setEnabled(false);
  }
  m_userPacketsForm = new TUserPacketsForm(session, dialogs, this);
  m_toolBar->bUserPackets->setEnabled(true);
  connect(m_toolBar->bUserPackets, &QToolButton::clicked, this, &TTWForm::bUserPacketsClick);
  connect(m_userPacketsForm, &TUserPacketsForm::MessagesPosted, this, &TTWForm::ShowSessionMessages);
  connect(m_display->mCopy, &QAction::triggered, this, &TTWForm::mCopyClick);
  connect(m_display->mSend, &QAction::triggered, this, &TTWForm::mSendClick);
  connect(m_display->mSendHex, &QAction::triggered, this, &TTWForm::mSendHexClick);
  connect(m_display->mPlayThisPacket, &QAction::triggered, this, &TTWForm::mPlayThisPacketClick);
  for (QToolButton* button : {m_toolBar->bPlay, m_toolBar->bRecord, m_toolBar->bStop}) {
    connect(button, &QToolButton::clicked, this, &TTWForm::RecorderButtonClick);
  }
  connect(m_toolBar->bPause, &QToolButton::clicked, this, &TTWForm::bPauseClick);
  connect(m_toolBar->bOpenProject, &QToolButton::clicked, this, [this] {
    WriteProject();
    ReadProject(true);
  });
  m_sendUserPacket = [this](int packet, uint8_t port) { GetUserPackets().SendUserPacket(packet, port); };

  connect(m_portTabs, &QTabBar::currentChanged, this, [this] { ShowSelectedPort(); });
  connect(m_portTabs, &TTabControlSmart::OnSwapData, this,
          [this](TTabControlSmart*, int a, int b) { SwapTabData(a, b); });
  connect(m_portSetup, &PortSetupPanel::Changed, this, &TTWForm::PortControlChange);
  connect(m_portSetup, &PortSetupPanel::DisableClicked, this, &TTWForm::bDisableClick);

  m_timer.setInterval(TimerInterval);
  connect(&m_timer, &QTimer::timeout, this, &TTWForm::TimerTimer);
  qApp->installEventFilter(this);
  CreateToolWindows();
}

TTWForm::~TTWForm() {
  qApp->removeEventFilter(this);
  m_session.RemoveListener(*this);
  Drain().SetListener(nullptr);
}

uint8_t TTWForm::TabPort(int index) const {
  if (index < 0 || index >= m_portTabs->count()) return 0;
  return m_tabPorts[static_cast<size_t>(index)];
}

void TTWForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (m_started || m_startQueued) return;
  // After the window is on screen, so that a message about missing ports
  // has a window to come from.
  m_startQueued = true;
  QMetaObject::invokeMethod(this, [this] { FormShow(); }, Qt::QueuedConnection);
}

bool TTWForm::FormShow() {
  if (m_started) return m_portTabs->count() > 0;
  m_started = true;

  m_userSettings = ReadUserSettings(m_settings);
  Project().SetConfigName(m_userSettings.ConfigName);
  GetRecorder().SetRecordName(m_userSettings.RecordName);
  GetRecorder().SetRecordType(m_userSettings.RecordType);
  m_layouts.Main.Placement = PlacementOf(*this);
  // Where each tool window was designed to be.
  m_layouts.UserPackets.Placement = PlacementOf(*m_userPacketsForm);
  m_layouts.Properties.Placement = PlacementOf(*m_propertiesForm);
  m_layouts.Colours.Placement = PlacementOf(*m_coloursForm);
  const QRect desktop = QGuiApplication::primaryScreen()
                            ? QGuiApplication::primaryScreen()->virtualGeometry()
                            : QRect(0, 0, 1024, 768);
  RestoreWindowLayouts(m_settings, m_layouts, desktop.width(), desktop.height());
  move(m_layouts.Main.Placement.Left, m_layouts.Main.Placement.Top);
  resize(m_layouts.Main.Placement.Width, m_layouts.Main.Placement.Height);
  PlaceToolWindows();
  m_userPacketsForm->move(m_layouts.UserPackets.Placement.Left, m_layouts.UserPackets.Placement.Top);
  m_userPacketsForm->resize(m_layouts.UserPackets.Placement.Width, m_layouts.UserPackets.Placement.Height);
  m_userPacketsForm->SetColumnWidths(m_layouts.UserPacketsGrid);
  m_display->SetColours(m_userSettings.Colours);
  ApplyDisplayFont();

  m_tickCount = 0;
  while (m_portTabs->count() > 0) m_portTabs->removeTab(0);
  const Result started = m_session.Start(m_options);
  if (!m_session.Report().ProjectsRead.empty()) ShowCaption();
  m_display->LinesChanged();
  // What the project files had to say comes first.
  for (std::string& text : m_session.Messages().TakeAll()) m_pendingMessages.push_back(std::move(text));
  ShowPendingMessages();
  if (!started) {
    ShowStartFailure(started);
    return false;
  }
  BuildPortTabs();
  m_propertiesForm->Load();
  m_toolBar->bPause->setChecked(GetRecorder().Paused());
  if (GetRecorder().State() != RecorderState::Idle) ShowRecorderStatus();
  UpdateRecorderButtons();
  // A project file or a port the user named that could not be used is
  // worth a word, not a stop.
  std::string unusable;
  for (const std::string& name : m_session.Report().ProjectsMissing) {
    unusable += (unusable.empty() ? "" : "; ") + ("no project file " + name);
  }
  for (const std::string& line : m_session.Report().UnusablePorts) {
    unusable += (unusable.empty() ? "" : "; ") + line;
  }
  if (!unusable.empty()) ReportProblem(unusable);
  // Where the application of each tap is to connect, until something else
  // takes the status bar.
  std::string taps;
  for (const std::string& line : m_session.Report().Taps) taps += (taps.empty() ? "" : "; ") + line;
  if (!taps.empty() && unusable.empty()) m_statusBar->SetStatus(PathToQString(taps), QColor(0, 0, 0));

  // Find out now, while the user can still be told in the window, whether
  // the settings can be kept at all.
  if (const Result saved = m_settings.Save(); !saved) {
    ReportProblem("Settings will not be kept: " + saved.Message());
    m_settingsProblemReported = true;
  }

  m_timer.start();
  return true;
}

void TTWForm::BuildPortTabs() {
  // The session has chosen the port (-select:, else the first) and the
  // playback thread already sends out of it. The first tab inserted becomes
  // the current one, and following that would move the selection, and with
  // it the playback, to another port even for a moment: the tab bar keeps
  // quiet until the chosen tab is current.
  const uint8_t chosen = SelectedPort.load();
  {
    const QSignalBlocker quiet(m_portTabs);
    for (uint8_t port : m_session.PresentPorts()) AddPortTab(port);
    m_portTabs->SetTabIndex(std::max(0, TabIndexOf(chosen)));
  }
  ShowSelectedPort();
}

void TTWForm::AddPortTab(uint8_t port) {
  const int count = m_portTabs->count();
  if (TabIndexOf(port) >= 0 || count >= static_cast<int>(m_tabPorts.size())) return;
  // Before the first higher number, wherever the user has dragged the others.
  int index = 0;
  while (index < count && TabPort(index) < port) ++index;
  // The numbers first: inserting may announce a new current tab.
  std::copy_backward(m_tabPorts.begin() + index, m_tabPorts.begin() + count, m_tabPorts.begin() + count + 1);
  m_tabPorts[static_cast<size_t>(index)] = port;
  // The number stays the port's identity; a name the user gave goes beside it.
  const std::string& name = m_session.Comms().PortName(port);
  // Names come from the command line or a project as the user typed them (UTF-8).
  QString caption = AnsiToQString(ComName(port));
  if (!name.empty()) caption += " " + QString::fromStdString(name);
  m_portTabs->insertTab(index, caption);
  m_portTabs->setTabToolTip(index, PortHint(port));
}

int TTWForm::TabIndexOf(uint8_t port) const {
  for (int index = 0; index < m_portTabs->count(); ++index) {
    if (TabPort(index) == port) return index;
  }
  return -1;
}

QString TTWForm::PortHint(uint8_t port) const {
  if (m_session.Comms().IsPortGone(port)) return "COM" + QString::number(port) + ": device gone";
  QString hint = QString::fromStdString(m_session.PortDescription(port));
  const std::string stable = m_session.Opener().StableName(port);
  if (!stable.empty()) hint += "\n" + QString::fromStdString(stable);
  return hint;
}

void TTWForm::ShowPortChanges(const std::vector<PortEvent>& changes) {
  if (changes.empty()) return;
  for (const PortEvent& change : changes) {
    if (change.Change == PortChange::New) AddPortTab(change.Port);
    const int index = TabIndexOf(change.Port);
    if (index >= 0) m_portTabs->setTabToolTip(index, PortHint(change.Port));
  }
  m_portTabs->update();
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

void TTWForm::ShowSelectedPort() {
  const uint8_t port = TabPort(m_portTabs->currentIndex());
  SelectedPort.store(port);
  if (port == 0) return;
  const TWComms& comms = m_session.Comms();
  m_portSetup->Load(comms.GetPortSettings(port), comms.IsPortEnabled(port));
}

void TTWForm::PortControlChange() {
  const uint8_t port = SelectedPort.load();
  if (port == 0) return;
  const PortSettings current = m_session.Comms().GetPortSettings(port);
  m_session.SetPortSettings(port, m_portSetup->Read(current.BaudRate));
}

void TTWForm::SessionChanged(SessionChange change) {
  // A new display mode has cleared the display.
  if (change == SessionChange::DisplayMode) m_display->LinesChanged();
}

void TTWForm::ShowRecorderStatus() {
  // Plain words around a file name, which is in the system's encoding.
  m_statusBar->SetStatus(PathToQString(GetRecorder().StatusText()), Rgb(GetRecorder().StatusColour()));
}

void TTWForm::UpdateRecorderButtons() {
  const RecorderState state = GetRecorder().State();
  m_toolBar->bRecord->setEnabled(GetRecorder().RecordEnabled());
  m_toolBar->bPlay->setEnabled(GetRecorder().PlayEnabled());
  // The button that is down says what the recorder does, whoever started
  // it (the command line, a button, a project): every Alt key applies the
  // buttons to the recorder, and Stop left down over a playback that the
  // command line started would stop it.
  QToolButton* down = m_toolBar->bStop;
  if (IsPlayingState(state)) down = m_toolBar->bPlay;
  if (IsRecordingState(state)) down = m_toolBar->bRecord;
  down->setChecked(true);
}

void TTWForm::RecorderButtonClick() {
  // Once closed, the recorder has been stopped for good: a late click or key
  // must not start another file (and truncate the one just recorded).
  if (m_closed) return;
  if (GetRecorder().State() == RecorderState::Idle) {
    if (m_toolBar->bRecord->isChecked()) {
      const auto chosen = m_dialogs.AskForFile(this, {true, "Record: Select File", DialogFilter(true),
                                            GetRecorder().RecordName(), GetRecorder().RecordType()});
      if (chosen) {
        if (GetRecorder().StartRecording(chosen->Path, chosen->FilterIndex)) {
          ShowRecorderStatus();
        } else {
          m_dialogs.MsgError(FileNotOpenedText);
        }
      }
    }
    if (m_toolBar->bPlay->isChecked()) {
      const auto chosen = m_dialogs.AskForFile(this, {false, "Play: Select File", DialogFilter(false),
                                            GetRecorder().RecordName(), GetRecorder().RecordType()});
      if (chosen) {
        // The Play button says nothing of a file that does not open: it
        // plays as an empty one, which ends at once.
        (void)GetRecorder().StartPlaying(chosen->Path, chosen->FilterIndex);
        // In one-shot mode nothing goes out until Pause is released.
        m_toolBar->bPause->setChecked(GetRecorder().Paused());
        ShowRecorderStatus();
      }
    }
  } else if (m_toolBar->bStop->isChecked()) {
    GetRecorder().Stop();
    ShowRecorderStatus();
  }
  UpdateRecorderButtons();
}

void TTWForm::bPauseClick(bool down) {
  GetRecorder().PauseClick(down);
}

void TTWForm::ShowCaption() {
  // One project at a time: the suffix names the project last read.
  QString caption = "Tapwise";
  if (!Project().ConfigName().empty()) {
    caption += " - " + PathToQString(Project().ConfigName());
  }
  setWindowTitle(caption);
}

void TTWForm::ReadProject(bool askForFile, const std::string& name) {
  std::string chosen = name;
  bool cancelled = false;
  if (askForFile) {
    const auto answer = m_dialogs.AskForFile(this, {false, std::string(ReadProjectDialogTitle),
                                                    std::string(ProjectFileFilter), Project().DialogFileName(), 1});
    cancelled = !answer;
    if (answer) chosen = answer->Path;
  }
  if (cancelled) {
    m_session.DiscardProjectChanges();
  } else if (m_session.ReadProject(chosen).Read()) {
    m_display->LinesChanged();
    ShowCaption();
  }
  m_userPacketsForm->TableReloaded();
  // A file that could not be read has its message waiting.
  for (std::string& text : m_session.Messages().TakeAll()) m_pendingMessages.push_back(std::move(text));
  ShowPendingMessages();
  // Whatever was read, the tabs and the options follow.
  if (m_portTabs->count() > 0) {
    m_portTabs->SetTabIndex(0);
    ShowSelectedPort();
  }
  m_propertiesForm->Load();
}

void TTWForm::WriteProject() {
  if (!Project().ConfigChanged()) return;
  if (!m_dialogs.MsgYesNo(SaveChangesQuestion)) return;
  const auto chosen = m_dialogs.AskForFile(this, {true, std::string(WriteProjectDialogTitle),
                                                  std::string(ProjectFileFilter), Project().DialogFileName(), 1});
  if (!chosen) return;
  if (const Result written = m_session.WriteProject(chosen->Path); !written) {
    m_dialogs.MsgError(written.Message());
  } else {
    ShowCaption();
  }
}

void TTWForm::ShowTickEvents(TickEvents events) {
  if (events.RecordingFailed) {
    UpdateRecorderButtons();
    m_statusBar->SetStatus(PathToQString(events.RecordingFailed->Text), QColor(128, 0, 0));
    std::fprintf(stderr, "tapwise: %s\n", events.RecordingFailed->Text.c_str());
    m_pendingMessages.push_back(events.RecordingFailed->Markup);
  }
  if (events.PlayFileError) {
    UpdateRecorderButtons();
    ShowRecorderStatus();
    m_pendingMessages.push_back(InvalidPacketDataFileText);
  }
  if (events.PlaybackFinished) {
    // As the Stop button does.
    ShowRecorderStatus();
    UpdateRecorderButtons();
  }
  // A tap's device took the settings its application set.
  if (events.SettingsFollowed) ShowSelectedPort();
  for (std::string& text : events.Messages) m_pendingMessages.push_back(std::move(text));
  ShowPendingMessages();
}

void TTWForm::ShowPendingMessages() {
  // A message box runs its own event loop, in which this timer goes on; the
  // messages that come meanwhile are shown when this one is closed.
  if (m_showingMessages) return;
  m_showingMessages = true;
  while (!m_pendingMessages.empty()) {
    const std::string text = std::move(m_pendingMessages.front());
    m_pendingMessages.pop_front();
    m_dialogs.MsgError(text);
  }
  m_showingMessages = false;
}

void TTWForm::ShowSessionMessages() {
  for (std::string& text : m_session.Messages().TakeAll()) m_pendingMessages.push_back(std::move(text));
  ShowPendingMessages();
}

void TTWForm::bUserPacketsClick() {
  m_userPacketsForm->show();
  m_userPacketsForm->raise();
  m_userPacketsForm->activateWindow();
}

void TTWForm::mCopyClick() {
  QGuiApplication::clipboard()->setText(AnsiToQString(m_display->Selection().SelectedPacketText()));
}

void TTWForm::mSendClick() { SendClipboardPacket(ReadRawPacket(QStringToAnsi(QGuiApplication::clipboard()->text()))); }

void TTWForm::mSendHexClick() {
  SendClipboardPacket(ReadHexOrRaw(QStringToAnsi(QGuiApplication::clipboard()->text()), Drain().HexDisplay()));
}

void TTWForm::mPlayThisPacketClick() {
  SendClipboardPacket(ReadHexOrRaw(m_display->Selection().SelectedPacketText(), Drain().HexDisplay()));
}

void TTWForm::SendClipboardPacket(const ClipboardPacket& packet) {
  if (packet.InvalidHex) {
    m_pendingMessages.emplace_back(InvalidHexDataMessage);
    ShowPendingMessages();
    return;
  }
  const uint8_t port = SelectedPort.load();
  if (packet.Bytes.empty() || port == 0) return;
  m_session.Comms().WritePacket(port, packet.Bytes.data(), static_cast<uint16_t>(packet.Bytes.size()));
}

void TTWForm::bDisableClick(bool down) {
  const uint8_t port = SelectedPort.load();
  if (port == 0) return;
  m_session.Comms().SetPortEnabled(port, !down);
  m_portSetup->Load(m_session.Comms().GetPortSettings(port), m_session.Comms().IsPortEnabled(port));
  m_portTabs->update();
}

void TTWForm::bClearClick() {
  Drain().Clear();
  m_display->LinesChanged();
}

void TTWForm::PortControlTabDrawTab(QPainter& canvas, int index, const QRect& rect, bool) {
  const uint8_t port = TabPort(index);
  const bool enabled = m_session.Comms().IsPortEnabled(port) && !m_session.Comms().IsPortGone(port);
  canvas.drawPixmap(rect.left() + 2, rect.top() + 2,
                    DrawToolIcon(enabled ? ToolIcon::PortEnabled : ToolIcon::PortDisabled));
  QFont bold = font();
  bold.setBold(true);
  canvas.setFont(bold);
  canvas.setPen(m_display->PortColour(port));
  canvas.drawText(QPoint(rect.left() + 18, rect.top() + 4 + QFontMetrics(bold).ascent()),
                  m_portTabs->tabText(index));
}

void TTWForm::SwapTabData(int indexA, int indexB) {
  std::swap(m_tabPorts[static_cast<size_t>(indexA)], m_tabPorts[static_cast<size_t>(indexB)]);
  const QString hint = m_portTabs->tabToolTip(indexA);
  m_portTabs->setTabToolTip(indexA, m_portTabs->tabToolTip(indexB));
  m_portTabs->setTabToolTip(indexB, hint);
}

void TTWForm::CreateToolWindows() {
  // In the order the program makes them.
  m_coloursForm = new TColoursForm(*this, m_dialogs, this);
  m_propertiesForm = new TPropertiesForm(m_session, *this, *m_coloursForm, m_dialogs, this);
  m_aboutForm = new TAboutForm(this);
  for (QToolButton* button : {m_toolBar->bProperties, m_toolBar->bHelp}) button->setEnabled(true);
  connect(m_toolBar->bProperties, &QToolButton::clicked, this, [this] { ShowToolWindow(*m_propertiesForm); });
  // Not modal here: the box stays up beside the window until closed.
  connect(m_toolBar->bHelp, &QToolButton::clicked, this, [this] { ShowToolWindow(*m_aboutForm); });
}

void TTWForm::PlaceToolWindows() {
  // The Properties window cannot be resized: only its place is kept.
  m_propertiesForm->move(m_layouts.Properties.Placement.Left, m_layouts.Properties.Placement.Top);
  const WindowPlacement& place = m_layouts.Colours.Placement;
  m_coloursForm->move(place.Left, place.Top);
  m_coloursForm->resize(place.Width, place.Height);
}

void TTWForm::KeepToolWindowPlacements() {
  m_layouts.Properties.Placement = PlacementOf(*m_propertiesForm);
  m_layouts.Colours.Placement = PlacementOf(*m_coloursForm);
}

void TTWForm::SetDisplayFont(const std::string& name, int32_t size) {
  m_userSettings.FontName = name;
  m_userSettings.FontSize = size;
  ApplyDisplayFont();
}

void TTWForm::ColoursChanged() {
  m_display->SetColours(m_userSettings.Colours);
  m_portTabs->update();
}

void TTWForm::ApplyDisplayFont() {
  m_display->ApplyDisplayFont(AnsiToQString(m_userSettings.FontName),
                              static_cast<int>(m_userSettings.FontSize));
  // The window's width follows the font: 80 columns, the scroll bar and frame.
  resize(80 * m_display->CharWidth() + 2 * DisplayPaintBox::ScrollBarWidth + 4, height());
}

void TTWForm::TimerTimer() {
  const auto start = std::chrono::steady_clock::now();
  const size_t queued = m_tickObserver ? m_session.Comms().Queue().Count() : 0;
  m_toolBar->bPause->setChecked(GetRecorder().Paused());
  TickEvents events = m_session.Tick();
  ShowPortChanges(events.PortChanges);
  if (m_scrollPending) {
    m_scrollPending = false;
    m_display->ScrollToEnd();
  }
  const uint8_t modem = m_session.ModemStatus.load();
  if (modem != m_shownModemBits) {
    m_shownModemBits = modem;
    m_portSetup->ShowModemLines(modem);
  }
  if (++m_tickCount % 10 == 0) m_statusBar->update();
  if (IsPlayingState(GetRecorder().State())) m_statusBar->SetProgress(GetRecorder().Progress());
  // Last, as it may show a message box (an invalid packet data file).
  ShowTickEvents(std::move(events));
  if (m_tickObserver) {
    m_tickObserver(queued, std::chrono::duration_cast<std::chrono::microseconds>(
                               std::chrono::steady_clock::now() - start)
                               .count());
  }
}

bool TTWForm::eventFilter(QObject* watched, QEvent* event) {
  if (!watched->isWidgetType()) return false;
  auto* widget = static_cast<QWidget*>(watched);
  if (event->type() == QEvent::Wheel && widget->window() == this) {
    return FormMouseWheel(widget, static_cast<QWheelEvent*>(event));
  }
  if (event->type() != QEvent::KeyPress || widget->window() != this) return false;
  // The event travels up the parents when a control ignores it; the window
  // looks at it once, at the control that has the focus.
  QWidget* focus = QApplication::focusWidget();
  if (focus ? widget != focus : widget != this) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  return FormKeyDown(key) || FormKeyPress(key);
}

bool TTWForm::FormMouseWheel(QWidget* widget, QWheelEvent* event) {
  // An ignored wheel event climbs the parents; act on its first delivery only.
  if (event == m_lastWheel && event->timestamp() == m_lastWheelTime) return false;
  m_lastWheel = event;
  m_lastWheelTime = event->timestamp();
  m_wheelRemainder += event->angleDelta().y();
  const int notches = m_wheelRemainder / QWheelEvent::DefaultDeltasPerStep;
  m_wheelRemainder -= notches * QWheelEvent::DefaultDeltasPerStep;
  // One line per notch wherever the pointer is. Over the display that is
  // all the wheel does; elsewhere the control under it still gets it.
  m_display->ScrollBy(-notches * m_display->LineHeight());
  QScrollArea* box = m_display->ScrollBox();
  return widget == m_display || widget == box || widget == box->viewport() ||
         box->isAncestorOf(widget);
}

bool TTWForm::FormKeyDown(QKeyEvent* event) {
  const MainKeyCommand command = DecodeMainKey(event->key(), event->modifiers());
  QScrollBar* bar = m_display->ScrollBox()->verticalScrollBar();
  const int page = m_display->ScrollBox()->viewport()->height();
  bool consumed = command.Consumed();
  auto pressIfEnabled = [&consumed](QToolButton* button) {
    if (button->isEnabled()) {
      button->setChecked(true);
    } else {
      consumed = false;
    }
  };
  switch (command.Action) {
    case MainKeyCommand::None:
    case MainKeyCommand::Swallow:
      break;
    case MainKeyCommand::Close:
      // Nothing may follow the close: the recorder buttons below would
      // still see Record or Play down and ask for a new file.
      close();
      return true;
    case MainKeyCommand::UserPacket:
      if (m_sendUserPacket && SelectedPort.load() != 0) m_sendUserPacket(command.Packet, SelectedPort.load());
      break;
    case MainKeyCommand::Freeze:
      m_toolBar->bDisableAll->toggle();
      break;
    case MainKeyCommand::Clear:
      bClearClick();
      break;
    case MainKeyCommand::Play:
      pressIfEnabled(m_toolBar->bPlay);
      break;
    case MainKeyCommand::Record:
      pressIfEnabled(m_toolBar->bRecord);
      break;
    case MainKeyCommand::Stop:
      pressIfEnabled(m_toolBar->bStop);
      break;
    case MainKeyCommand::Pause:
      if (m_toolBar->bPause->isEnabled()) {
        m_toolBar->bPause->click();
      } else {
        consumed = false;
      }
      break;
    case MainKeyCommand::UserPacketsWindow:
      m_toolBar->bUserPackets->click();
      break;
    case MainKeyCommand::Options:
      m_toolBar->bProperties->click();
      break;
    case MainKeyCommand::About:
      m_toolBar->bHelp->click();
      break;
    case MainKeyCommand::PageDown:
      bar->setValue(bar->value() + page);
      break;
    case MainKeyCommand::PageUp:
      bar->setValue(bar->value() - page);
      break;
    case MainKeyCommand::LineDown:
      bar->setValue(bar->value() + m_display->LineHeight());
      break;
    case MainKeyCommand::LineUp:
      bar->setValue(bar->value() - m_display->LineHeight());
      break;
  }
  // Play, Record and Stop were put down above; whatever the letter, the
  // recorder follows the buttons.
  if (command.AltKey) RecorderButtonClick();
  return consumed;
}

bool TTWForm::FormKeyPress(QKeyEvent* event) {
  // Alt+letter belongs to the toolbar and never reaches the port; Tab moves
  // between the controls; Delete is an editing key, not a character.
  if (event->modifiers() & (Qt::AltModifier | Qt::MetaModifier)) return false;
  if (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab ||
      event->key() == Qt::Key_Delete) {
    return false;
  }
  const QString text = event->text();
  if (text.isEmpty()) return false;
  const uint8_t port = SelectedPort.load();
  for (char byte : QStringToAnsi(text)) {
    if (port != 0) m_session.Comms().WritePacket(port, reinterpret_cast<const uint8_t*>(&byte), 1);
  }
  return true;
}

void TTWForm::closeEvent(QCloseEvent* event) {
  if (m_closed || !m_started || m_portTabs->count() == 0) {
    event->accept();
    return;
  }
  m_closed = true;
  m_timer.stop();
  // The recording is closed whole, the playback thread stops, then the ports.
  m_session.Shutdown();
  UpdateRecorderButtons();
  m_layouts.Main.Placement = PlacementOf(*this);
  m_layouts.Main.State = ShowStateOf(*this);
  SaveMainWindowLayout(m_settings, m_layouts);
  WriteProject();
  m_userSettings.ConfigName = Project().ConfigName();
  m_userSettings.RecordName = GetRecorder().RecordName();
  m_userSettings.RecordType = GetRecorder().RecordType();
  WriteUserSettings(m_settings, m_userSettings);
  KeepToolWindowPlacements();
  m_layouts.UserPackets.Placement = PlacementOf(*m_userPacketsForm);
  m_layouts.UserPackets.State = ShowStateOf(*m_userPacketsForm);
  m_layouts.UserPacketsGrid = m_userPacketsForm->ColumnWidths();
  m_userPacketsForm->hide();
  SaveToolWindowLayouts(m_settings, m_layouts);
  event->accept();
}

}  // namespace tapwise
