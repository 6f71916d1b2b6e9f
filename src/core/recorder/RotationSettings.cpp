#include "core/recorder/RotationSettings.h"

#include <cctype>
#include <cstddef>
#include <limits>

namespace tapwise {

namespace {

constexpr const char* Form = "takes SIZE[,COUNT] or every=TIME[,COUNT], e.g. 100M,10 or every=1h";

// Digits then at most one unit letter, the unit's multiplier taken from
// `units` ("KMG" → 1024, 1024², 1024³). False for anything else, zero and
// values past the limit.
bool ReadAmount(const std::string& text, const char* units, const uint64_t* multipliers, uint64_t limit,
                uint64_t& value) {
  size_t at = 0;
  uint64_t number = 0;
  while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
    number = number * 10 + static_cast<uint64_t>(text[at] - '0');
    if (number > limit) return false;
    ++at;
  }
  if (at == 0 || number == 0) return false;
  uint64_t multiplier = 1;
  if (at < text.size()) {
    if (at + 1 != text.size()) return false;
    const char unit = static_cast<char>(std::toupper(static_cast<unsigned char>(text[at])));
    size_t index = 0;
    while (units[index] != '\0' && units[index] != unit) ++index;
    if (units[index] == '\0') return false;
    multiplier = multipliers[index];
  }
  if (number > limit / multiplier) return false;
  value = number * multiplier;
  return true;
}

bool StartsWithEvery(const std::string& text) {
  if (text.size() < 6) return false;
  static constexpr char Every[] = "every=";
  for (size_t i = 0; i < 6; ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != Every[i]) return false;
  }
  return true;
}

// The largest value of each unit that divides `value` whole, as text.
std::string AmountText(uint64_t value, const char* units, const uint64_t* multipliers) {
  for (int index = static_cast<int>(std::char_traits<char>::length(units)) - 1; index >= 0; --index) {
    if (value % multipliers[index] == 0) return std::to_string(value / multipliers[index]) + units[index];
  }
  return std::to_string(value);
}

constexpr char SizeUnits[] = "KMG";
constexpr uint64_t SizeMultipliers[] = {1024ULL, 1024ULL * 1024, 1024ULL * 1024 * 1024};
constexpr char TimeUnits[] = "SMHD";
constexpr uint64_t TimeMultipliers[] = {1, 60, 3600, 86400};
// A year of seconds is more than any rotation wants, and far from overflow.
constexpr uint64_t LongestTime = 366ULL * 86400;
constexpr uint64_t LargestSize = 1ULL << 50;
constexpr uint64_t MostFiles = 1000000;

}  // namespace

Result ParseRotation(const std::string& text, RotationSettings& settings) {
  const size_t comma = text.find(',');
  const std::string limit = text.substr(0, comma);
  RotationSettings parsed;
  if (StartsWithEvery(limit)) {
    uint64_t seconds = 0;
    if (!ReadAmount(limit.substr(6), TimeUnits, TimeMultipliers, LongestTime, seconds)) {
      return Result::Failure(std::string(Form) + " ('" + limit.substr(6) +
                             "' is not a time: a number of s, m, h or d, at most 366d)");
    }
    parsed.EverySeconds = static_cast<int64_t>(seconds);
  } else if (!ReadAmount(limit, SizeUnits, SizeMultipliers, LargestSize, parsed.MaxBytes)) {
    return Result::Failure(std::string(Form) + " ('" + limit + "' is not a size: a number of bytes, K, M or G)");
  }
  if (comma != std::string::npos) {
    const std::string count = text.substr(comma + 1);
    uint64_t keep = 0;
    static constexpr uint64_t One[] = {1};
    if (!ReadAmount(count, "", One, MostFiles, keep)) {
      return Result::Failure(std::string(Form) + " ('" + count + "' is not a count of files from 1 to 1000000)");
    }
    parsed.Keep = static_cast<uint32_t>(keep);
  }
  settings = parsed;
  return Result::Success();
}

std::string RotationText(const RotationSettings& settings) {
  std::string text;
  if (settings.EverySeconds > 0) {
    text = "every=" + AmountText(static_cast<uint64_t>(settings.EverySeconds), TimeUnits, TimeMultipliers);
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  } else if (settings.MaxBytes > 0) {
    text = AmountText(settings.MaxBytes, SizeUnits, SizeMultipliers);
  } else {
    return text;
  }
  if (settings.Keep > 0) text += "," + std::to_string(settings.Keep);
  return text;
}

}  // namespace tapwise
