#pragma once
// A set of COM numbers as a user lists them: "1,33-40,97".

#include <bitset>
#include <string>
#include <string_view>

#include "core/platform/ComNumbers.h"

namespace tapwise {

using PortSet = std::bitset<MaxComPorts + 1>;  // by COM number; bit 0 unused

struct PortListParse {
  PortSet Ports;
  std::string Problem;  // empty when the list was sound
};
PortListParse ParsePortList(std::string_view text);

}  // namespace tapwise
