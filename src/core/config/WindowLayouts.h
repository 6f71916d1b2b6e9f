#pragma once
// The placements of the program's four windows and the column widths of the
// user packets grid, restored and saved in the order the main window uses:
//
//   start-up: ReadUserSettings, then RestoreWindowLayouts (main window,
//             User Defined Packets window, its grid, Properties, Colours);
//   closing:  SaveMainWindowLayout; the project question; WriteUserSettings;
//             SaveToolWindowLayouts (User Defined Packets, grid, Properties,
//             Colours).
//
// The Properties window has a fixed border, so only its position is
// restored; its size is still saved.

#include <cstdint>
#include <string_view>
#include <vector>

#include "core/config/WindowPlacement.h"

namespace tapwise {

class SettingsStore;

constexpr std::string_view MainWindowName = "TWForm";
constexpr std::string_view UserPacketsWindowName = "UserPacketsForm";
constexpr std::string_view PropertiesWindowName = "PropertiesForm";
constexpr std::string_view ColoursWindowName = "ColoursForm";
constexpr std::string_view UserPacketsGridPrefix = "UserPacketsFormGrid";

struct WindowLayout {
  WindowPlacement Placement;
  WindowShowState State = WindowShowState::Normal;
};

struct WindowLayouts {
  WindowLayout Main;
  WindowLayout UserPackets;
  WindowLayout Properties;
  WindowLayout Colours;
  // The grid's designed widths until the store says otherwise.
  std::vector<int32_t> UserPacketsGrid{62, 255, 141};
};

// Replaces each placement and width with its stored value; what is not
// stored keeps the value given (the designed one).
void RestoreWindowLayouts(SettingsStore& store, WindowLayouts& layouts, int32_t desktopWidth, int32_t desktopHeight);
void SaveMainWindowLayout(SettingsStore& store, const WindowLayouts& layouts);
void SaveToolWindowLayouts(SettingsStore& store, const WindowLayouts& layouts);

}  // namespace tapwise
