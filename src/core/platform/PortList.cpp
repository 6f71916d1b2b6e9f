#include "core/platform/PortList.h"

#include <optional>

#include "core/util/AnsiStringLib.h"

namespace tapwise {

namespace {

std::optional<int> ComNumber(std::string_view text) {
  const std::optional<uint32_t> value = DecimalNumber(text, 3);
  if (!value || *value < 1 || *value > MaxComPorts) return std::nullopt;
  return static_cast<int>(*value);
}

}  // namespace

PortListParse ParsePortList(std::string_view text) {
  PortListParse result;
  if (text.empty()) {
    result.Problem = "expected COM numbers and ranges, e.g. 1,33-40,97";
    return result;
  }
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) comma = text.size();
    const std::string_view part = text.substr(start, comma - start);
    const size_t dash = part.find('-');
    const std::optional<int> first = ComNumber(part.substr(0, dash));
    const std::optional<int> last = dash == std::string_view::npos ? first : ComNumber(part.substr(dash + 1));
    if (!first || !last) {
      result.Problem = (part.empty() ? std::string("an empty entry") : "\"" + std::string(part) + "\"") +
                       " is not a COM number (1 to " + std::to_string(MaxComPorts) + ") or a range such as 33-40";
      return result;
    }
    if (*last < *first) {
      result.Problem = "the range " + std::string(part) + " runs backwards";
      return result;
    }
    for (int n = *first; n <= *last; ++n) result.Ports.set(static_cast<size_t>(n));
    start = comma + 1;
  }
  return result;
}

}  // namespace tapwise
