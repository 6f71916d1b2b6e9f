#include "gui/mainwindow/ToolWindows.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QToolButton>

#include "core/config/INIUnit.h"
#include "gui/about/AboutForm.h"
#include "gui/controls/ToolIcons.h"
#include "gui/filter/FilterForm.h"
#include "gui/mainwindow/MainToolBar.h"
#include "gui/options/Colours.h"
#include "gui/options/Properties.h"
#include "gui/statistics/StatisticsForm.h"
#include "gui/userpackets/UserPacketsForm.h"

namespace tapwise {

namespace {

WindowPlacement PlacementOf(const QWidget& window) {
  return {window.x(), window.y(), window.width(), window.height()};
}

WindowShowState ShowStateOf(const QWidget& window) {
  if (window.isMinimized()) return WindowShowState::Minimised;
  if (window.isMaximized()) return WindowShowState::Maximised;
  return WindowShowState::Normal;
}

// Where the window was designed to be, before the settings are read.
WindowLayout DesignedLayout(const QWidget& window) {
  WindowLayout layout;
  layout.Placement = PlacementOf(window);
  return layout;
}

void Place(QWidget& window, const WindowPlacement& place, bool sizeable) {
  window.move(place.Left, place.Top);
  if (sizeable) window.resize(place.Width, place.Height);
}

}  // namespace

ToolWindows::ToolWindows(MonitorSession& session, Appearance& appearance, WindowDialogs& dialogs,
                         MainToolBar& toolBar, QWidget& owner, QMenu* displayMenu) {
  // In the order the program makes them; placed and saved in the order
  // registered.
  m_userPackets = new TUserPacketsForm(session, dialogs, &owner);
  m_colours = new TColoursForm(appearance, dialogs, &owner);
  m_properties = new TPropertiesForm(session, appearance, *m_colours, dialogs, &owner);
  m_about = new TAboutForm(&owner);
  m_filter = new TFilterForm(session, dialogs, &owner);
  m_statistics = new TStatisticsForm(session, appearance, &owner);
  TUserPacketsForm* grid = m_userPackets;
  Register(UserPacketsWindowName, *m_userPackets, Sizing::Sizeable, toolBar.bUserPackets,
           {UserPacketsGridPrefix, [grid] { return grid->ColumnWidths(); },
            [grid](const std::vector<int32_t>& widths) { grid->SetColumnWidths(widths); }});
  // The Properties window cannot be resized: only its place is restored.
  Register(PropertiesWindowName, *m_properties, Sizing::FixedBorder, toolBar.bProperties);
  Register(ColoursWindowName, *m_colours, Sizing::Sizeable, nullptr);
  // Not modal here: the box stays up beside the window until closed.
  Register({}, *m_about, Sizing::FixedBorder, toolBar.bHelp);
  Register(FilterWindowName, *m_filter, Sizing::Sizeable, toolBar.bFilter);
  TStatisticsForm* figures = m_statistics;
  Register(StatisticsWindowName, *m_statistics, Sizing::Sizeable, toolBar.bStatistics,
           {StatisticsGridPrefix, [figures] { return figures->ColumnWidths(); },
            [figures](const std::vector<int32_t>& widths) { figures->SetColumnWidths(widths); }});
  if (displayMenu) {
    QAction* item = displayMenu->addAction(QIcon(DrawToolIcon(ToolIcon::Statistics)), "Statistics\tAlt+T");
    item->setObjectName("mStatistics");
    QObject::connect(item, &QAction::triggered, toolBar.bStatistics, &QToolButton::click);
  }
}

void ToolWindows::Register(std::string_view name, QWidget& window, Sizing sizing, QToolButton* button, Grid grid) {
  if (button) {
    button->setEnabled(true);
    QObject::connect(button, &QToolButton::clicked, &window, [&window] {
      window.show();
      window.raise();
      window.activateWindow();
    });
  }
  if (!name.empty()) m_tools.push_back({name, &window, sizing, std::move(grid)});
}

void ToolWindows::Restore(SettingsStore& store, QWidget& main) {
  m_layouts = {};
  m_layouts.Add(MainWindowName, DesignedLayout(main));
  for (const Tool& tool : m_tools) {
    WindowLayout designed = DesignedLayout(*tool.Window);
    designed.Sizeable = tool.Sizes == Sizing::Sizeable;
    if (tool.ColumnGrid.Widths) {
      designed.GridPrefix = tool.ColumnGrid.Prefix;
      designed.ColumnWidths = tool.ColumnGrid.Widths();
    }
    m_layouts.Add(tool.Name, std::move(designed));
  }
  const QRect desktop = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->virtualGeometry()
                                                         : QRect(0, 0, 1024, 768);
  RestoreWindowLayouts(store, m_layouts, desktop.width(), desktop.height());
  Place(main, m_layouts.Find(MainWindowName)->Placement, true);
  for (const Tool& tool : m_tools) {
    const WindowLayout& layout = *m_layouts.Find(tool.Name);
    Place(*tool.Window, layout.Placement, layout.Sizeable);
    if (tool.ColumnGrid.SetWidths) tool.ColumnGrid.SetWidths(layout.ColumnWidths);
  }
}

void ToolWindows::KeepMain(SettingsStore& store, const QWidget& main) {
  WindowLayout* layout = m_layouts.Find(MainWindowName);
  if (!layout) layout = &m_layouts.Add(MainWindowName, DesignedLayout(main));
  layout->Placement = PlacementOf(main);
  layout->State = ShowStateOf(main);
  SaveMainWindowLayout(store, m_layouts);
}

void ToolWindows::KeepTools(SettingsStore& store) {
  for (const Tool& tool : m_tools) {
    WindowLayout* layout = m_layouts.Find(tool.Name);
    if (!layout) continue;
    layout->Placement = PlacementOf(*tool.Window);
    layout->State = ShowStateOf(*tool.Window);
    if (tool.ColumnGrid.Widths) layout->ColumnWidths = tool.ColumnGrid.Widths();
    tool.Window->hide();
  }
  SaveToolWindowLayouts(store, m_layouts);
}

}  // namespace tapwise
