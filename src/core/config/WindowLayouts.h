#pragma once
// The placements of the program's windows, each under its settings name,
// with the column widths of a window's grid where it has one. The windows
// are restored and saved in the order they were added, the main window
// first, which is the order the main window uses:
//
//   start-up: ReadUserSettings, then RestoreWindowLayouts (every window:
//             main window, User Defined Packets window and its grid,
//             Properties, Colours);
//   closing:  SaveMainWindowLayout; the project question; WriteUserSettings;
//             SaveToolWindowLayouts (every window after the main one).
//
// A window with a fixed border (the Properties window) has only its
// position restored; its size is still saved.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/config/WindowPlacement.h"

namespace tapwise {

class SettingsStore;

constexpr std::string_view MainWindowName = "TWForm";
constexpr std::string_view UserPacketsWindowName = "UserPacketsForm";
constexpr std::string_view PropertiesWindowName = "PropertiesForm";
constexpr std::string_view ColoursWindowName = "ColoursForm";
constexpr std::string_view FilterWindowName = "FilterForm";
constexpr std::string_view UserPacketsGridPrefix = "UserPacketsFormGrid";
constexpr std::string_view StatisticsWindowName = "StatisticsForm";
constexpr std::string_view StatisticsGridPrefix = "StatisticsFormGrid";

struct WindowLayout {
  WindowPlacement Placement;
  WindowShowState State = WindowShowState::Normal;
  bool Sizeable = true;
  // The grid's widths are kept under GridPrefix1, GridPrefix2, … when the
  // prefix is given; until the store says otherwise they are the designed.
  std::string GridPrefix;
  std::vector<int32_t> ColumnWidths;
};

class WindowLayouts {
 public:
  // The window's designed layout under its settings name, after those
  // added before; a name added again keeps its place and takes the layout.
  WindowLayout& Add(std::string_view name, WindowLayout designed);
  // Null when no window of that name was added.
  WindowLayout* Find(std::string_view name);
  const WindowLayout* Find(std::string_view name) const;

  // Name and layout of each window, in the order added.
  std::vector<std::pair<std::string, WindowLayout>>& Windows() { return m_windows; }
  const std::vector<std::pair<std::string, WindowLayout>>& Windows() const { return m_windows; }

 private:
  std::vector<std::pair<std::string, WindowLayout>> m_windows;
};

// Replaces each placement and width with its stored value; what is not
// stored keeps the value given (the designed one).
void RestoreWindowLayouts(SettingsStore& store, WindowLayouts& layouts, int32_t desktopWidth, int32_t desktopHeight);
// The main window's (MainWindowName) alone.
void SaveMainWindowLayout(SettingsStore& store, const WindowLayouts& layouts);
// Every other window's, in the order added.
void SaveToolWindowLayouts(SettingsStore& store, const WindowLayouts& layouts);

}  // namespace tapwise
