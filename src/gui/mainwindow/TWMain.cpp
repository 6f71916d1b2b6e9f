#include "gui/mainwindow/TWMain.h"

#include "core/session/PortReport.h"
#include "core/capture/TWComms.h"
#include "core/config/INIUnit.h"
#include "core/session/ProjectApply.h"
#include "core/recorder/TxThread.h"
#include "gui/mainwindow/DisplayPaintBox.h"
#include "gui/mainwindow/MainKeys.h"
#include "gui/mainwindow/MainToolBar.h"
#include "gui/mainwindow/PortSetupPanel.h"
#include "gui/mainwindow/StatusPanels.h"
#include "gui/controls/AnsiText.h"
#include "gui/controls/FileDialogs.h"
#include "gui/controls/MessageBox.h"
#include "gui/controls/TabControlSmart.h"
#include "gui/controls/ToolIcons.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <chrono>
#include <cstdio>

namespace tapwise {

namespace {

constexpr int TimerInterval = 50;

const char* const RecordFilter =
    "Packet Data File  (*.DAT)|*.dat|Raw Data File  (*.*)|*.*|pcapng Files (*.pcapng)|*.pcapng";
const char* const PlayFilter =
    "Packet Data File  (*.DAT)|*.dat|Hex Data File  (*.*)|*.*|Raw Data File  (*.*)|*.*";

QColor Rgb(uint32_t rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb)); }

WindowPlacement PlacementOf(const QWidget& window) {
  return {window.x(), window.y(), window.width(), window.height()};
}

WindowShowState ShowStateOf(const QWidget& window) {
  if (window.isMinimized()) return WindowShowState::Minimised;
  if (window.isMaximized()) return WindowShowState::Maximised;
  return WindowShowState::Normal;
}

}  // namespace

TTWForm::TTWForm(TWComms& comms, const DeviceOpener& map, SettingsStore& settings,
                 CommandLine commandLine, QWidget* parent)
    : QMainWindow(parent),
      m_comms(comms),
      m_map(map),
      m_settings(settings),
      m_commandLine(std::move(commandLine)),
      m_drain(comms),
      m_userPackets(comms, SelectedPort, m_messages) {
  setObjectName("TWForm");
  setWindowTitle("Tapwise");
  m_drain.SetListener(this);
  m_drain.SetRecordingHook(&m_recorder);
  // A pcapng recording describes each port by its device, and takes its
  // link type from the command line as the headless monitor does.
  m_recorder.SetLinkType(static_cast<uint16_t>(m_commandLine.LinkType));
  m_recorder.SetPortDescriber([this](uint8_t port) { return m_map.Describe(port); });
  m_comms.SetTriggerStep(&m_userPackets);

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

  m_display = new DisplayPaintBox(m_drain, client);
  column->addWidget(m_display->ScrollBox(), 1);

  m_statusBar = new StatusPanels(client);
  column->addWidget(m_statusBar);
  setCentralWidget(client);
  resize(577, 324);
  setMinimumHeight(200);

  connect(m_toolBar->bDisableAll, &QToolButton::toggled, this,
          [this](bool down) { m_drain.SetFrozen(down); });
  connect(m_toolBar->bClear, &QToolButton::clicked, this, &TTWForm::bClearClick);
  // The tool windows attach later; their buttons stay disabled until then.
  for (QToolButton* button : {m_toolBar->bProperties, m_toolBar->bUserPackets, m_toolBar->bHelp}) {
    button->setEnabled(false);
  }
  for (QToolButton* button : {m_toolBar->bPlay, m_toolBar->bRecord, m_toolBar->bStop}) {
    connect(button, &QToolButton::clicked, this, &TTWForm::RecorderButtonClick);
  }
  connect(m_toolBar->bPause, &QToolButton::clicked, this, &TTWForm::bPauseClick);
  connect(m_toolBar->bOpenProject, &QToolButton::clicked, this, [this] {
    WriteProject();
    ReadProject(true);
  });
  m_sendUserPacket = [this](int packet, uint8_t port) { m_userPackets.SendUserPacket(packet, port); };

  connect(m_portTabs, &QTabBar::currentChanged, this, [this] { ShowSelectedPort(); });
  connect(m_portTabs, &TTabControlSmart::OnSwapData, this,
          [this](TTabControlSmart*, int a, int b) { SwapTabData(a, b); });
  connect(m_portSetup, &PortSetupPanel::Changed, this, &TTWForm::PortControlChange);
  connect(m_portSetup, &PortSetupPanel::DisableClicked, this, &TTWForm::bDisableClick);

  m_timer.setInterval(TimerInterval);
  connect(&m_timer, &QTimer::timeout, this, &TTWForm::TimerTimer);
  qApp->installEventFilter(this);

  m_txThread = std::make_unique<TTxThread>(m_recorder, comms, SelectedPort, ModemStatus);
}

TTWForm::~TTWForm() {
  qApp->removeEventFilter(this);
  // The receive threads answer triggers through the user packets, which go
  // with this window: the ports must be down first.
  m_comms.DestroyPorts();
  m_comms.SetTriggerStep(nullptr);
  m_txThread->Stop();
  m_txThread.reset();
  m_recorder.Stop();
  m_drain.SetRecordingHook(nullptr);
  m_drain.SetListener(nullptr);
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
  m_project.SetConfigName(m_userSettings.ConfigName);
  m_recorder.SetRecordName(m_userSettings.RecordName);
  m_recorder.SetRecordType(m_userSettings.RecordType);
  m_layouts.Main.Placement = PlacementOf(*this);
  // The tool windows' designed places, until those windows exist.
  m_layouts.UserPackets.Placement = {120, 120, 540, 420};
  m_layouts.Properties.Placement = {140, 140, 330, 320};
  m_layouts.Colours.Placement = {160, 160, 280, 460};
  const QRect desktop = QGuiApplication::primaryScreen()
                            ? QGuiApplication::primaryScreen()->virtualGeometry()
                            : QRect(0, 0, 1024, 768);
  RestoreWindowLayouts(m_settings, m_layouts, desktop.width(), desktop.height());
  move(m_layouts.Main.Placement.Left, m_layouts.Main.Placement.Top);
  resize(m_layouts.Main.Placement.Width, m_layouts.Main.Placement.Height);
  m_display->SetColours(m_userSettings.Colours);
  ApplyDisplayFont();

  for (int n = 1; n <= MaxComPorts; ++n) m_comms.SetPortSettings(static_cast<uint8_t>(n), PortSettings{});
  m_drain.SetHexDisplay(true);
  PlaySettings play;
  play.Repeat = m_playSettings.Repeat;  // kept from program start, as PacketGap is
  SetPlaySettings(play);
  m_userPackets.Table().Clear();

  m_comms.NoHandshake.store(m_commandLine.NoHandshake ? 1 : 0);
  // Until the User Defined Packets window has its check boxes, the command
  // line can switch triggers on (-trigger, -triggerpart) as it does headless.
  m_userPackets.SetTriggerMode(m_commandLine.Triggers);
  // Before the ports open, so that they open with the project's settings.
  for (const std::string& project : m_commandLine.ProjectFiles) ReadProject(false, project);

  ModemStatus.store(8);
  m_tickCount = 0;
  m_drain.Clear();
  m_display->LinesChanged();
  while (m_portTabs->count() > 0) m_portTabs->removeTab(0);

  m_comms.CreatePorts();
  BuildPortTabs();
  if (m_portTabs->count() == 0) {
    ShowNoPorts();
    return false;
  }
  m_portTabs->SetTabIndex(0);
  ShowSelectedPort();
  // A port the user named that did not open is worth a word, not a stop.
  std::string unusable;
  for (const std::string& line : UnusableMappedPorts(m_comms, m_map)) {
    unusable += (unusable.empty() ? "" : "; ") + line;
  }
  if (!unusable.empty()) ReportProblem(unusable);

  // Find out now, while the user can still be told in the window, whether
  // the settings can be kept at all.
  const std::string problem = m_settings.Save();
  if (!problem.empty()) {
    ReportProblem("Settings will not be kept: " + problem);
    m_settingsProblemReported = true;
  }

  m_timer.start();
  return true;
}

void TTWForm::BuildPortTabs() {
  for (int n = 1; n <= MaxComPorts; ++n) {
    const auto port = static_cast<uint8_t>(n);
    if (!m_comms.IsPortPresent(port)) continue;
    const int index = m_portTabs->count();
    m_tabPorts[static_cast<size_t>(index)] = port;
    m_portTabs->addTab("COM" + QString::number(n));
    m_portTabs->setTabToolTip(index, QString::fromStdString(m_map.Describe(port)));
  }
}

void TTWForm::ShowNoPorts() {
  std::fprintf(stderr, "No COM Ports are Available\n");
  MsgError(NoPortsReport(m_comms, m_map));
  QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
}

void TTWForm::ReportProblem(const std::string& message) {
  std::fprintf(stderr, "tapwise: %s\n", message.c_str());
  m_statusBar->SetStatus(AnsiToQString(message), QColor(128, 0, 0));
}

void TTWForm::ShowSelectedPort() {
  const uint8_t port = TabPort(m_portTabs->currentIndex());
  SelectedPort.store(port);
  if (port == 0) return;
  m_portSetup->Load(m_comms.GetPortSettings(port), m_comms.IsPortEnabled(port));
}

void TTWForm::PortControlChange() {
  const uint8_t port = SelectedPort.load();
  if (port == 0) return;
  const PortSettings current = m_comms.GetPortSettings(port);
  m_comms.SetPortSettings(port, m_portSetup->Read(current.BaudRate));
  m_comms.ApplyPortSettings(port);
  m_project.SetConfigChanged();
}

void TTWForm::SetPlaySettings(const PlaySettings& settings) {
  m_playSettings = settings;
  m_recorder.SetPlaySettings(settings);
}

void TTWForm::ShowRecorderStatus() {
  m_statusBar->SetStatus(QString::fromLocal8Bit(m_recorder.StatusText()), Rgb(m_recorder.StatusColour()));
}

void TTWForm::UpdateRecorderButtons() {
  m_toolBar->bRecord->setEnabled(m_recorder.RecordEnabled());
  m_toolBar->bPlay->setEnabled(m_recorder.PlayEnabled());
  if (m_recorder.StopDown()) m_toolBar->bStop->setChecked(true);
}

void TTWForm::RecorderButtonClick() {
  // Once closed, the recorder has been stopped for good: a late click or key
  // must not start another file (and truncate the one just recorded).
  if (m_closed) return;
  if (m_recorder.State() == RecorderState::Idle) {
    if (m_toolBar->bRecord->isChecked()) {
      const auto chosen = AskForFile(this, {true, "Record: Select File", RecordFilter,
                                            m_recorder.RecordName(), m_recorder.RecordType()});
      if (chosen) {
        const StartResult result = m_recorder.StartRecording(chosen->Path, chosen->FilterIndex);
        if (result.Ok) {
          ShowRecorderStatus();
        } else {
          MsgError(result.Message);
        }
      }
    }
    if (m_toolBar->bPlay->isChecked()) {
      const auto chosen = AskForFile(this, {false, "Play: Select File", PlayFilter,
                                            m_recorder.RecordName(), m_recorder.RecordType()});
      if (chosen) {
        m_recorder.StartPlaying(chosen->Path, chosen->FilterIndex);
        // In one-shot mode nothing goes out until Pause is released.
        m_toolBar->bPause->setChecked(m_recorder.Paused());
        ShowRecorderStatus();
      }
    }
  } else if (m_toolBar->bStop->isChecked()) {
    m_recorder.Stop();
    ShowRecorderStatus();
  }
  UpdateRecorderButtons();
}

void TTWForm::bPauseClick(bool down) {
  m_recorder.PauseClick(down);
}

void TTWForm::ShowCaption() {
  // One project at a time: the suffix names the project last read.
  QString caption = "Tapwise";
  if (!m_project.ConfigName().empty()) {
    caption += " - " + QFile::decodeName(QByteArray::fromStdString(m_project.ConfigName()));
  }
  setWindowTitle(caption);
}

void TTWForm::ReadProject(bool askForFile, const std::string& name) {
  m_project.SetConfigChanged(false);
  std::string chosen = name;
  bool read = false;
  bool cancelled = false;
  if (askForFile) {
    const auto answer = AskForFile(this, {false, std::string(ReadProjectDialogTitle),
                                          std::string(ProjectFileFilter), m_project.DialogFileName(), 1});
    cancelled = !answer;
    if (answer) chosen = answer->Path;
  }
  if (!cancelled) {
    bool hexDisplay = m_drain.HexDisplay();
    PlaySettings play = m_playSettings;
    const ProjectState::ReadResult result =
        LoadProject(m_project, chosen, m_comms, m_userPackets, hexDisplay, play);
    if (!result.Message.empty()) MsgError(result.Message);
    if (result.Read) {
      if (hexDisplay != m_drain.HexDisplay()) {
        m_drain.SetHexDisplay(hexDisplay);
        bClearClick();
      }
      SetPlaySettings(play);
      ShowCaption();
      read = true;
    }
  }
  // Whatever was read, the triggers, the tabs and the options follow.
  if (!read) m_userPackets.RebuildTriggerTable();
  if (m_portTabs->count() > 0) {
    m_portTabs->SetTabIndex(0);
    ShowSelectedPort();
  }
}

void TTWForm::WriteProject() {
  if (!m_project.ConfigChanged()) return;
  if (!MsgYesNo(SaveChangesQuestion)) return;
  const auto chosen = AskForFile(this, {true, std::string(WriteProjectDialogTitle),
                                        std::string(ProjectFileFilter), m_project.DialogFileName(), 1});
  if (!chosen) return;
  const std::string problem = m_project.WriteProject(
      chosen->Path, CollectProject(m_comms, m_userPackets, m_drain.HexDisplay(), m_playSettings));
  if (!problem.empty()) {
    MsgError(problem);
  } else {
    ShowCaption();
  }
}

void TTWForm::ShowPendingMessages() {
  // A message box runs its own event loop, in which this timer goes on
  // draining; the messages that come meanwhile wait for the next round.
  if (m_showingMessages) return;
  m_showingMessages = true;
  if (auto failure = m_recorder.TakeRecordingFailure()) {
    UpdateRecorderButtons();
    m_statusBar->SetStatus(QString::fromLocal8Bit(failure->Text), QColor(128, 0, 0));
    std::fprintf(stderr, "tapwise: %s\n", failure->Text.c_str());
    MsgError(failure->Markup);
  }
  if (m_recorder.TakePlayFileError()) {
    UpdateRecorderButtons();
    ShowRecorderStatus();
    MsgError(InvalidPacketDataFileText);
  }
  for (const std::string& text : m_messages.TakeAll()) MsgError(text);
  m_showingMessages = false;
}

void TTWForm::bDisableClick(bool down) {
  const uint8_t port = SelectedPort.load();
  if (port == 0) return;
  m_comms.SetPortEnabled(port, !down);
  m_portSetup->Load(m_comms.GetPortSettings(port), m_comms.IsPortEnabled(port));
  m_portTabs->update();
}

void TTWForm::bClearClick() {
  m_drain.Clear();
  m_display->LinesChanged();
}

void TTWForm::PortControlTabDrawTab(QPainter& canvas, int index, const QRect& rect, bool) {
  const uint8_t port = TabPort(index);
  const bool enabled = m_comms.IsPortEnabled(port);
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

void TTWForm::ApplyDisplayFont() {
  m_display->ApplyDisplayFont(AnsiToQString(m_userSettings.FontName),
                              static_cast<int>(m_userSettings.FontSize));
  // The window's width follows the font: 80 columns, the scroll bar and frame.
  resize(80 * m_display->CharWidth() + 2 * DisplayPaintBox::ScrollBarWidth + 4, height());
}

void TTWForm::TimerTimer() {
  const auto start = std::chrono::steady_clock::now();
  const size_t queued = m_tickObserver ? m_comms.Queue().Count() : 0;
  m_toolBar->bPause->setChecked(m_recorder.Paused());
  m_drain.DrainQueue();
  if (m_scrollPending) {
    m_scrollPending = false;
    m_display->ScrollToEnd();
  }
  const uint8_t modem = ModemStatus.load();
  if (modem != m_shownModemBits) {
    m_shownModemBits = modem;
    m_portSetup->ShowModemLines(modem);
  }
  if (++m_tickCount % 10 == 0) m_statusBar->update();
  if (m_recorder.TakeEndOfFileStop() && m_recorder.State() != RecorderState::Idle) {
    m_toolBar->bStop->setChecked(true);
    RecorderButtonClick();
  }
  if (IsPlayingState(m_recorder.State())) m_statusBar->SetProgress(m_recorder.Progress());
  // Last, as it may show a message box (an invalid packet data file).
  ShowPendingMessages();
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
    if (port != 0) m_comms.WritePacket(port, reinterpret_cast<const uint8_t*>(&byte), 1);
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
  if (m_recorder.State() != RecorderState::Idle) m_recorder.Stop();
  UpdateRecorderButtons();
  // The playback thread sends on the ports and reads their modem lines: it
  // stops before they go.
  m_txThread->Stop();
  m_comms.DestroyPorts();
  m_layouts.Main.Placement = PlacementOf(*this);
  m_layouts.Main.State = ShowStateOf(*this);
  SaveMainWindowLayout(m_settings, m_layouts);
  WriteProject();
  m_userSettings.ConfigName = m_project.ConfigName();
  m_userSettings.RecordName = m_recorder.RecordName();
  m_userSettings.RecordType = m_recorder.RecordType();
  WriteUserSettings(m_settings, m_userSettings);
  SaveToolWindowLayouts(m_settings, m_layouts);
  event->accept();
}

}  // namespace tapwise
