#include "extcap/ExtcapOptions.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace tapwise {

namespace {

// "--name value" or "--name=value": the value, or nothing when the
// argument is not this option.
class ArgumentReader {
 public:
  explicit ArgumentReader(const std::vector<std::string>& args) : m_args(args) {}
  bool Done() const { return m_next >= m_args.size(); }
  const std::string& Current() const { return m_args[m_next]; }
  void Skip() { ++m_next; }
  bool Flag(const char* name) {
    if (Current() != name) return false;
    ++m_next;
    return true;
  }
  // Takes the option and its value; a missing value is a problem of its own.
  std::optional<std::string> Value(const char* name, std::vector<std::string>& problems) {
    const std::string& arg = Current();
    const std::string prefix = std::string(name) + "=";
    if (arg.compare(0, prefix.size(), prefix) == 0) {
      ++m_next;
      return arg.substr(prefix.size());
    }
    if (arg != name) return std::nullopt;
    ++m_next;
    if (Done()) {
      problems.push_back(std::string(name) + " needs a value");
      return std::string();
    }
    return m_args[m_next++];
  }

 private:
  const std::vector<std::string>& m_args;
  size_t m_next = 0;
};

std::optional<int> Number(const std::string& text, int lowest, int highest) {
  if (text.empty() || text.size() > 6 || !std::all_of(text.begin(), text.end(), [](unsigned char c) {
        return std::isdigit(c) != 0;
      })) {
    return std::nullopt;
  }
  const int value = std::stoi(text);
  if (value < lowest || value > highest) return std::nullopt;
  return value;
}

// "40=/dev/ttyUSB0 41=rfc2217://host:2001": each entry is what -port:
// takes; entries are parted by spaces or semicolons (a target may hold
// commas of its own: line settings after a path).
void ParseMap(const std::string& text, ExtcapOptions& options) {
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = std::min(text.find_first_of(" ;", start), text.size());
    const std::string entry = text.substr(start, end - start);
    if (!entry.empty()) options.PortOptions.push_back("-port:" + entry);
    start = end + 1;
  }
}

}  // namespace

ExtcapOptions ParseExtcapArguments(const std::vector<std::string>& args) {
  ExtcapOptions options;
  std::vector<std::string>& problems = options.Problems;
  ArgumentReader reader(args);
  auto setMode = [&](ExtcapMode mode) {
    // Two queries in one call are the caller's mistake.
    if (options.Mode != ExtcapMode::None && options.Mode != mode) {
      problems.push_back("give one of --extcap-interfaces, --extcap-dlts, --extcap-config and --capture");
    }
    options.Mode = mode;
  };
  while (!reader.Done()) {
    if (reader.Flag("--extcap-interfaces")) {
      setMode(ExtcapMode::Interfaces);
    } else if (reader.Flag("--extcap-dlts")) {
      setMode(ExtcapMode::Dlts);
    } else if (reader.Flag("--extcap-config")) {
      setMode(ExtcapMode::Config);
    } else if (reader.Flag("--capture")) {
      setMode(ExtcapMode::Capture);
    } else if (reader.Flag("--help") || reader.Flag("-h")) {
      options.Mode = ExtcapMode::Help;
    } else if (reader.Flag("--version")) {
      options.Mode = ExtcapMode::Version;
    } else if (auto version = reader.Value("--extcap-version", problems)) {
      options.ExtcapVersion = *version;
    } else if (auto name = reader.Value("--extcap-interface", problems)) {
      options.Interface = *name;
    } else if (auto fifo = reader.Value("--fifo", problems)) {
      options.Fifo = *fifo;
    } else if (auto ports = reader.Value("--ports", problems)) {
      // The analyser passes an empty string for a field left blank.
      if (!ports->empty()) {
        const PortListParse parsed = ParsePortList(*ports);
        if (!parsed.Problem.empty()) {
          problems.push_back("--ports " + *ports + ": " + parsed.Problem);
        } else {
          options.Ports = parsed.Ports;
          options.PortsGiven = true;
        }
      }
    } else if (auto map = reader.Value("--map", problems)) {
      ParseMap(*map, options);
    } else if (auto line = reader.Value("--line", problems)) {
      if (!line->empty()) {
        LineSpecParse parsed = ParseLineSpec(*line);
        if (!parsed.Line) {
          problems.push_back("--line " + *line + ": " + parsed.Problem);
        } else {
          options.Line = *parsed.Line;
          options.LineText = *line;
          options.LineGiven = true;
        }
      }
    } else if (auto gap = reader.Value("--gap", problems)) {
      const std::optional<int> value = Number(*gap, LowestExtcapGap, HighestExtcapGap);
      if (!value) {
        problems.push_back("--gap takes " + std::to_string(LowestExtcapGap) + " to " +
                           std::to_string(HighestExtcapGap) + " (milliseconds)");
      } else {
        options.Gap = *value;
        options.GapGiven = true;
      }
    } else if (auto linkType = reader.Value("--linktype", problems)) {
      const std::optional<int> value = Number(*linkType, 0, 65535);
      if (!value) {
        problems.push_back("--linktype takes a link type from 0 to 65535");
      } else {
        options.LinkType = *value;
      }
    } else if (reader.Flag("--debug") || reader.Value("--debug-file", problems) ||
               reader.Value("--extcap-capture-filter", problems) || reader.Value("--extcap-control-in", problems) ||
               reader.Value("--extcap-control-out", problems)) {
      // The analyser's own: this program has no filter, controls or debug log.
    } else {
      options.Ignored.push_back(reader.Current());
      reader.Skip();
    }
  }
  if (options.Mode == ExtcapMode::Capture) {
    if (options.Interface.empty()) problems.push_back("--capture needs --extcap-interface");
    if (options.Fifo.empty()) problems.push_back("--capture needs --fifo");
  }
  if ((options.Mode == ExtcapMode::Dlts || options.Mode == ExtcapMode::Config) && options.Interface.empty()) {
    problems.push_back(std::string(options.Mode == ExtcapMode::Dlts ? "--extcap-dlts" : "--extcap-config") +
                       " needs --extcap-interface");
  }
  return options;
}

std::string ExtcapUsageText() {
  return "Usage: tapwise-extcap --extcap-interfaces [--extcap-version=VERSION]\n"
         "       tapwise-extcap --extcap-dlts --extcap-interface NAME\n"
         "       tapwise-extcap --extcap-config --extcap-interface NAME\n"
         "       tapwise-extcap --capture --extcap-interface NAME --fifo PATH\n"
         "                      [--ports LIST] [--map \"N=TARGET ...\"] [--line RATE,FRAME]\n"
         "                      [--gap MS] [--linktype N]\n"
         "The serial-port monitor's capture interface for a packet analyser, which\n"
         "calls it from its extcap folder. Each running monitor offers its ports\n"
         "through its live feed; with none running, the ports are opened here.\n"
         "  --ports LIST     the ports of an \"all ports\" interface, e.g. 1,33-40\n"
         "  --map LIST       more ports for a capture of our own, each as -port:\n"
         "                   takes it (40=/dev/ttyAMA0 41=rfc2217://host:2001)\n"
         "  --line SETTINGS  line settings of the ports opened here (115200,8N1)\n"
         "  --gap MS         the quiet gap that ends a packet, 5 to 5000 (default 10)\n"
         "  --linktype N     the pcapng link type of a capture of our own (default 147;\n"
         "                   250 carries direction, line errors and modem lines)\n";
}

}  // namespace tapwise
