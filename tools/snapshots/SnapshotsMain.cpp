// tapwise-snapshots OUTDIR: draws each control in its states to OUTDIR/*.png.
// Runs without a display (the offscreen platform is chosen when none is set).

#include "Sheet.h"

#include "capture/TWComms.h"
#include "config/INIUnit.h"
#include "display/window/TWMain.h"
#include "platform/PortMap.h"
#include "ui/Box.h"
#include "ui/BtnTransparent.h"
#include "ui/CheckBoxTransparent.h"
#include "ui/PanelTransparent.h"
#include "ui/ToolIcons.h"
#include "ui/WindowsLib.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTest>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

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
  };
  for (const auto& [name, icon] : icons) {
    const QPixmap pixmap = DrawToolIcon(icon);
    sheet.Add(name, new Canvas(36, 36, [pixmap](QPainter& p) {
                p.drawPixmap(QRect(2, 2, 32, 32), pixmap);
              }));
  }
  return sheet.Save(out, "icons");
}

// The main window over a built-in null-modem pair, with a little traffic
// both ways: what a newcomer sees after typing into the window.
bool MainWindow(const QString& out) {
  PortMap map;
  if (!map.ApplyOption("-pair:1,2").empty()) return false;
  TWComms comms(map);
  SettingsStore settings;
  settings.Create();
  TTWForm form(comms, map, settings, CommandLine{});
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
  const bool saved = form.grab().save(QDir(out).filePath("main-window.png"));
  form.close();
  comms.DestroyPorts();
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: tapwise-snapshots OUTDIR\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(out)) {
    std::fprintf(stderr, "tapwise-snapshots: cannot create %s\n", argv[1]);
    return 1;
  }
  const std::vector<std::pair<const char*, std::function<bool(const QString&)>>> pictures = {
      {"minor-controls", MinorControls},
      {"icons", Icons},
      {"main-window", MainWindow},
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
