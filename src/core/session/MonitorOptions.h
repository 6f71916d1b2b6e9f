#pragma once
// What a monitor is asked to do at start: the port map options, the project
// files to read, what to record or play, the triggers and the packets to
// send. Both front ends fill it from the command line.

#include <string>
#include <vector>

#include "core/platform/LineSpec.h"
#include "core/platform/PortList.h"
#include "core/recorder/RecorderState.h"
#include "core/recorder/RotationSettings.h"
#include "core/userpackets/TriggerMode.h"

namespace tapwise {

class DeviceOpener;

struct MonitorOptions {
  bool NoHandshake = false;              // -NOHS
  std::vector<std::string> PortOptions;  // -port:, -pair:, -tap:, -force:, in order
  std::vector<std::string> ProjectFiles;

  // -line:N=SETTINGS (Port 0 for -line:*=SETTINGS) and the settings given after a
  // device in -port:, -pair: and -tap:, in order. They win over the
  // project's and are in force before the first byte. Option is the text
  // the user typed, for messages.
  struct LineOption {
    int Port = 0;
    LineSpec Line;
    std::string Option;
  };
  std::vector<LineOption> LineOptions;
  // -only:LIST: only these ports and the ones mapped by an option open;
  // -exclude:LIST: these never do. Neither is probed.
  bool OnlyGiven = false;
  PortSet Only;
  PortSet Exclude;
  // The ports -only: and -exclude: keep closed and unprobed, for the map
  // that opener stands for (explicitly mapped ports pass -only:).
  PortSet SkippedPorts(const DeviceOpener& opener) const;
  // -name:N=TEXT, in order; a later one for the same port wins.
  std::vector<std::pair<int, std::string>> Names;
  // -lowlatency:N, in order: the latency timer of these ports' USB adapters
  // is set to 1 ms before they open (and again when one is plugged in) and
  // put back at shutdown. SysfsRoot is where sysfs is; tests give a folder.
  std::vector<int> LowLatencyPorts;
  std::string SysfsRoot = "/sys";

  // -record:FILE and -recordraw:FILE record to FILE as named (-record: as
  // pcapng when FILE ends ".pcapng", in any case, as -recordpcapng: does);
  // -play:, -playhex: and -playraw: play FILE out of COM SelectPort (0: the
  // lowest open port), PlayGap × 100 ms apart, from the start again at its
  // end with -repeat.
  RecorderState RecordFormat = RecorderState::Idle;
  std::string RecordPath;
  // -rotate:…: the recording moves on to stamped files by size or time.
  RotationSettings Rotation;
  // -append: add to an existing packet data or raw file (pcapng: a new
  // section) instead of truncating it.
  bool Append = false;
  RecorderState PlayFormat = RecorderState::Idle;
  std::string PlayPath;
  int SelectPort = 0;
  int PlayGap = 10;
  bool PlayGapGiven = false;  // -playgap: overrides a project's play gap
  bool Repeat = false;
  // Play without waiting for Pause to be released for each packet, whatever
  // the project says: nobody is there to release it.
  bool ContinuousPlay = false;
  // With a file to play and one to record, record beside the playing (into
  // a recording of the session's own) instead of refusing the second file:
  // the headless monitor's way. The window's buttons show one file at a time.
  bool RecordBesidePlay = false;
  // -linktype:N, the link type of a pcapng recording's interfaces
  // (default LINKTYPE_USER0).
  int LinkType = 147;
  // The live feed on the user's private socket (-live:off turns it off).
  bool LiveFeed = true;
  // Its folder; empty: the user's own (LiveFeedFolder).
  std::string LiveFolder;
  // -trigger (whole packets) or -triggerpart (part of a packet); off unless given.
  TriggerMode Triggers = TriggerMode::Off;
  // -send:N, in order: user packets sent on the selected port once the ports are open.
  std::vector<int> SendRows;
};

}  // namespace tapwise
