#include "core/platform/LineSpec.h"

#include <cctype>
#include <vector>

#include "core/util/AnsiStringLib.h"

namespace tapwise {

namespace {

std::optional<uint32_t> ParseRate(std::string_view text) { return DecimalNumber(text, 9); }

// "8N1", "7e2", "5N1.5".
bool ParseFrame(std::string_view text, LineSpec& spec) {
  if (text.size() < 3) return false;
  if (text[0] < '5' || text[0] > '8') return false;
  switch (std::toupper(static_cast<unsigned char>(text[1]))) {
    case 'N': spec.Parity = ParityNone; break;
    case 'O': spec.Parity = ParityOdd; break;
    case 'E': spec.Parity = ParityEven; break;
    case 'M': spec.Parity = ParityMark; break;
    case 'S': spec.Parity = ParitySpace; break;
    default: return false;
  }
  const std::string_view stop = text.substr(2);
  if (stop == "1") {
    spec.StopBits = StopOne;
  } else if (stop == "1.5") {
    spec.StopBits = StopOneAndHalf;
  } else if (stop == "2") {
    spec.StopBits = StopTwo;
  } else {
    return false;
  }
  spec.DataBits = static_cast<uint8_t>(text[0] - '0');
  return true;
}

std::vector<std::string_view> SplitCommas(std::string_view text) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    const size_t comma = text.find(',', start);
    parts.push_back(text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    if (comma == std::string_view::npos) return parts;
    start = comma + 1;
  }
}

bool IsRateOrFrame(std::string_view part) {
  LineSpec ignored;
  return ParseRate(part).has_value() || ParseFrame(part, ignored);
}

}  // namespace

LineFormat LineSpec::AppliedTo(LineFormat format) const {
  if (BaudRate) format.BaudRate = *BaudRate;
  if (DataBits) {
    format.DataBits = *DataBits;
    format.Parity = Parity;
    format.StopBits = StopBits;
  }
  return format;
}

LineSpecParse ParseLineSpec(std::string_view text) {
  LineSpecParse result;
  if (text.empty()) {
    result.Problem = "expected a rate, data bits, parity and stop bits, or both, e.g. 115200,8N1";
    return result;
  }
  LineSpec spec;
  const std::vector<std::string_view> parts = SplitCommas(text);
  if (parts.size() > 2) {
    result.Problem = "expected at most a rate and a frame, e.g. 115200,8N1";
    return result;
  }
  for (std::string_view part : parts) {
    if (std::optional<uint32_t> rate = ParseRate(part)) {
      if (spec.BaudRate || spec.DataBits) {
        result.Problem = "the rate comes first, and once";
        return result;
      }
      if (*rate < LowestLineRate || *rate > HighestLineRate) {
        result.Problem = "the rate " + std::string(part) + " is outside " + std::to_string(LowestLineRate) + " to " +
                         std::to_string(HighestLineRate);
        return result;
      }
      spec.BaudRate = rate;
    } else if (!spec.DataBits && ParseFrame(part, spec)) {
      if (spec.StopBits == StopOneAndHalf && spec.DataBits != 5) {
        result.Problem = "1.5 stop bits go only with 5 data bits";
        return result;
      }
    } else {
      result.Problem = (part.empty() ? std::string("an empty part") : std::string(part)) +
                       " is neither a rate nor data bits (5-8), parity (N, E, O, M, S) and stop bits (1, 1.5, 2) "
                       "such as 8N1";
      return result;
    }
  }
  result.Line = spec;
  return result;
}

SplitTarget SplitLineSuffix(std::string_view target) {
  std::string_view link;
  for (size_t at = 0; (at = target.find(',', at)) != std::string_view::npos; ++at) {
    const std::string_view rest = target.substr(at);
    if (rest.size() >= 6 && std::tolower(static_cast<unsigned char>(rest[1])) == 'l' &&
        std::tolower(static_cast<unsigned char>(rest[2])) == 'i' &&
        std::tolower(static_cast<unsigned char>(rest[3])) == 'n' &&
        std::tolower(static_cast<unsigned char>(rest[4])) == 'k' && rest[5] == '=') {
      link = rest;
      target = target.substr(0, at);
      break;
    }
  }
  // At most two trailing parts, and never the whole target: "-port:5=9600"
  // names no device.
  size_t cut = target.size();
  for (int taken = 0; taken < 2; ++taken) {
    const size_t comma = target.rfind(',', cut == 0 ? 0 : cut - 1);
    if (comma == std::string_view::npos || comma == 0) break;
    if (!IsRateOrFrame(target.substr(comma + 1, cut - comma - 1))) break;
    cut = comma;
  }
  SplitTarget split;
  split.Target = std::string(target.substr(0, cut)) + std::string(link);
  if (cut < target.size()) {
    LineSpecParse parsed = ParseLineSpec(target.substr(cut + 1));
    if (parsed.Line) {
      split.Line = parsed.Line;
    } else {
      split.Problem = parsed.Problem;
    }
  }
  return split;
}

std::string LineFormatText(const LineFormat& format) {
  static constexpr char ParityLetters[] = "NOEMS";
  std::string text = std::to_string(format.BaudRate) + ",";
  text += static_cast<char>('0' + format.DataBits);
  text += format.Parity < 5 ? ParityLetters[format.Parity] : '?';
  text += format.StopBits == StopTwo ? "2" : format.StopBits == StopOneAndHalf ? "1.5" : "1";
  return text;
}

}  // namespace tapwise
