#pragma once
// What a project holds: the line settings of every port, the display and
// play options that belong to the job, the 60 user packets with their
// triggers, and the display's highlight rules. The defaults are the values the program starts with.

#include <array>
#include <cstdint>
#include <string>

#include "core/capture/PortSettings.h"
#include "core/recorder/PlaySettings.h"
#include "core/recorder/RotationSettings.h"
#include "core/userpackets/HighlightRules.h"
#include "core/userpackets/UserPacketRow.h"

namespace tapwise {

constexpr int ProjectPortCount = 128;

struct ProjectData {
  std::array<PortSettings, ProjectPortCount + 1> Ports{};  // by COM number; index 0 unused
  std::array<std::string, ProjectPortCount + 1> Names{};   // the user's port names, "" for none
  bool HexDisplay = true;
  uint16_t PacketGap = 10;  // milliseconds
  PlaySettings Play;
  RotationSettings Rotation;  // how the window's recordings move on to new files
  UserPacketRows Rows;  // by row number; index 0 unused
  HighlightRuleSet Highlights = DefaultHighlightRules();
  bool operator==(const ProjectData&) const = default;
};

}  // namespace tapwise
