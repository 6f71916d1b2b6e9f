#pragma once
// The answers to the packet analyser's questions about one interface: its
// link types (--extcap-dlts) and the settings it offers in its capture
// dialog (--extcap-config). A monitor's interfaces offer only the choice
// of ports: its line settings, gap and link type are the monitor's.

#include <string>

#include "extcap/ExtcapInterface.h"

namespace tapwise {

std::string DltsText(const ExtcapInterfaceName& name);
std::string ConfigText(const ExtcapInterfaceName& name);

}  // namespace tapwise
