// tapwise-snapshots OUTDIR: draws each control in its states to OUTDIR/*.png.
// `tapwise-snapshots --help` prints the usage; any other argument beginning
// with "-" is refused with status 2.
// Runs without a display (the offscreen platform is chosen when none is set).

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QTest>
#include <QThread>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "Sheet.h"
#include "core/capture/TWComms.h"
#include "core/platform/PseudoTerminal.h"
#include "core/session/MonitorSession.h"
#include "gui/about/AboutForm.h"
#include "gui/controls/Box.h"
#include "gui/controls/BtnTransparent.h"
#include "gui/controls/CheckBoxTransparent.h"
#include "gui/controls/DrawGridZebra.h"
#include "gui/controls/EditUpDown.h"
#include "gui/controls/NiceLabel.h"
#include "gui/controls/PanelTransparent.h"
#include "gui/controls/TabControlSmart.h"
#include "gui/controls/TickedLabel.h"
#include "gui/controls/ToolIcons.h"
#include "gui/controls/WindowsLib.h"
#include "gui/filter/FilterForm.h"
#include "gui/filter/HighlightEditor.h"
#include "gui/find/FindBar.h"
#include "gui/mainwindow/DisplayPaintBox.h"
#include "gui/mainwindow/TWMain.h"
#include "gui/mainwindow/ToolWindows.h"
#include "gui/messagebox/MessageBox.h"
#include "gui/options/Colours.h"
#include "gui/options/Properties.h"
#include "gui/statistics/StatisticsForm.h"
#include "gui/userpackets/UserPacketsForm.h"
#include "support/window/WindowRig.h"

using namespace tapwise;

namespace {

// A paint box whose picture is drawn by a function, for the routines that
// draw straight onto a canvas.
class Canvas : public QWidget {
 public:
  Canvas(int width, int height, std::function<void(QPainter&)> draw) : m_draw(std::move(draw)) {
    resize(width, height);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter canvas(this);
    m_draw(canvas);
  }

 private:
  std::function<void(QPainter&)> m_draw;
};

QPixmap SampleGlyph() {
  QPixmap glyph(16, 16);
  glyph.fill(Qt::white);
  QPainter p(&glyph);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0, 128, 0), 2.5));
  p.drawPolyline(QPolygonF({QPointF(3, 8), QPointF(6.5, 12), QPointF(13, 3)}));
  return glyph;
}

TBtnTransparent* Button(const QString& caption, bool glyph, int bevel, bool down) {
  auto* button = new TBtnTransparent;
  button->resize(80, 26);
  button->SetCaption(caption);
  if (glyph) button->SetGlyph(SampleGlyph());
  button->SetBevel(bevel);
  button->SetDown(down);
  return button;
}

bool MinorControls(const QString& out) {
  Sheet sheet("Minor controls");
  sheet.Add("caption only", Button("Cancel", false, 0, false));
  sheet.Add("glyph + caption", Button("OK", true, 0, false));
  sheet.Add("glyph only", Button("", true, 0, false));
  sheet.Add("down", Button("OK", true, 0, true));
  sheet.Add("bevel 2", Button("OK", true, 2, false));
  sheet.Add("bevel -1", Button("OK", true, -1, false));
  sheet.NewRow();
  const struct {
    const char* caption;
    bool raised, lowered;
  } panels[] = {{"panel: plain", false, false},
                {"panel: raised", true, false},
                {"panel: lowered", false, true},
                {"panel: both", true, true}};
  for (const auto& p : panels) {
    auto* panel = new TPanelTransparent;
    panel->resize(100, 40);
    panel->SetRaised(p.raised);
    panel->SetLowered(p.lowered);
    sheet.Add(p.caption, panel);
  }
  sheet.NewRow();
  auto* box = new TBox;
  box->resize(120, 40);
  sheet.Add("box: all edges", box);
  auto* strip = new TBox;
  strip->resize(120, 40);
  strip->SetLineBottom(false);
  strip->SetLineLeft(false);
  strip->SetLineRight(false);
  sheet.Add("box: top line only", strip);
  auto* check = new TCheckBoxTransparent("Trigger");
  check->setChecked(true);
  check->adjustSize();
  sheet.Add("check box", check);
  sheet.Add("gradient (toolbars, strips)", new Canvas(160, 31, [](QPainter& p) {
              GradientFill(p, 0, 0, 160, 31, ButtonFaceColour(), ScrollBarColour());
            }));
  return sheet.Save(out, "minor-controls");
}

bool Icons(const QString& out) {
  Sheet sheet("Icons (16 x 16, shown at 2x)", 640);
  const std::pair<const char*, ToolIcon> icons[] = {
      {"open", ToolIcon::OpenProject}, {"freeze", ToolIcon::Freeze},
      {"clear", ToolIcon::Clear},      {"play", ToolIcon::Play},
      {"record", ToolIcon::Record},    {"stop", ToolIcon::Stop},
      {"pause", ToolIcon::Pause},      {"options", ToolIcon::Options},
      {"packets", ToolIcon::UserPackets}, {"about", ToolIcon::About},
      {"port off", ToolIcon::PortDisabled}, {"port on", ToolIcon::PortEnabled},
      {"copy", ToolIcon::Copy},        {"play pkt", ToolIcon::PlayPacket},
      {"cut", ToolIcon::Cut},          {"paste", ToolIcon::Paste},
      {"filter", ToolIcon::Filter},
      {"find", ToolIcon::Find},
  };
  for (const auto& [name, icon] : icons) {
    const QPixmap pixmap = DrawToolIcon(icon);
    sheet.Add(name, new Canvas(36, 36, [pixmap](QPainter& p) {
                p.drawPixmap(QRect(2, 2, 32, 32), pixmap);
              }));
  }
  return sheet.Save(out, "icons");
}

bool CustomControls(const QString& out) {
  Sheet sheet("Custom controls", 600);
  const struct {
    const char* caption;
    int32_t max, scale, value;
    bool hex, enabled;
  } edits[] = {{"decimal, scale 5", 1000, 5, 3, false, true},
               {"hex, max 255", 255, 1, 13, true, true},
               {"hex, max 65535", 65535, 1, 10, true, true},
               {"disabled", 100, 1, 42, false, false}};
  for (const auto& e : edits) {
    auto* edit = new TEditUpDown;
    edit->resize(90, 22);
    edit->SetMax(e.max);
    edit->SetScale(e.scale);
    edit->SetHex(e.hex);
    edit->SetValue(e.value);
    edit->setEnabled(e.enabled);
    sheet.Add(e.caption, edit);
  }
  sheet.NewRow();
  const struct {
    const char* caption;
    const char* text;
    TTickedLabel::TState state;
  } ticks[] = {{"sNone", "CTS", TTickedLabel::sNone},
               {"sTicked", "\\bDSR", TTickedLabel::sTicked},
               {"sCrossed", "CD \\1off", TTickedLabel::sCrossed},
               {"sProgress", "\\iWorking", TTickedLabel::sProgress}};
  for (const auto& t : ticks) {
    auto* label = new TTickedLabel;
    label->resize(90, 15);
    label->SetCaption(t.text);
    label->SetState(t.state);
    if (t.state == TTickedLabel::sCrossed) label->SetCrossColour(Qt::red);
    if (t.state == TTickedLabel::sTicked) label->SetTickColour(QColor(0, 128, 0));
    sheet.Add(t.caption, label);
  }
  sheet.NewRow();
  auto* tabs = new TTabControlSmart;
  tabs->SetTabHeight(20);
  tabs->SetTabWidth(70);
  for (const char* caption : {"COM1", "COM2", "COM3", "COM7"}) tabs->addTab(caption);
  tabs->SetTabIndex(1);
  tabs->resize(300, 24);
  sheet.Add("tab control: second tab active", tabs);
  sheet.NewRow();
  for (TAlignment alignment : {taLeftJustify, taCenter, taRightJustify}) {
    for (TBorder border : {bNone, bLowered, bRaised}) {
      auto* label = new TNiceLabel;
      label->resize(170, 40);
      label->SetGap(2);
      label->SetAlignment(alignment);
      label->SetBorder(border);
      label->SetCaption("Packet Terminator\\n\\1(RAW files only)");
      const char* names[] = {"left", "right", "centre"};
      const char* borders[] = {"no border", "lowered", "raised"};
      sheet.Add(QString("label: %1, %2").arg(names[alignment], borders[border]), label);
    }
    sheet.NewRow();
  }
  return sheet.Save(out, "custom-controls");
}

bool MessageBoxes(const QString& out) {
  const struct {
    const char* name;
    TMessageKind kind;
    const char* text;
    const char* buttons;
  } boxes[] = {
      {"message-question", mkQuestion, "\\b\\1Configuration has changed\\nSave Changes?", "Yes,No"},
      {"message-error", mkError, "\\1Error: Invalid Packet Data file", "OK"},
      {"message-information", mkInformation,
       "\\bPacket text\\b\\n\\t01 02\\thex bytes\\n\\t\"AB\"\\tquoted text\\n"
       "\\t$0..$F\\tcalculated bytes\\n\\]Big\\[ and \\^small\\[, \\2green\\0, \\hhighlight\\h, \\d delta",
       "OK,Copy,Cancel"},
  };
  bool ok = true;
  for (const auto& b : boxes) {
    auto box = BuildMessageBox(b.kind, b.text, b.buttons);
    ok = box->grab().save(QDir(out).filePath(QString(b.name) + ".png")) && ok;
  }
  return ok;
}

// A main window of its own, on a session and empty settings of its own, as
// the pictures below each need one.
struct FreshWindow {
  WindowRig rig;
  MonitorSession& session;
  TTWForm& form;
  explicit FreshWindow(const MonitorOptions& options) : session(rig.Session()), form(rig.Make(options)) {}
};

// The main window over a tap of a virtual device: an application on COM2
// sets 115200 baud and asks, the device on COM1 answers. The status bar
// names the application's side, and COM1's settings followed the rate.
bool TapWindow(const QString& out) {
  MonitorOptions options;
  options.PortOptions = {"-tap:1,2=pty"};
  FreshWindow window(options);
  MonitorSession& session = window.session;
  TTWForm& form = window.form;
  form.show();
  if (!form.FormShow() || session.Report().Taps.empty()) return false;
  // "COM2 /dev/pts/N (tap of …)" and "/dev/pts/M (tapped for COM2)".
  const std::string appLine = session.Report().Taps.front();
  const std::string appPath = appLine.substr(5, appLine.find(' ', 5) - 5);
  const std::string devicePath = session.Opener().Describe(1).substr(0, session.Opener().Describe(1).find(' '));
  const int app = open(appPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  const int device = open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (app < 0 || device < 0) return false;
  termios line{};
  tcgetattr(app, &line);
  cfmakeraw(&line);
  cfsetspeed(&line, B115200);
  tcsetattr(app, TCSANOW, &line);
  tcgetattr(device, &line);
  cfmakeraw(&line);
  tcsetattr(device, TCSANOW, &line);
  QTest::qWait(300);
  const std::string ask = "READ? T1\r\n";
  const std::string answer = "T1=21.5C OK\r\n";
  bool wrote = write(app, ask.data(), ask.size()) == static_cast<ssize_t>(ask.size());
  QTest::qWait(150);
  wrote = write(device, answer.data(), answer.size()) == static_cast<ssize_t>(answer.size()) && wrote;
  QTest::qWait(400);
  const bool saved = wrote && form.grab().save(QDir(out).filePath("tap-window.png"));
  close(app);
  close(device);
  form.close();
  return saved;
}

// The main window over a built-in null-modem pair, with a little traffic
// both ways: what a newcomer sees after typing into the window. Its tool
// windows are drawn beside it, as they are after start-up.
bool Windows(const QString& out) {
  MonitorOptions options;
  options.PortOptions = {"-pair:1,2"};
  FreshWindow fresh(options);
  TWComms& comms = fresh.session.Comms();
  TTWForm& form = fresh.form;
  TColoursForm* colours = &form.Tools().Colours();
  TPropertiesForm* properties = &form.Tools().Properties();
  TAboutForm* about = &form.Tools().About();
  TStatisticsForm* statistics = &form.Tools().Statistics();
  form.show();
  if (!form.FormShow()) return false;
  const std::string hello = "Hello, device\r\n";
  comms.WritePacket(1, reinterpret_cast<const uint8_t*>(hello.data()), static_cast<uint16_t>(hello.size()));
  QTest::qWait(150);
  const std::string reply = "OK 0x1F \x01\x02\x03 temperature=21.5C, humidity=40%\r\n";
  comms.WritePacket(2, reinterpret_cast<const uint8_t*>(reply.data()), static_cast<uint16_t>(reply.size()));
  QTest::qWait(150);
  for (char c : std::string("AT")) {
    comms.WritePacket(1, reinterpret_cast<const uint8_t*>(&c), 1);
    QTest::qWait(60);
  }
  QTest::qWait(200);
  bool saved = form.grab().save(QDir(out).filePath("main-window.png"));
  const std::pair<QWidget*, const char*> tools[] = {
      {properties, "properties.png"}, {colours, "colours.png"}, {about, "about.png"},
      {statistics, "statistics.png"}};
  // Taller than designed, so that the picture shows every row.
  colours->resize(colours->width(), TColoursForm::RowCount * 18 + 4);
  // Wide enough for every column, tall enough for the two ports.
  statistics->resize(930, 120);
  for (const auto& [window, name] : tools) {
    window->show();
    QTest::qWait(50);
    saved = window->grab().save(QDir(out).filePath(name)) && saved;
  }
  form.close();
  return saved;
}

// The find bar under the display: traffic both ways over a built-in
// null-modem pair, a pattern found in several packets, the current match
// stronger.
bool FindBarWindow(const QString& out) {
  MonitorOptions options;
  options.PortOptions = {"-pair:1,2"};
  FreshWindow fresh(options);
  TWComms& comms = fresh.session.Comms();
  TTWForm& form = fresh.form;
  form.show();
  if (!form.FormShow()) return false;
  const std::string packets[] = {"READ T1\r\n", "T1=21.5C OK\r\n", "READ T2\r\n",
                                 "T2=19.0C OK, sensor 2 of 4: calibrated\r\n", "READ T3\r\n",
                                 "T3=22.1C OK\r\n"};
  for (size_t i = 0; i < std::size(packets); ++i) {
    const std::string& bytes = packets[i];
    comms.WritePacket(i % 2 == 0 ? 1 : 2, reinterpret_cast<const uint8_t*>(bytes.data()),
                      static_cast<uint16_t>(bytes.size()));
    QTest::qWait(150);
  }
  QTest::qWait(200);
  auto* find = form.findChild<FindBar*>("FindBar");
  if (!find) return false;
  find->Open();
  find->ePattern->setText("\"OK\"");
  find->FindNext();
  find->FindNext();
  QTest::qWait(100);
  const bool saved = form.grab().save(QDir(out).filePath("find-bar.png"));
  form.close();
  return saved;
}

// The port tabs while adapters come and go: COM3 was pulled out (disabled
// glyph), COM5 was plugged in after start-up and got its tab in order. The
// adapters are pseudo-terminals behind links, as in the tests.
bool PortTabsComingAndGoing(const QString& out) {
  char folder[] = "/tmp/tapwise-snapshot-XXXXXX";
  if (!mkdtemp(folder)) return false;
  const std::string pulled = std::string(folder) + "/adapter3", late = std::string(folder) + "/adapter5";
  auto plug = [](const std::string& link) {
    std::unique_ptr<PseudoTerminal> wire = PseudoTerminal::Create();
    if (wire && symlink(wire->SlavePath().c_str(), link.c_str()) != 0) wire.reset();
    return wire;
  };
  std::unique_ptr<PseudoTerminal> third = plug(pulled), fifth;
  MonitorOptions options;
  options.PortOptions = {"-pair:1,2", "-port:3=" + pulled, "-port:5=" + late, "-port:7=pty"};
  bool saved = false;
  {
    FreshWindow window(options);
    TTWForm& form = window.form;
    form.show();
    if (third && form.FormShow()) {
      unlink(pulled.c_str());
      third.reset();
      fifth = plug(late);
      for (int i = 0; i < 40 && form.PortControlTab()->count() < 5; ++i) QTest::qWait(50);
      QTest::qWait(100);
      saved = form.PortControlTab()->count() == 5 &&
              form.grab(QRect(0, 0, form.width(), form.PortControlTab()->y() + 60))
                  .save(QDir(out).filePath("port-tabs-hotplug.png"));
    }
    form.close();
  }
  unlink(late.c_str());
  rmdir(folder);
  return saved;
}

// The User Defined Packets window with a few packets and triggers, a text
// of two lines, the current cell and a sort mark; and the two popup menus.
bool UserPacketsWindow(const QString& out) {
  MonitorOptions options;
  options.PortOptions = {"-pair:1,2"};
  FreshWindow window(options);
  MonitorSession& session = window.session;
  TTWForm& main = window.form;
  main.show();
  if (!main.FormShow()) return false;
  UserPacketTable& table = session.GetUserPackets().Table();
  table.SetPacketText(1, "\"AT\" 0D");
  table.SetPacketText(2, "01 03 00 00 00 0A $9");
  table.SetTriggerText(2, "01 03");
  table.SetPacketText(3, "\"first|second\"");
  table.SetPacketText(4, "02 \"Hello\" 0D 0A ");
  table.SetTriggerText(4, "\"PING\"");
  table.SetPacketText(13, "$0 $1 $C");
  TUserPacketsForm* form = &main.Tools().UserPackets();
  form->UserPacketsGrid->SetSort(1);
  form->show();
  form->UserPacketsGrid->SetCurrentCell(1, 4);
  form->cbTrigger->setChecked(true);
  QTest::qWait(100);
  bool saved = form->grab().save(QDir(out).filePath("user-packets-window.png"));
  for (auto [name, menu] : {std::pair<const char*, QMenu*>{"user-packets-menu", form->PopupMenu},
                            {"display-menu", main.Display()->ContextMenu()}}) {
    menu->ensurePolished();
    menu->adjustSize();
    saved = menu->grab().save(QDir(out).filePath(QString(name) + ".png")) && saved;
  }
  main.close();
  return saved;
}

// The Display Filter window over a pair and a named third port: COM2 left
// out of the display, two highlight rules in use and one that does not
// compile; and the main window it filters, the matching packets on their
// rules' backgrounds and the filter named in the status bar.
bool FilterWindow(const QString& out) {
  MonitorOptions options;
  options.PortOptions = {"-pair:1,2", "-port:3=pty"};
  options.Names = {{3, "Meter"}};
  FreshWindow window(options);
  MonitorSession& session = window.session;
  TTWForm& main = window.form;
  main.show();
  if (!main.FormShow()) return false;
  HighlightRuleSet rules = DefaultHighlightRules();
  rules[0].Pattern = "\"PING\"";
  rules[1].Pattern = "02 30 31";
  rules[2].Pattern = "02 3X";
  session.SetHighlightRules(rules);
  TFilterForm* form = &main.Tools().Filter();
  form->show();
  QListWidgetItem* second = form->lbPorts->item(1);
  if (!second) return false;
  second->setCheckState(Qt::Unchecked);
  TWComms& comms = session.Comms();
  const std::vector<std::pair<uint8_t, std::string>> traffic = {
      {1, "PING 1\r"}, {2, "PONG 1\r"}, {1, std::string("\x02" "012 status?", 12)}, {2, "temperature=21.5C\r"},
      {1, "PING 2\r"}, {2, "PONG 2\r"}, {1, "AT+RESET\r"}};
  for (const auto& [port, bytes] : traffic) {
    comms.WritePacket(port, reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint16_t>(bytes.size()));
    QTest::qWait(60);
  }
  QTest::qWait(200);
  bool saved = form->grab().save(QDir(out).filePath("filter-window.png"));
  saved = main.grab().save(QDir(out).filePath("filtered-display.png")) && saved;
  main.close();
  return saved;
}

constexpr const char* UsageText =
    "usage: tapwise-snapshots OUTDIR\n"
    "Draws every window and control of Tapwise, offscreen, to PNG files in OUTDIR\n"
    "(made when missing). scripts/docs-images refreshes the README's pictures from them.\n";

}  // namespace

int main(int argc, char** argv) {
  // Read before the toolkit sees the arguments: a folder named like an
  // option ("--help") is never what was meant, so nothing that begins with
  // "-" is taken for one. --help asks for the usage; any other is a mistake.
  const char* const arg = argc == 2 ? argv[1] : nullptr;
  if (arg && (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0)) {
    std::fputs(UsageText, stdout);
    return 0;
  }
  if (!arg || arg[0] == '-' || arg[0] == '\0') {
    if (arg && arg[0] == '-') std::fprintf(stderr, "tapwise-snapshots: unknown option %s\n", arg);
    std::fputs(UsageText, stderr);
    return 2;
  }
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QString out = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(out)) {
    std::fprintf(stderr, "tapwise-snapshots: cannot create %s\n", argv[1]);
    return 1;
  }
  const std::vector<std::pair<const char*, std::function<bool(const QString&)>>> pictures = {
      {"minor-controls", MinorControls},
      {"icons", Icons},
      {"custom-controls", CustomControls},
      {"message-boxes", MessageBoxes},
      {"windows", Windows},
      {"tap-window", TapWindow},
      {"user-packets-window", UserPacketsWindow},
      {"find-bar", FindBarWindow},
      {"port-tabs-hotplug", PortTabsComingAndGoing},
      {"filter-window", FilterWindow},
  };
  int failures = 0;
  for (const auto& [name, draw] : pictures) {
    if (!draw(out)) {
      std::fprintf(stderr, "tapwise-snapshots: could not save %s.png\n", name);
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}
