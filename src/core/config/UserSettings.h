#pragma once
// The settings the main window keeps in the settings store besides window
// placements: the display font, the colours, the last file names and the
// precision of the display's packet times.
//
// Read when the main window is first shown and written when it closes, each
// in a fixed order (a fresh store gets its lines in the read order):
// "FontName", "FontSize", "Colour0".."Colour18", "ConfigName",
// "RecordName", "RecordType", "DisplayTime".
// "RecordName", "RecordType", "HistoryPackets", "HistoryMegabytes".

#include <cstdint>
#include <string>
#include <string_view>

#include "core/config/ColourTable.h"
#include "core/display/PacketHistory.h"
#include "core/format/PacketTime.h"

namespace tapwise {

class SettingsStore;

constexpr std::string_view DefaultFontName = "FixedSys";
constexpr int32_t DefaultFontSize = 9;

struct UserSettings {
  std::string FontName{DefaultFontName};
  // As stored; the display fits it to the sizes it can show.
  int32_t FontSize = DefaultFontSize;
  ColourTable Colours;
  std::string ConfigName;  // the current project file
  std::string RecordName;  // the last record or play file
  int32_t RecordType = 0;  // the last file type chosen in the record/play dialogs
  // The display's packet times: tenths (the packet data file's), ms or us,
  // stored by name; anything else reads as tenths.
  TimeStyle DisplayTime = TimeStyle::Tenths;
  HistoryLimits History;   // of the display's history, held to their ranges
  bool operator==(const UserSettings&) const = default;
};

// Every value from the store, its default where the store has none; an
// empty font name means DefaultFontName.
UserSettings ReadUserSettings(SettingsStore& store);
void WriteUserSettings(SettingsStore& store, const UserSettings& settings);

}  // namespace tapwise
