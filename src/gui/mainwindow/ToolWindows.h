#pragma once
// The main window's tool windows in one place: each is made here with the
// session, the appearance and the dialogs (never the main window), shown by
// its toolbar button, and placed and kept under its settings name. A new
// tool window is made and registered in the constructor, in one line.
//
// Start-up takes the designed places of the main window and of every
// registered window, then the stored ones (Restore); closing keeps the main
// window's place first (KeepMain), and the tool windows' after the project
// question and the user settings (KeepTools), as core/config/WindowLayouts.h
// describes. Main thread only; the owner outlives the windows it parents.

#include <functional>
#include <string_view>
#include <vector>

#include "core/config/WindowLayouts.h"

class QMenu;
class QToolButton;
class QWidget;

namespace tapwise {

class Appearance;
class MainToolBar;
class MonitorSession;
class SettingsStore;
class TAboutForm;
class TColoursForm;
class TFilterForm;
class TPropertiesForm;
class TStatisticsForm;
class TUserPacketsForm;
class WindowDialogs;

class ToolWindows {
 public:
  // The windows are the owner's children and go with it; each toolbar
  // button is enabled once its window exists. The display's popup menu,
  // when given, gets an item for the Statistics window.
  ToolWindows(MonitorSession& session, Appearance& appearance, WindowDialogs& dialogs, MainToolBar& toolBar,
              QWidget& owner, QMenu* displayMenu = nullptr);

  TUserPacketsForm& UserPackets() const { return *m_userPackets; }
  TPropertiesForm& Properties() const { return *m_properties; }
  TColoursForm& Colours() const { return *m_colours; }
  TAboutForm& About() const { return *m_about; }
  TFilterForm& Filter() const { return *m_filter; }
  TStatisticsForm& Statistics() const { return *m_statistics; }

  void Restore(SettingsStore& store, QWidget& main);
  void KeepMain(SettingsStore& store, const QWidget& main);
  // Also hides the tool windows: the program is ending.
  void KeepTools(SettingsStore& store);

 private:
  enum class Sizing { Sizeable, FixedBorder };
  // How a window with a grid gives and takes its column widths.
  struct Grid {
    std::string_view Prefix;
    std::function<std::vector<int32_t>()> Widths;
    std::function<void(const std::vector<int32_t>&)> SetWidths;
  };
  struct Tool {
    std::string_view Name;
    QWidget* Window;
    Sizing Sizes;
    Grid ColumnGrid;
  };
  // Shows the window from the button (when given); placed and kept under the
  // name (when given).
  void Register(std::string_view name, QWidget& window, Sizing sizing, QToolButton* button, Grid grid = {});

  TUserPacketsForm* m_userPackets;
  TColoursForm* m_colours;
  TPropertiesForm* m_properties;
  TAboutForm* m_about;
  TFilterForm* m_filter;
  TStatisticsForm* m_statistics;
  std::vector<Tool> m_tools;
  WindowLayouts m_layouts;
};

}  // namespace tapwise
