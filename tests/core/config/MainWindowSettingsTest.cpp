#include <gtest/gtest.h>

#include <climits>

#include "core/config/INIUnit.h"
#include "core/config/UserSettings.h"
#include "core/config/WindowLayouts.h"
#include "support/ResultAssertions.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

using Lines = std::vector<std::string>;

constexpr int32_t DesktopWidth = 1920;
constexpr int32_t DesktopHeight = 1080;

// The windows as designed, before any settings are applied.
WindowLayout At(const WindowPlacement& placement) {
  WindowLayout layout;
  layout.Placement = placement;
  return layout;
}

// In the order the main window adds them.
WindowLayouts DesignedLayouts() {
  WindowLayouts layouts;
  layouts.Add(MainWindowName, At({10, 20, 593, 400}));
  WindowLayout userPackets = At({30, 40, 500, 300});
  userPackets.GridPrefix = UserPacketsGridPrefix;
  userPackets.ColumnWidths = {62, 255, 141};
  layouts.Add(UserPacketsWindowName, userPackets);
  WindowLayout properties = At({50, 60, 320, 240});
  properties.Sizeable = false;
  layouts.Add(PropertiesWindowName, properties);
  layouts.Add(ColoursWindowName, At({70, 80, 250, 410}));
  return layouts;
}

WindowLayout& Main(WindowLayouts& layouts) { return *layouts.Find(MainWindowName); }
WindowLayout& UserPackets(WindowLayouts& layouts) { return *layouts.Find(UserPacketsWindowName); }
WindowLayout& Properties(WindowLayouts& layouts) { return *layouts.Find(PropertiesWindowName); }
WindowLayout& Colours(WindowLayouts& layouts) { return *layouts.Find(ColoursWindowName); }

// What the main window does with the store from being shown to closing.
void RunSession(SettingsStore& store, UserSettings& settings, WindowLayouts& layouts,
                void (*whileOpen)(UserSettings&, WindowLayouts&)) {
  settings = ReadUserSettings(store);
  RestoreWindowLayouts(store, layouts, DesktopWidth, DesktopHeight);
  if (whileOpen != nullptr) whileOpen(settings, layouts);
  SaveMainWindowLayout(store, layouts);
  WriteUserSettings(store, settings);
  SaveToolWindowLayouts(store, layouts);
}

TEST(MainWindowSettingsTest, AFirstRunWritesEveryKeyWithItsValueInReadOrder) {
  TempDir dir;
  const std::string path = dir / "Tapwise.ini";
  SettingsStore store;
  ASSERT_TRUE(Succeeded(store.Load(path)));
  UserSettings settings;
  WindowLayouts layouts = DesignedLayouts();
  RunSession(store, settings, layouts, nullptr);
  ASSERT_TRUE(Succeeded(store.Save()));

  // The Properties window's size is never read, so its two keys come last,
  // added when they are first written.
  const std::string expected =
      "FontName\tFixedSys\r\n"
      "FontSize\t9\r\n"
      "Colour0\t-2147483640\r\n"
      "Colour1\t8388608\r\n"
      "Colour2\t32768\r\n"
      "Colour3\t128\r\n"
      "Colour4\t32896\r\n"
      "Colour5\t8388736\r\n"
      "Colour6\t8421376\r\n"
      "Colour7\t8421504\r\n"
      "Colour8\t0\r\n"
      "Colour9\t16711680\r\n"
      "Colour10\t65280\r\n"
      "Colour11\t255\r\n"
      "Colour12\t65535\r\n"
      "Colour13\t16711935\r\n"
      "Colour14\t16776960\r\n"
      "Colour15\t12632256\r\n"
      "Colour16\t8421504\r\n"
      "Colour17\t-2147483624\r\n"
      "Colour18\t255\r\n"
      "ConfigName\t\r\n"
      "RecordName\t\r\n"
      "RecordType\t0\r\n"
      "DisplayTime\ttenths\r\n"
      "HistoryPackets\t100000\r\n"
      "HistoryMegabytes\t64\r\n"
      "WinTWFormLeft\t10\r\n"
      "WinTWFormTop\t20\r\n"
      "WinTWFormWidth\t593\r\n"
      "WinTWFormHeight\t400\r\n"
      "WinUserPacketsFormLeft\t30\r\n"
      "WinUserPacketsFormTop\t40\r\n"
      "WinUserPacketsFormWidth\t500\r\n"
      "WinUserPacketsFormHeight\t300\r\n"
      "UserPacketsFormGrid1\t62\r\n"
      "UserPacketsFormGrid2\t255\r\n"
      "UserPacketsFormGrid3\t141\r\n"
      "WinPropertiesFormLeft\t50\r\n"
      "WinPropertiesFormTop\t60\r\n"
      "WinColoursFormLeft\t70\r\n"
      "WinColoursFormTop\t80\r\n"
      "WinColoursFormWidth\t250\r\n"
      "WinColoursFormHeight\t410\r\n"
      "WinPropertiesFormWidth\t320\r\n"
      "WinPropertiesFormHeight\t240\r\n";
  EXPECT_EQ(TempDir::ReadFile(path), expected);
}

TEST(MainWindowSettingsTest, ASecondRunGetsBackWhatTheFirstLeft) {
  TempDir dir;
  const std::string path = dir / "Tapwise.ini";
  UserSettings changed;
  WindowLayouts moved = DesignedLayouts();
  {
    SettingsStore store;
    ASSERT_TRUE(Succeeded(store.Load(path)));
    UserSettings settings;
    WindowLayouts layouts = DesignedLayouts();
    RunSession(store, settings, layouts, [](UserSettings& s, WindowLayouts& l) {
      s.FontName = "DejaVu Sans Mono";
      s.FontSize = 11;
      s.Colours[3] = ColourTable::Rgb(1, 2, 3);
      s.Colours[ColourTable::Errors] = ColourTable::SystemColour(5);
      s.ConfigName = "/home/me/rig tests/bench 2.TW";
      s.RecordName = "/tmp/capture 1.DAT";
      s.RecordType = 2;
      s.DisplayTime = TimeStyle::Microseconds;
      s.History = {5000, 16};
      Main(l).Placement = {-1200, 5, 700, 500};
      UserPackets(l).Placement = {300, 200, 640, 480};
      UserPackets(l).ColumnWidths = {70, 300, 150};
      Colours(l).Placement = {900, 100, 260, 420};
    });
    changed = settings;
    moved = layouts;
    ASSERT_TRUE(Succeeded(store.Save()));
  }
  SettingsStore store;
  ASSERT_TRUE(Succeeded(store.Load(path)));
  const size_t lineCount = store.Lines().size();
  EXPECT_EQ(ReadUserSettings(store), changed);
  WindowLayouts layouts = DesignedLayouts();
  RestoreWindowLayouts(store, layouts, DesktopWidth, DesktopHeight);
  EXPECT_EQ(Main(layouts).Placement, Main(moved).Placement);
  EXPECT_EQ(UserPackets(layouts).Placement, UserPackets(moved).Placement);
  EXPECT_EQ(UserPackets(layouts).ColumnWidths, UserPackets(moved).ColumnWidths);
  EXPECT_EQ(Properties(layouts).Placement, Properties(moved).Placement);
  EXPECT_EQ(Colours(layouts).Placement, Colours(moved).Placement);
  EXPECT_EQ(store.Lines().size(), lineCount);
}

TEST(MainWindowSettingsTest, OddValuesReadAsTheirNumberOrTheirDefault) {
  SettingsStore store;
  store.Create();
  store.WriteText("FontSize", "12abc");
  store.FindLine("FontName");
  store.WriteText("Colour0", "");
  store.FindLine("Colour5");
  store.WriteText("Colour6", "blue");
  store.WriteText("RecordType", "3 (hex)");
  // The history's bounds are held to their ranges.
  store.WriteText("HistoryPackets", "5");
  store.WriteText("HistoryMegabytes", "-3");
  const UserSettings settings = ReadUserSettings(store);
  EXPECT_EQ(settings.History, (HistoryLimits{HistoryLimits::MinPackets, HistoryLimits::MinMegabytes}));
  EXPECT_EQ(settings.FontSize, 12);
  EXPECT_EQ(settings.FontName, "FixedSys");
  EXPECT_EQ(settings.Colours[0], -2147483640);
  EXPECT_EQ(settings.Colours[5], 8388736);
  EXPECT_EQ(settings.Colours[6], 0);
  EXPECT_EQ(settings.RecordType, 3);
}

TEST(MainWindowSettingsTest, TheDisplayTimeReadsAsAPrecisionTheDisplayOffersOrTenths) {
  const std::pair<const char*, TimeStyle> cases[] = {
      {"ms", TimeStyle::Milliseconds}, {"US", TimeStyle::Microseconds}, {"tenths", TimeStyle::Tenths},
      // The command line's other formats are no display precision.
      {"iso", TimeStyle::Tenths},      {"delta", TimeStyle::Tenths},    {"", TimeStyle::Tenths},
      {"1", TimeStyle::Tenths},
  };
  for (const auto& [stored, style] : cases) {
    SCOPED_TRACE(stored);
    SettingsStore store;
    store.Create();
    store.WriteText("DisplayTime", stored);
    EXPECT_EQ(ReadUserSettings(store).DisplayTime, style);
  }
}

TEST(MainWindowSettingsTest, AStoredPositionNearOrBeyondTheFarEdgeMovesToZero) {
  struct Case {
    const char* Stored;  // nullptr: no line
    int32_t Current;
    int32_t Extent;
    int32_t Expected;
  };
  const Case cases[] = {
      {"100", 0, 1024, 100},
      {"991", 0, 1024, 991},  // 991 + 32 < 1024
      {"992", 0, 1024, 0},    // 992 + 32 reaches the edge
      {"5000", 0, 1024, 0},
      {"0", 7, 1024, 0},
      {"-50", 0, 1024, -50},
      {"-5000", 0, 1024, -5000},
      {"2147483647", 0, 1024, 0},  // no wrap round to a small number
      {nullptr, 300, 1024, 300},
      {nullptr, 1000, 1024, 0},  // the designed position obeys the rule too
      {"10", 0, 0, 0},           // no desktop at all
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Stored != nullptr ? c.Stored : "(none)");
    for (bool horizontal : {true, false}) {
      SettingsStore store;
      store.Create();
      if (c.Stored != nullptr) store.WriteText(horizontal ? "WinXLeft" : "WinXTop", c.Stored);
      WindowPlacement current{c.Current, c.Current, 200, 100};
      const WindowPlacement restored = horizontal ? RestorePlacement(store, "X", current, c.Extent, 5000, true)
                                                  : RestorePlacement(store, "X", current, 5000, c.Extent, true);
      EXPECT_EQ(horizontal ? restored.Left : restored.Top, c.Expected) << (horizontal ? "Left" : "Top");
      EXPECT_EQ(horizontal ? restored.Top : restored.Left, c.Current);
    }
  }
}

TEST(MainWindowSettingsTest, AFixedWindowsSizeIsWrittenButNeverReadBack) {
  SettingsStore store;
  store.Create();
  store.WriteInteger("WinPropertiesFormLeft", 400);
  store.WriteInteger("WinPropertiesFormTop", 300);
  store.WriteInteger("WinPropertiesFormWidth", 999);
  store.WriteInteger("WinPropertiesFormHeight", 888);
  store.WriteInteger("WinColoursFormWidth", 333);
  WindowLayouts layouts = DesignedLayouts();
  RestoreWindowLayouts(store, layouts, DesktopWidth, DesktopHeight);
  EXPECT_EQ(Properties(layouts).Placement, (WindowPlacement{400, 300, 320, 240}));
  EXPECT_EQ(Colours(layouts).Placement.Width, 333);

  SaveToolWindowLayouts(store, layouts);
  EXPECT_EQ(store.ReadInteger("WinPropertiesFormWidth", 0), 320);
  EXPECT_EQ(store.ReadInteger("WinPropertiesFormHeight", 0), 240);
}

TEST(MainWindowSettingsTest, AMinimisedOrMaximisedWindowKeepsItsEarlierPlacement) {
  const Lines earlier = {"WinTWFormLeft\t11", "WinTWFormTop\t22", "WinTWFormWidth\t633", "WinTWFormHeight\t444"};
  struct Case {
    WindowShowState State;
    Lines Expected;
  };
  const Case cases[] = {
      {WindowShowState::Maximised, earlier},
      {WindowShowState::Minimised, earlier},
      {WindowShowState::Normal,
       {"WinTWFormLeft\t0", "WinTWFormTop\t0", "WinTWFormWidth\t1920", "WinTWFormHeight\t1050"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.State));
    SettingsStore store;
    store.Create();
    for (const std::string& line : earlier) {
      store.WriteText(line.substr(0, line.find('\t')), line.substr(line.find('\t') + 1));
    }
    WindowLayouts layouts = DesignedLayouts();
    Main(layouts).Placement = {0, 0, 1920, 1050};
    Main(layouts).State = c.State;
    SaveMainWindowLayout(store, layouts);
    EXPECT_EQ(store.Lines(), c.Expected);
  }

  // A maximised window that was never saved before adds nothing.
  SettingsStore fresh;
  fresh.Create();
  WindowLayouts layouts = DesignedLayouts();
  Colours(layouts).State = WindowShowState::Maximised;
  SaveToolWindowLayouts(fresh, layouts);
  for (const std::string& line : fresh.Lines()) EXPECT_EQ(line.find("WinColoursForm"), std::string::npos) << line;
}

TEST(MainWindowSettingsTest, ColumnWidthsAreNumberedFromOne) {
  SettingsStore store;
  store.Create();
  store.WriteInteger("UserPacketsFormGrid2", 300);
  const std::vector<int32_t> widths = RestoreColumnWidths(store, "UserPacketsFormGrid", {62, 255, 141});
  EXPECT_EQ(widths, (std::vector<int32_t>{62, 300, 141}));
  EXPECT_EQ(store.Lines(), (Lines{"UserPacketsFormGrid2\t300", "UserPacketsFormGrid1", "UserPacketsFormGrid3"}));
  SaveColumnWidths(store, "UserPacketsFormGrid", {1, 2, 3});
  EXPECT_EQ(store.Lines(), (Lines{"UserPacketsFormGrid2\t2", "UserPacketsFormGrid1\t1", "UserPacketsFormGrid3\t3"}));
}

}  // namespace
}  // namespace tapwise
