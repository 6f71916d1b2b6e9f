#include "core/config/WindowLayouts.h"

#include "core/config/INIUnit.h"

namespace tapwise {

WindowLayout& WindowLayouts::Add(std::string_view name, WindowLayout designed) {
  if (WindowLayout* known = Find(name)) return *known = std::move(designed);
  return m_windows.emplace_back(std::string(name), std::move(designed)).second;
}

WindowLayout* WindowLayouts::Find(std::string_view name) {
  for (auto& [known, layout] : m_windows) {
    if (known == name) return &layout;
  }
  return nullptr;
}

const WindowLayout* WindowLayouts::Find(std::string_view name) const {
  return const_cast<WindowLayouts*>(this)->Find(name);
}

void RestoreWindowLayouts(SettingsStore& store, WindowLayouts& layouts, int32_t desktopWidth, int32_t desktopHeight) {
  for (auto& [name, layout] : layouts.Windows()) {
    layout.Placement = RestorePlacement(store, name, layout.Placement, desktopWidth, desktopHeight, layout.Sizeable);
    if (!layout.GridPrefix.empty()) {
      layout.ColumnWidths = RestoreColumnWidths(store, layout.GridPrefix, layout.ColumnWidths);
    }
  }
}

void SaveMainWindowLayout(SettingsStore& store, const WindowLayouts& layouts) {
  if (const WindowLayout* main = layouts.Find(MainWindowName)) {
    SavePlacement(store, MainWindowName, main->Placement, main->State);
  }
}

void SaveToolWindowLayouts(SettingsStore& store, const WindowLayouts& layouts) {
  for (const auto& [name, layout] : layouts.Windows()) {
    if (name == MainWindowName) continue;
    SavePlacement(store, name, layout.Placement, layout.State);
    if (!layout.GridPrefix.empty()) SaveColumnWidths(store, layout.GridPrefix, layout.ColumnWidths);
  }
}

}  // namespace tapwise
