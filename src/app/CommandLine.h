#pragma once
// The program's command line. Options begin with "-" and are matched without
// regard to case; options the program does not know are ignored, and every
// argument that does not begin with "-" names a project file.

#include <string>
#include <vector>

#include "core/recorder/RecorderState.h"
#include "core/userpackets/TriggerMode.h"

namespace tapwise {

struct CommandLine {
  bool Headless = false;
  bool NoHandshake = false;  // -NOHS
  bool NoSplash = false;
  bool ListPorts = false;
  bool Help = false;
  bool Version = false;
  std::vector<std::string> PortOptions;  // -port:… and -pair:…, in order
  std::vector<std::string> ProjectFiles;

  // Headless recording and playing. -record:FILE and -recordraw:FILE record
  // to FILE as named (-record: as pcapng when FILE ends ".pcapng", in any
  // case, as -recordpcapng: does); -play:, -playhex: and -playraw: play FILE continuously
  // out of COM SelectPort (0: the lowest open port), PlayGap × 100 ms apart,
  // from the start again at its end with -repeat.
  RecorderState RecordFormat = RecorderState::Idle;
  std::string RecordPath;
  RecorderState PlayFormat = RecorderState::Idle;
  std::string PlayPath;
  int SelectPort = 0;
  int PlayGap = 10;
  bool PlayGapGiven = false;  // -playgap: overrides a project's play gap
  bool Repeat = false;
  // -linktype:N, the link type of a pcapng recording's interfaces
  // (default LINKTYPE_USER0).
  int LinkType = 147;
  // -trigger (whole packets) or -triggerpart (part of a packet); off unless given.
  TriggerMode Triggers = TriggerMode::Off;
  // -send:N, in order: user packets sent on the selected port once the ports are open.
  std::vector<int> SendRows;
  // What could not be understood in the options above, one message each.
  std::vector<std::string> Problems;
};

CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The text of --help.
std::string UsageText();

}  // namespace tapwise
