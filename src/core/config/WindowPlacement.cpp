#include "core/config/WindowPlacement.h"

#include <string>

#include "core/config/INIUnit.h"
#include "core/util/AnsiStringLib.h"

namespace tapwise {

namespace {

std::string PlacementKey(std::string_view windowName, std::string_view part) {
  std::string key = "Win";
  key += windowName;
  key += part;
  return key;
}

std::string ColumnKey(std::string_view prefix, size_t column) {
  return std::string(prefix) + UIntToText(static_cast<uint32_t>(column + 1));
}

// In 64 bits: a stored position near the top of the 32-bit range must not
// wrap round to a small one.
int32_t Reachable(int32_t position, int32_t desktopExtent) {
  return int64_t{position} + ReachableMargin >= int64_t{desktopExtent} ? 0 : position;
}

}  // namespace

WindowPlacement RestorePlacement(SettingsStore& store, std::string_view windowName, const WindowPlacement& current,
                                 int32_t desktopWidth, int32_t desktopHeight, bool sizeable) {
  WindowPlacement placement = current;
  placement.Left = Reachable(store.ReadInteger(PlacementKey(windowName, "Left"), current.Left), desktopWidth);
  placement.Top = Reachable(store.ReadInteger(PlacementKey(windowName, "Top"), current.Top), desktopHeight);
  if (sizeable) {
    placement.Width = store.ReadInteger(PlacementKey(windowName, "Width"), current.Width);
    placement.Height = store.ReadInteger(PlacementKey(windowName, "Height"), current.Height);
  }
  return placement;
}

void SavePlacement(SettingsStore& store, std::string_view windowName, const WindowPlacement& placement,
                   WindowShowState state) {
  if (state != WindowShowState::Normal) return;
  store.WriteInteger(PlacementKey(windowName, "Left"), placement.Left);
  store.WriteInteger(PlacementKey(windowName, "Top"), placement.Top);
  store.WriteInteger(PlacementKey(windowName, "Width"), placement.Width);
  store.WriteInteger(PlacementKey(windowName, "Height"), placement.Height);
}

std::vector<int32_t> RestoreColumnWidths(SettingsStore& store, std::string_view prefix,
                                         const std::vector<int32_t>& current) {
  std::vector<int32_t> widths = current;
  for (size_t column = 0; column < widths.size(); ++column) {
    widths[column] = store.ReadInteger(ColumnKey(prefix, column), current[column]);
  }
  return widths;
}

void SaveColumnWidths(SettingsStore& store, std::string_view prefix, const std::vector<int32_t>& widths) {
  for (size_t column = 0; column < widths.size(); ++column) store.WriteInteger(ColumnKey(prefix, column), widths[column]);
}

}  // namespace tapwise
