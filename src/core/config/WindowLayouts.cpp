#include "core/config/WindowLayouts.h"

#include "core/config/INIUnit.h"

namespace tapwise {

void RestoreWindowLayouts(SettingsStore& store, WindowLayouts& layouts, int32_t desktopWidth, int32_t desktopHeight) {
  auto restore = [&](WindowLayout& layout, std::string_view name, bool sizeable) {
    layout.Placement = RestorePlacement(store, name, layout.Placement, desktopWidth, desktopHeight, sizeable);
  };
  restore(layouts.Main, MainWindowName, true);
  restore(layouts.UserPackets, UserPacketsWindowName, true);
  layouts.UserPacketsGrid = RestoreColumnWidths(store, UserPacketsGridPrefix, layouts.UserPacketsGrid);
  restore(layouts.Properties, PropertiesWindowName, false);
  restore(layouts.Colours, ColoursWindowName, true);
}

void SaveMainWindowLayout(SettingsStore& store, const WindowLayouts& layouts) {
  SavePlacement(store, MainWindowName, layouts.Main.Placement, layouts.Main.State);
}

void SaveToolWindowLayouts(SettingsStore& store, const WindowLayouts& layouts) {
  SavePlacement(store, UserPacketsWindowName, layouts.UserPackets.Placement, layouts.UserPackets.State);
  SaveColumnWidths(store, UserPacketsGridPrefix, layouts.UserPacketsGrid);
  SavePlacement(store, PropertiesWindowName, layouts.Properties.Placement, layouts.Properties.State);
  SavePlacement(store, ColoursWindowName, layouts.Colours.Placement, layouts.Colours.State);
}

}  // namespace tapwise
