#pragma once
// Moving a project between ProjectData and the places where the running
// program keeps its parts: the port settings and PacketGap in the port
// manager, the texts in the user packets. HexDisplay and the play settings
// live with the display and the player, which the caller owns; it copies
// them itself.

#include "core/capture/TWComms.h"
#include "core/config/ProjectData.h"
#include "core/config/ProjectState.h"
#include "core/recorder/PlaySettings.h"
#include "core/userpackets/UserPackets.h"

namespace tapwise {

// The project as the program has it now.
ProjectData CollectProject(const TWComms& comms, const UserPackets& packets, bool hexDisplay,
                           const PlaySettings& play, const HighlightRuleSet& highlights = DefaultHighlightRules());

// Puts a read project into effect: the port settings of all 128 ports (and
// into the device of every present port whose settings changed, so that the
// port controls and the line agree), PacketGap, the 60 rows of texts, then
// the trigger table is rebuilt (faulty triggers are posted as messages).
// The caller sets HexDisplay and the play settings from data.
void ApplyProject(const ProjectData& data, TWComms& comms, UserPackets& packets);

// Reads the project file that chosen names (see ProjectState::ReadProject)
// and, when it was read, puts it into effect: ApplyProject, then the display
// mode, play settings and highlight rules into the caller's; the rest of
// what was read (the rotation of recordings) into *read when given. A file
// that cannot be read fails as ProjectState::ReadProject says.
[[nodiscard]] ProjectRead LoadProject(ProjectState& project, std::string_view chosen, TWComms& comms,
                                      UserPackets& packets, bool& hexDisplay, PlaySettings& play,
                                      HighlightRuleSet& highlights, ProjectData* read = nullptr);

}  // namespace tapwise
