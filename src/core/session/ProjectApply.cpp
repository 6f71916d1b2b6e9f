#include "core/session/ProjectApply.h"

namespace tapwise {

static_assert(ProjectPortCount == MaxComPorts, "a project holds the settings of every port");

ProjectData CollectProject(const TWComms& comms, const UserPackets& packets, bool hexDisplay,
                           const PlaySettings& play, const HighlightRuleSet& highlights) {
  ProjectData data;
  for (uint8_t n : AllComNumbers()) {
    data.Ports[n] = comms.GetPortSettings(n);
    data.Names[n] = comms.PortName(n);
  }
  data.HexDisplay = hexDisplay;
  data.PacketGap = comms.PacketGap.load();
  data.Play = play;
  data.Rows = packets.Table().Rows();
  data.Highlights = highlights;
  return data;
}

void ApplyProject(const ProjectData& data, TWComms& comms, UserPackets& packets) {
  for (uint8_t port : AllComNumbers()) {
    comms.SetPortName(port, data.Names[port]);
    const PortSettings& settings = data.Ports[port];
    if (comms.GetPortSettings(port) == settings) continue;
    comms.SetPortSettings(port, settings);
    if (comms.IsPortPresent(port)) comms.ApplyPortSettings(port);
  }
  comms.PacketGap.store(data.PacketGap);
  packets.Table().Assign(data.Rows);
  packets.RebuildTriggerTable();
}

ProjectRead LoadProject(ProjectState& project, std::string_view chosen, TWComms& comms, UserPackets& packets,
                        bool& hexDisplay, PlaySettings& play, HighlightRuleSet& highlights, ProjectData* read) {
  // The options keep their values unless the file sets them, so reading
  // starts from what the program has now.
  ProjectData data = CollectProject(comms, packets, hexDisplay, play, highlights);
  ProjectRead result = project.ReadProject(chosen, data);
  if (result.Read()) {
    ApplyProject(data, comms, packets);
    hexDisplay = data.HexDisplay;
    play = data.Play;
    highlights = data.Highlights;
    if (read != nullptr) *read = data;
  }
  return result;
}

}  // namespace tapwise
