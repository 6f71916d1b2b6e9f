#pragma once
// Whether received packets are compared with the triggers, and how: a whole
// packet must equal the trigger, or the trigger may be any contiguous run in
// the packet. Chosen by the two check boxes of the user packets window;
// never saved, so every run starts with triggers off.

#include <cstdint>

namespace tapwise {

enum class TriggerMode : uint8_t { Off = 0, WholePacket = 1, PartPacket = 2 };

}  // namespace tapwise
