#include "core/format/PacketTime.h"

#include <cctype>
#include <cstdio>

namespace tapwise {

namespace {

constexpr int64_t MicrosPerSecond = 1'000'000;
constexpr int64_t MicrosPerDay = 86'400 * MicrosPerSecond;

// Floor division: times before 1970 still give the right day and time of day.
int64_t FloorDiv(int64_t value, int64_t by) { return value / by - (value % by < 0 ? 1 : 0); }

struct CivilDate {
  int64_t Year;
  unsigned Month;
  unsigned Day;
};

// Days since 1970-01-01 to a proleptic Gregorian date.
CivilDate CivilFromDays(int64_t days) {
  days += 719468;
  const int64_t era = FloorDiv(days, 146097);
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned shifted = (5 * dayOfYear + 2) / 153;
  const unsigned day = dayOfYear - (153 * shifted + 2) / 5 + 1;
  const unsigned month = shifted < 10 ? shifted + 3 : shifted - 9;
  return {static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

struct StyleName {
  TimeStyle Style;
  const char* Name;
};
constexpr StyleName StyleNames[] = {{TimeStyle::Tenths, "tenths"},
                                    {TimeStyle::Milliseconds, "ms"},
                                    {TimeStyle::Microseconds, "us"},
                                    {TimeStyle::Iso, "iso"},
                                    {TimeStyle::Delta, "delta"}};

bool SameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

}  // namespace

const char* TimeStyleName(TimeStyle style) {
  for (const StyleName& entry : StyleNames) {
    if (entry.Style == style) return entry.Name;
  }
  return StyleNames[0].Name;
}

std::optional<TimeStyle> TimeStyleNamed(std::string_view name) {
  for (const StyleName& entry : StyleNames) {
    if (SameLetters(name, entry.Name)) return entry.Style;
  }
  return std::nullopt;
}

int64_t PacketUnixMicroseconds(DateTime time) { return LocalToUnixMicroseconds(time); }

std::string PacketTimeText(TimeStyle style, DateTime time, int64_t deltaMicros) {
  char text[64];
  if (style == TimeStyle::Delta) {
    const int64_t magnitude = deltaMicros < 0 ? -deltaMicros : deltaMicros;
    std::snprintf(text, sizeof text, "%c%lld.%06lld", deltaMicros < 0 ? '-' : '+',
                  static_cast<long long>(magnitude / MicrosPerSecond),
                  static_cast<long long>(magnitude % MicrosPerSecond));
    return text;
  }
  const int64_t local = MicrosecondsOf(time);
  const int64_t days = FloorDiv(local, MicrosPerDay);
  const int64_t ofDay = local - days * MicrosPerDay;
  const auto hour = static_cast<int>(ofDay / (3600 * MicrosPerSecond));
  const auto minute = static_cast<int>(ofDay / (60 * MicrosPerSecond) % 60);
  const auto second = static_cast<int>(ofDay / MicrosPerSecond % 60);
  const auto micros = static_cast<long>(ofDay % MicrosPerSecond);
  switch (style) {
    case TimeStyle::Tenths: {
      // Exactly as the hex line of a packet data file has it.
      const TimeOfDay rounded = DecodeTime(time);
      std::snprintf(text, sizeof text, "%02d:%02d.%d", rounded.Minute, rounded.Second, rounded.Millisecond / 100);
      break;
    }
    case TimeStyle::Milliseconds:
      std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03ld", hour, minute, second, micros / 1000);
      break;
    case TimeStyle::Microseconds:
      std::snprintf(text, sizeof text, "%02d:%02d:%02d.%06ld", hour, minute, second, micros);
      break;
    case TimeStyle::Iso: {
      const CivilDate date = CivilFromDays(days);
      // The zone is what separates the local clock from UTC at that instant.
      const int64_t offsetMinutes = (local - LocalToUnixMicroseconds(time)) / (60 * MicrosPerSecond);
      const int64_t offset = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
      std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02d:%02d:%02d.%06ld%c%02lld:%02lld",
                    static_cast<long long>(date.Year), date.Month, date.Day, hour, minute, second, micros,
                    offsetMinutes < 0 ? '-' : '+', static_cast<long long>(offset / 60),
                    static_cast<long long>(offset % 60));
      break;
    }
    case TimeStyle::Delta: break;
  }
  return text;
}

}  // namespace tapwise
