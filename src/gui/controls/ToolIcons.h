#pragma once
// The program's small pictures, drawn in code so that they stay sharp and no
// image files need shipping: the main toolbar's buttons, the port tab's
// enabled/disabled mark, the display filter's funnel and the popup menus' play, cut, copy and paste
// images.

#include <QPixmap>

namespace tapwise {

enum class ToolIcon {
  OpenProject,
  Freeze,
  Clear,
  Play,
  Record,
  Stop,
  Pause,
  Options,
  UserPackets,
  About,
  PortDisabled,
  PortEnabled,
  Copy,
  PlayPacket,
  Cut,
  Paste,
  Filter,
  Statistics,
  Find,
};

// A 16 × 16 picture on a transparent background.
QPixmap DrawToolIcon(ToolIcon icon);

}  // namespace tapwise
