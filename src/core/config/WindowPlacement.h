#pragma once
// Where a window was, kept in the settings store under "Win" + the window's
// name + "Left", "Top", "Width" and "Height"; and the column widths of a
// grid, under a prefix followed by the column number from 1.
//
// Positions and sizes are the window's outer frame in screen pixels.

#include <cstdint>
#include <string_view>
#include <vector>

namespace tapwise {

class SettingsStore;

struct WindowPlacement {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  bool operator==(const WindowPlacement&) const = default;
};

enum class WindowShowState : uint8_t { Normal, Minimised, Maximised };

// A window keeps its stored position unless that puts its left or top edge
// within this many pixels of the desktop's right or bottom edge, or beyond:
// then it moves to 0 on that axis, so it can always be reached. Negative
// positions (a monitor to the left or above) are left alone.
constexpr int32_t ReachableMargin = 32;

// The stored placement, each value defaulting to the current one. Width and
// Height are read only for a window whose border can be resized; a fixed
// window keeps its designed size.
WindowPlacement RestorePlacement(SettingsStore& store, std::string_view windowName, const WindowPlacement& current,
                                 int32_t desktopWidth, int32_t desktopHeight, bool sizeable);

// Writes all four values, whatever the border, unless the window is
// minimised or maximised: its normal placement then stays as stored.
void SavePlacement(SettingsStore& store, std::string_view windowName, const WindowPlacement& placement,
                   WindowShowState state);

// Each width read under prefix + (column + 1), defaulting to the current one.
std::vector<int32_t> RestoreColumnWidths(SettingsStore& store, std::string_view prefix,
                                         const std::vector<int32_t>& current);
void SaveColumnWidths(SettingsStore& store, std::string_view prefix, const std::vector<int32_t>& widths);

}  // namespace tapwise
