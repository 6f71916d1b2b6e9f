#include "core/config/UserSettings.h"

#include <algorithm>

#include "core/config/INIUnit.h"
#include "core/util/AnsiStringLib.h"

namespace tapwise {

namespace {

std::string ColourKey(size_t entry) {
  return "Colour" + UIntToText(static_cast<uint32_t>(entry));
}

// The precisions the display offers.
TimeStyle DisplayTimeNamed(const std::string& name) {
  const std::optional<TimeStyle> style = TimeStyleNamed(name);
  if (style == TimeStyle::Milliseconds || style == TimeStyle::Microseconds) return *style;
  return TimeStyle::Tenths;
}

}  // namespace

UserSettings ReadUserSettings(SettingsStore& store) {
  UserSettings settings;
  settings.FontName = store.ReadText("FontName");
  if (settings.FontName.empty()) settings.FontName = DefaultFontName;
  settings.FontSize = store.ReadInteger("FontSize", DefaultFontSize);
  for (size_t entry = 0; entry < ColourTable::Count; ++entry) {
    settings.Colours[entry] = store.ReadInteger(ColourKey(entry), ColourTable::Default(entry));
  }
  settings.ConfigName = store.ReadText("ConfigName");
  settings.RecordName = store.ReadText("RecordName");
  settings.RecordType = store.ReadInteger("RecordType", 0);
  settings.DisplayTime = DisplayTimeNamed(store.ReadText("DisplayTime"));
  // Stored as typed, held to the ranges only here: a hand-edited value
  // must neither lose the history nor take all the memory.
  const auto packets = store.ReadInteger("HistoryPackets", static_cast<int32_t>(HistoryLimits::DefaultPackets));
  const auto megabytes = store.ReadInteger("HistoryMegabytes", static_cast<int32_t>(HistoryLimits::DefaultMegabytes));
  settings.History = HistoryLimits{static_cast<size_t>(std::max(packets, 0)), static_cast<size_t>(std::max(megabytes, 0))}.Bounded();
  return settings;
}

void WriteUserSettings(SettingsStore& store, const UserSettings& settings) {
  store.WriteText("FontName", settings.FontName);
  store.WriteInteger("FontSize", settings.FontSize);
  for (size_t entry = 0; entry < ColourTable::Count; ++entry) {
    store.WriteInteger(ColourKey(entry), settings.Colours[entry]);
  }
  store.WriteText("ConfigName", settings.ConfigName);
  store.WriteText("RecordName", settings.RecordName);
  store.WriteInteger("RecordType", settings.RecordType);
  store.WriteText("DisplayTime", TimeStyleName(settings.DisplayTime));
  store.WriteInteger("HistoryPackets", static_cast<int32_t>(settings.History.Packets));
  store.WriteInteger("HistoryMegabytes", static_cast<int32_t>(settings.History.Megabytes));
}

}  // namespace tapwise
