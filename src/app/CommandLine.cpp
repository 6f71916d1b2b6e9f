#include "app/CommandLine.h"

#include <strings.h>

namespace tapwise {

namespace {
bool Is(const std::string& arg, const char* option) { return strcasecmp(arg.c_str(), option) == 0; }
bool StartsWith(const std::string& arg, const char* prefix) {
  return strncasecmp(arg.c_str(), prefix, std::char_traits<char>::length(prefix)) == 0;
}
}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine result;
  for (const std::string& arg : args) {
    if (arg.empty()) continue;
    if (arg[0] != '-') {
      result.ProjectFiles.push_back(arg);
    } else if (Is(arg, "-headless")) {
      result.Headless = true;
    } else if (Is(arg, "-NOHS")) {
      result.NoHandshake = true;
    } else if (Is(arg, "-nosplash")) {
      result.NoSplash = true;
    } else if (Is(arg, "-list-ports")) {
      result.ListPorts = true;
    } else if (Is(arg, "--help") || Is(arg, "-help") || Is(arg, "-h") || Is(arg, "-?")) {
      result.Help = true;
    } else if (Is(arg, "--version") || Is(arg, "-version")) {
      result.Version = true;
    } else if (StartsWith(arg, "-port:") || StartsWith(arg, "-pair:")) {
      result.PortOptions.push_back(arg);
    }
  }
  return result;
}

std::string UsageText() {
  return "Usage: tapwise [-NOHS] [-port:N=PATH|pty]... [-pair:A,B] [PROJECT.TW]\n"
         "       tapwise -headless [-NOHS] [-port:N=PATH|pty]... [-pair:A,B] [PROJECT.TW]\n"
         "       tapwise -list-ports [-port:N=PATH|pty]... [-pair:A,B]\n"
         "\n"
         "Listens on every serial port at once and shows each packet (a run of bytes\n"
         "ended by a quiet gap) as 80-column hex lines, in a window when there is a\n"
         "display.\n"
         "\n"
         "  -headless       print the packets to standard output instead of showing a\n"
         "                  window; when the output is a file it is a packet data file\n"
         "  -NOHS            never assert RTS or DTR and never read the modem lines\n"
         "  -port:N=PATH     make COM N the serial device PATH (e.g. -port:5=/dev/ttyAMA0)\n"
         "  -port:N=pty      make COM N a virtual port: a new pseudo-terminal whose other\n"
         "                  end (shown at start) another program opens\n"
         "  -pair:A,B        make COM A and COM B the two ends of one pseudo-terminal, a\n"
         "                  built-in null-modem cable\n"
         "  -list-ports      print the COM-number map and what each port is doing, then exit\n"
         "  --help           print this text and exit\n"
         "  --version        print the version and exit\n"
         "\n"
         "By default COM1-32 are /dev/ttyS0-31, COM33-64 /dev/ttyUSB0-31 and COM65-96\n"
         "/dev/ttyACM0-31. Options are matched without regard to case; unknown options\n"
         "are ignored. SIGINT or SIGTERM ends the monitor (and closes the window).\n";
}

}  // namespace tapwise
