#include "app/CommandLine.h"

#include <strings.h>

#include "core/recorder/RecordFormats.h"

namespace tapwise {

namespace {
bool Is(const std::string& arg, const char* option) { return strcasecmp(arg.c_str(), option) == 0; }
bool StartsWith(const std::string& arg, const char* prefix) {
  return strncasecmp(arg.c_str(), prefix, std::char_traits<char>::length(prefix)) == 0;
}

// The value after "-name:", or empty.
std::string ValueOf(const std::string& arg) {
  const size_t colon = arg.find(':');
  return colon == std::string::npos ? std::string() : arg.substr(colon + 1);
}

// A whole decimal number within [low, high], or -1.
int NumberIn(const std::string& text, int low, int high) {
  if (text.empty() || text.size() > 6) return -1;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value >= low && value <= high ? value : -1;
}

bool EndsWithPcapng(const std::string& path) {
  constexpr size_t Length = std::char_traits<char>::length(".pcapng");
  return path.size() > Length && strcasecmp(path.c_str() + path.size() - Length, ".pcapng") == 0;
}

// True when arg is one of the file options (taken into result).
bool TakeFileOption(const std::string& arg, CommandLine& result) {
  for (const RecordFormat& option : RecordFormats()) {
    if (!StartsWith(arg, option.Option)) continue;
    const bool play = IsPlayingState(option.State);
    const std::string path = ValueOf(arg);
    RecorderState& format = play ? result.PlayFormat : result.RecordFormat;
    std::string& target = play ? result.PlayPath : result.RecordPath;
    if (path.empty()) {
      result.Problems.push_back(std::string(option.Option) + " needs a file name");
    } else if (format != RecorderState::Idle) {
      result.Problems.push_back(play ? "only one file can be played" : "only one file can be recorded");
    } else {
      format = option.State;
      if (format == RecorderState::RecordPacketData && EndsWithPcapng(path)) format = RecorderState::RecordPcapng;
      target = path;
    }
    return true;
  }
  return false;
}
// "-line:N=SETTINGS" or "-line:*=SETTINGS".
void TakeLineOption(const std::string& arg, CommandLine& result) {
  const std::string value = ValueOf(arg);
  const size_t equals = value.find('=');
  const std::string port = value.substr(0, equals);
  const int com = port == "*" ? 0 : NumberIn(port, 1, 128);
  if (equals == std::string::npos || com < 0) {
    result.Problems.push_back(arg + ": expected -line:N=RATE,FRAME (N a COM number from 1 to 128, or *), "
                                    "e.g. -line:33=115200,8N1");
    return;
  }
  const LineSpecParse parsed = ParseLineSpec(std::string_view(value).substr(equals + 1));
  if (!parsed.Line) {
    result.Problems.push_back(arg + ": " + parsed.Problem);
    return;
  }
  result.LineOptions.push_back({com, *parsed.Line, arg});
}

// Line settings after the device of -port:, -pair: or -tap: go to the
// ports it maps; the option itself goes on to the port map without them.
void TakePortOption(const std::string& arg, CommandLine& result) {
  const size_t equals = arg.find('=');
  const size_t colon = arg.find(':');
  if (equals == std::string::npos) {
    result.PortOptions.push_back(arg);
    return;
  }
  const std::string numbers = arg.substr(colon + 1, equals - colon - 1);
  const std::string head = arg.substr(0, equals + 1);
  const bool pair = StartsWith(arg, "-pair:");
  // -pair:A,B has no device, so all after "=" is the line settings.
  SplitTarget split;
  if (pair) {
    const LineSpecParse parsed = ParseLineSpec(std::string_view(arg).substr(equals + 1));
    split.Line = parsed.Line;
    split.Problem = parsed.Problem;
  } else {
    split = SplitLineSuffix(std::string_view(arg).substr(equals + 1));
  }
  if (!split.Problem.empty()) {
    result.Problems.push_back(arg + ": " + split.Problem);
    return;
  }
  result.PortOptions.push_back(pair ? arg.substr(0, equals) : head + split.Target);
  if (!split.Line) return;
  // The device's number comes first; a pair's two ends both take the spec.
  const size_t comma = numbers.find(',');
  const int first = NumberIn(numbers.substr(0, comma), 1, 128);
  const int second = comma == std::string::npos ? -1 : NumberIn(numbers.substr(comma + 1), 1, 128);
  // A bad number is the port map's to report.
  if (first > 0) result.LineOptions.push_back({first, *split.Line, arg});
  if (pair && second > 0) result.LineOptions.push_back({second, *split.Line, arg});
}

// "-only:LIST", "-exclude:LIST" or "-onlyport:LIST".
void TakePortList(const std::string& arg, PortSet& into, CommandLine& result) {
  const PortListParse parsed = ParsePortList(ValueOf(arg));
  if (!parsed.Problem.empty()) {
    result.Problems.push_back(arg + ": " + parsed.Problem);
    return;
  }
  into |= parsed.Ports;
}

// "-name:N=TEXT": the text shown beside the COM number, one line of
// printable characters.
void TakeName(const std::string& arg, CommandLine& result) {
  const std::string value = ValueOf(arg);
  const size_t equals = value.find('=');
  const int com = NumberIn(value.substr(0, equals), 1, 128);
  if (equals == std::string::npos || com < 0) {
    result.Problems.push_back(arg + ": expected -name:N=TEXT with N a COM number from 1 to 128");
    return;
  }
  const std::string name = value.substr(equals + 1);
  constexpr size_t LongestName = 64;
  if (name.size() > LongestName) {
    result.Problems.push_back(arg + ": a name has at most " + std::to_string(LongestName) + " characters");
    return;
  }
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 32 || c == 127) {
      result.Problems.push_back(arg + ": a name cannot hold control characters");
      return;
    }
  }
  result.Names.emplace_back(com, name);
}

void TakeTimeFormat(const std::string& arg, CommandLine& result) {
  if (const std::optional<TimeStyle> style = TimeStyleNamed(ValueOf(arg))) {
    result.Time = *style;
    return;
  }
  result.Problems.push_back(arg + ": expected -time:tenths, -time:ms, -time:us, -time:iso or -time:delta");
}

void TakeGrep(const std::string& arg, CommandLine& result) {
  const std::string text = ValueOf(arg);
  PacketPattern pattern;
  if (const Result compiled = PacketPattern::Compile(text, pattern); !compiled) {
    result.Problems.push_back("-grep:" + text + ": " + compiled.Message());
  } else if (pattern.Empty()) {
    result.Problems.push_back("-grep: takes hex bytes or quoted text, e.g. -grep:'\"PING\"'");
  } else {
    result.Grep = std::move(pattern);
  }
}

void TakeColour(const std::string& arg, CommandLine& result) {
  const std::string value = ValueOf(arg);
  if (Is(value, "auto")) {
    result.Colour = ColourChoice::Auto;
  } else if (Is(value, "never")) {
    result.Colour = ColourChoice::Never;
  } else if (Is(value, "always")) {
    result.Colour = ColourChoice::Always;
  } else {
    result.Problems.push_back(arg + ": expected -color:never, -color:always or -color:auto");
  }
}

// The usage lines of the record (or play) options, in table order: the
// option and FILE, then its text in the column after; a name too long for
// the column gets a line of its own.
std::string FileOptionsUsage(bool play) {
  constexpr size_t Column = 19;
  const std::string indent(Column, ' ');
  std::string text;
  for (const RecordFormat& option : RecordFormats()) {
    if (IsPlayingState(option.State) != play) continue;
    std::string name = "  " + std::string(option.Option) + "FILE";
    text += name.size() < Column ? name + std::string(Column - name.size(), ' ') : name + "\n" + indent;
    for (const char* at = option.Usage; *at; ++at) {
      text += *at;
      if (*at == '\n') text += indent;
    }
    text += '\n';
  }
  return text;
}

// "[-a:FILE | -b:FILE … AFTER]" in the synopsis, wrapped at 80 columns.
std::string FileOptionsSynopsis(bool play, const std::string& after) {
  constexpr size_t Width = 80;
  const std::string indent(17, ' ');
  std::string line = std::string(16, ' ') + "[";
  std::string text;
  bool first = true;
  auto add = [&](const std::string& word, const char* separator) {
    if (!first && line.size() + std::char_traits<char>::length(separator) + word.size() > Width) {
      text += line + (std::string(separator) == " | " ? " |" : "") + "\n";
      line = indent + word;
    } else {
      line += (first ? "" : separator) + word;
    }
    first = false;
  };
  for (const RecordFormat& option : RecordFormats()) {
    if (IsPlayingState(option.State) == play) add(std::string(option.Option) + "FILE", " | ");
  }
  add(after + "]", " ");
  return text + line + "\n";
}
}  // namespace

std::string OneDash(const std::string& arg) {
  return arg.size() > 2 && arg.compare(0, 2, "--") == 0 ? arg.substr(1) : arg;
}

namespace {
// The options the window toolkit reads from the command line (Qt's, with the
// X11 ones), their values included: neither unknown options nor, for those
// with a value, a project file named after the value.
int ToolkitOptionLength(const std::vector<std::string>& args, size_t at) {
  static const char* const withValue[] = {"-platform", "-platformpluginpath", "-platformtheme", "-plugin",
                                          "-qwindowgeometry", "-qwindowicon", "-qwindowtitle", "-session",
                                          "-display", "-geometry", "-style", "-stylesheet", "-qmljsdebugger"};
  static const char* const flags[] = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};
  // The toolkit, like this program, takes two dashes for one.
  const std::string arg = OneDash(args[at]);
  if (arg.size() < 2 || arg[0] != '-') return 0;
  for (const char* option : flags) {
    if (arg == option) return 1;
  }
  for (const char* option : withValue) {
    const std::string name = option;
    if (arg == name) return at + 1 < args.size() ? 2 : 1;
    if (arg.compare(0, name.size() + 1, name + "=") == 0) return 1;
  }
  return 0;
}
}  // namespace

std::string UnknownOptionText(const std::string& option) { return "unknown option " + option + ", ignored"; }

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine result;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& typed = args[i];
    if (typed.empty()) continue;
    const std::string arg = OneDash(typed);
    if (const int taken = ToolkitOptionLength(args, i); taken > 0) {
      // The window toolkit takes these from the arguments itself.
      for (int k = 0; k < taken; ++k) result.ToolkitOptions.push_back(args[i + static_cast<size_t>(k)]);
      i += static_cast<size_t>(taken - 1);
    } else if (arg[0] != '-') {
      result.ProjectFiles.push_back(typed);
    } else if (Is(arg, "-headless")) {
      result.Headless = true;
    } else if (Is(arg, "-NOHS")) {
      result.NoHandshake = true;
    } else if (Is(arg, "-nosplash")) {
      result.NoSplash = true;
    } else if (Is(arg, "-list-ports")) {
      result.ListPorts = true;
    } else if (Is(arg, "-help") || Is(arg, "-h") || Is(arg, "-?")) {
      result.Help = true;
    } else if (Is(arg, "-version")) {
      result.Version = true;
    } else if (StartsWith(arg, "-force:")) {
      result.PortOptions.push_back(arg);
    } else if (StartsWith(arg, "-port:") || StartsWith(arg, "-pair:") || StartsWith(arg, "-tap:")) {
      TakePortOption(arg, result);
    } else if (StartsWith(arg, "-line:")) {
      TakeLineOption(arg, result);
    } else if (StartsWith(arg, "-only:")) {
      result.OnlyGiven = true;
      TakePortList(arg, result.Only, result);
    } else if (StartsWith(arg, "-onlyport:")) {
      result.OnlyPortGiven = true;
      TakePortList(arg, result.OnlyPort, result);
    } else if (StartsWith(arg, "-exclude:")) {
      TakePortList(arg, result.Exclude, result);
    } else if (StartsWith(arg, "-lowlatency:")) {
      const int com = NumberIn(ValueOf(arg), 1, 128);
      if (com < 0) {
        result.Problems.push_back(arg + ": expected -lowlatency:N with N a COM number from 1 to 128");
      } else {
        result.LowLatencyPorts.push_back(com);
      }
    } else if (StartsWith(arg, "-name:")) {
      TakeName(arg, result);
    } else if (StartsWith(arg, "-time:")) {
      TakeTimeFormat(arg, result);
    } else if (StartsWith(arg, "-color:") || StartsWith(arg, "-colour:")) {
      TakeColour(arg, result);
    } else if (StartsWith(arg, "-grep:")) {
      TakeGrep(arg, result);
    } else if (StartsWith(arg, "-portlabel:")) {
      if (Is(ValueOf(arg), "full")) {
        result.FullPortLabel = true;
      } else if (Is(ValueOf(arg), "short")) {
        result.FullPortLabel = false;
      } else {
        result.Problems.push_back(arg + ": expected -portlabel:full or -portlabel:short");
      }
    } else if (TakeFileOption(arg, result)) {
    } else if (StartsWith(arg, "-select:")) {
      result.SelectPort = NumberIn(ValueOf(arg), 1, 128);
      if (result.SelectPort < 0) result.Problems.push_back("-select: takes a COM number from 1 to 128");
    } else if (StartsWith(arg, "-playgap:")) {
      result.PlayGap = NumberIn(ValueOf(arg), 0, 100);
      if (result.PlayGap < 0) result.Problems.push_back("-playgap: takes 0 to 100 (tenths of a second)");
      result.PlayGapGiven = true;
    } else if (StartsWith(arg, "-linktype:")) {
      result.LinkType = NumberIn(ValueOf(arg), 0, 65535);
      if (result.LinkType < 0) {
        result.Problems.push_back("-linktype: takes a link type from 0 to 65535 (147 is the first user type)");
        result.LinkType = 147;
      }
    } else if (Is(arg, "-live:off") || Is(arg, "-live:on")) {
      result.LiveFeed = Is(arg, "-live:on");
    } else if (StartsWith(arg, "-live:")) {
      result.Problems.push_back("-live: takes on or off");
    } else if (StartsWith(arg, "-rotate:")) {
      if (Result parsed = ParseRotation(ValueOf(arg), result.Rotation); !parsed) {
        result.Problems.push_back("-rotate: " + parsed.Message());
      }
    } else if (Is(arg, "-stats") || StartsWith(arg, "-stats:")) {
      result.StatsSeconds = NumberIn(ValueOf(arg), 1, 86400);
      if (result.StatsSeconds < 0) {
        result.Problems.push_back("-stats: takes a number of seconds from 1 to 86400");
        result.StatsSeconds = 0;
      }
    } else if (Is(arg, "-append")) {
      result.Append = true;
    } else if (Is(arg, "-quiet")) {
      result.Quiet = true;
    } else if (Is(arg, "-repeat")) {
      result.Repeat = true;
    } else if (Is(arg, "-trigger")) {
      result.Triggers = TriggerMode::WholePacket;
    } else if (Is(arg, "-triggerpart")) {
      result.Triggers = TriggerMode::PartPacket;
    } else if (StartsWith(arg, "-send:")) {
      const int row = NumberIn(ValueOf(arg), 1, 60);
      if (row < 0) {
        result.Problems.push_back("-send: takes a user packet number from 1 to 60");
      } else {
        result.SendRows.push_back(row);
      }
    } else {
      result.UnknownOptions.push_back(typed);
    }
  }
  if (result.Rotation.Rotates() && result.Append) {
    // Rotated files are new by name: there is nothing to add to.
    result.Problems.push_back("-append and -rotate: cannot be used together");
  }
  return result;
}

std::string UsageText() {
  return std::string(
             "Usage: tapwise [-nosplash] [-NOHS] [-port:N=PATH|pty]... [-pair:A,B] [-tap:A,B=PATH]...\n"
         "                [-force:N]... [PROJECT.TW]\n"
         "       tapwise -headless [-NOHS] [-port:N=PATH|pty]... [-pair:A,B] [-tap:A,B=PATH]...\n"
         "                [-force:N]... [PROJECT.TW]\n") +
         FileOptionsSynopsis(false, "[-linktype:N]") +
         "                [-rotate:SIZE[,COUNT] | -rotate:every=TIME[,COUNT] | -append]\n" +
         FileOptionsSynopsis(true, "[-playgap:N] [-repeat]") +
         std::string(
         "                [-select:N] [-trigger | -triggerpart] [-send:N]...\n"
         "                [-line:N=RATE,FRAME]... [-only:LIST] [-exclude:LIST] [-name:N=TEXT]...\n"
         "                [-lowlatency:N]... [-time:FORMAT] [-portlabel:full] [-color:WHEN]\n"
         "                [-quiet] [-onlyport:LIST] [-stats:N]\n"
         "                [-grep:PATTERN]\n"
         "       tapwise -list-ports [-port:N=PATH|pty]... [-pair:A,B] [-tap:A,B=PATH]...\n"
         "       tapwise -demo [-headless] [OPTION]...\n"
         "\n"
         "Listens on every serial port at once and shows each packet (a run of bytes\n"
         "ended by a quiet gap) as 80-column hex lines, in a window when there is a\n"
         "display.\n"
         "\n"
         "  -headless        print the packets to standard output instead of showing a\n"
         "                   window; when the output is a file it is a packet data file\n"
         "  -NOHS            never assert RTS or DTR and never read the modem lines\n"
         "  -port:N=PATH     make COM N the serial device PATH (e.g. -port:5=/dev/ttyAMA0)\n"
         "  -port:N=pty      make COM N a virtual port: a new pseudo-terminal whose other\n"
         "                   end (shown at start) another program opens\n"
         "  -port:N=rfc2217://HOST:PORT\n"
         "                   make COM N the serial port a server (e.g. ser2net) serves\n"
         "                   over telnet with RFC 2217: settings, RTS/DTR, modem lines,\n"
         "                   errors\n"
         "  -port:N=tcp://HOST:PORT\n"
         "                   the same over plain TCP: the bytes alone\n"
         "  -pair:A,B        make COM A and COM B the two ends of one pseudo-terminal, a\n"
         "                   built-in null-modem cable\n"
         "  -tap:A,B=PATH[,link=LINK]\n"
         "                   watch an application and its device: COM A opens the device\n"
         "                   PATH (anything -port: takes), COM B is a new pseudo-terminal\n"
         "                   (shown at start, and linked from LINK) that the application\n"
         "                   opens instead; every byte is passed on at once, each way is\n"
         "                   shown as received on its own port, and the rate and stop bits\n"
         "                   the application sets go to the device\n"
         "  -force:N         open COM N even when another program has its device open\n"
         "                   without a lock (such a port is left alone, as busy, unless\n"
         "                   forced; a port another program has locked never opens)\n"
         "  -nosplash        open the window without showing the About box first\n"
         "  -list-ports      print the COM-number map and what each port is doing, then exit\n"
         "  -demo            traffic without hardware: COM97 and COM98 become a virtual\n"
         "                   pair, COM97 plays the demo recording again and again, COM98\n"
         "                   answers its polls through the demo project's triggers\n"
         "  --help           print this text and exit\n"
         "  --version        print the version and exit\n"
         "\n"
         "Headless recording and playing (one file recorded while another plays):\n") +
         FileOptionsUsage(false) +
         std::string(
         "  -rotate:SIZE[,COUNT]\n"
         "                   record to a set of files NAME-YYYYMMDD-HHMMSS.EXT (named\n"
         "                   after the time each began): a new one before a packet would\n"
         "                   take the file past SIZE bytes (K, M, G for KiB, MiB, GiB),\n"
         "                   e.g. -rotate:100M,10; beyond COUNT files the oldest goes\n"
         "  -rotate:every=TIME[,COUNT]\n"
         "                   the same by the clock: a new file at each multiple of TIME\n"
         "                   (s, m, h, d), e.g. every=1h starts one on the hour; on a\n"
         "                   full disk the oldest file of the set is removed and\n"
         "                   recording goes on\n"
         "  -append          add to an existing file instead of overwriting it (pcapng: a\n"
         "                   new section)\n") +
         "  -linktype:N      the pcapng link type, 0 to 65535 (default 147, the first\n"
         "                   user type; map it to a dissector in the analyser); 250,\n"
         "                   RTAC serial, puts a header before each packet's bytes that\n"
         "                   analysers read as direction and line error\n"
         "  -live:off        no live feed (by default every packet is served as pcapng\n"
         "                   on $XDG_RUNTIME_DIR/tapwise/live-PID.sock, for this user only)\n" +
         FileOptionsUsage(true) +
         std::string(
         "  -select:N        the selected port: playback, -send: and the RTS/DTR toggle of\n"
         "                   a trigger without a reply use it (default: the lowest open port)\n"
         "  -playgap:N       wait N tenths of a second between packets, 0 to 100\n"
         "                   (default 10)\n"
         "  -repeat          start the file again at its end; otherwise \"Playback\n"
         "                   finished\" is printed and monitoring goes on\n"
         "\n"
         "Setting up ports:\n"
         "  -line:N=RATE,FRAME\n"
         "                   line settings of COM N before the first byte: the rate, then\n"
         "                   data bits 5-8, parity N/E/O/M/S and stop bits 1/1.5/2\n"
         "                   (-line:33=115200,8N1; either part alone: -line:33=9600);\n"
         "                   -line:*=... sets every port. The same may follow the\n"
         "                   device: -port:N=PATH,RATE,FRAME, -tap:A,B=PATH,RATE,FRAME,\n"
         "                   -pair:A,B=RATE,FRAME\n"
         "  -only:LIST       open only these ports (1,33-40,97) and the ones mapped by\n"
         "                   -port:, -pair: and -tap:\n"
         "  -exclude:LIST    never open these ports\n"
         "  -name:N=TEXT     name COM N: on its tab, in the start lines, in pcapng\n"
         "  -lowlatency:N    set the latency timer of COM N's USB adapter (FTDI) to 1 ms\n"
         "                   while Tapwise runs, for packet times and gaps to the ms\n"
         "  -time:FORMAT     headless packet times: tenths (default), ms, us, iso, delta\n"
         "  -portlabel:full  headless: COM40 (or the name) for the one-character port\n"
         "                   (the lines are then wider than 80 columns)\n"
         "  -color:WHEN      headless colours: auto (a terminal without NO_COLOR),\n"
         "                   always, never\n"
         "  -quiet           headless: no packet lines (with -recordpcapng:- they go to\n"
         "                   standard error otherwise)\n"
         "  -onlyport:LIST   headless: print only these ports' packets (1,33-40); every\n"
         "                   port is still captured, counted and recorded\n"
         "  -stats:N         headless: a summary line per port on standard error every N\n"
         "                   seconds (1 to 86400) and at exit: bytes and packets each way,\n"
         "                   line errors by kind, bytes a tap forwarded, reconnections,\n"
         "                   the rate over the last second (B/s), its peak and the line's\n"
         "                   load; SIGUSR1 prints the same lines at any time\n"
         "  -grep:PATTERN    headless: print only the packets holding PATTERN, hex bytes\n"
         "                   or quoted text as in a user packet (-grep:'02 30 31',\n"
         "                   -grep:'\"PING\"'); capture, recording and triggers see all\n"
         "\n"
         "User packets and triggers (from the project files named):\n"
         "  -trigger         answer trigger packets: a received packet equal to a\n"
         "                   trigger gets its user packet as the reply, on its own port\n"
         "  -triggerpart     the same when a trigger occurs anywhere in a packet\n"
         "  -send:N          send user packet N on the selected port once the ports are\n"
         "                   open (repeatable, in the order given)\n"
         "A project file sets the port settings, the display mode (ASCII mode prints\n"
         "running text), the play options, the user packets and the triggers;\n"
         "-playgap: and -repeat override the project's.\n"
         "\n"
         "By default COM1-32 are /dev/ttyS0-31, COM33-64 /dev/ttyUSB0-31 and COM65-96\n"
         "/dev/ttyACM0-31. Options are matched without regard to case, and each may\n"
         "begin with two dashes instead of one (--headless, --list-ports, --demo,\n"
         "--record:FILE); an unknown option is ignored, with a warning. The window\n"
         "toolkit's own options (-platform NAME, -style NAME, -reverse, ...) are left\n"
         "to it. SIGINT, SIGTERM, SIGHUP or SIGQUIT ends the monitor (and closes the\n"
         "window).\n");
}

}  // namespace tapwise
