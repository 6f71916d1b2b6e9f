#pragma once
// One line of the display ring. A new line starts empty, received, without
// error and without a port (so it takes the colour of entry 0); the drain
// fills it in.

#include <cstdint>
#include <string>

#include "core/capture/PacketRecord.h"

namespace tapwise {

struct DisplayLine {
  // The packet counter of the packet that wrote the line last; a click
  // selects every line that carries the clicked line's number.
  uint16_t Sequence = 0;
  uint8_t Port = 0;                 // COM number whose colour the text takes; 0: none yet
  uint8_t Origin = OriginReceived;  // PacketOrigin
  uint8_t Error = 0;
  // The mark of the packet whose text the line holds (PacketMarker), 0 for
  // none: its background while the mark's rule stands.
  uint8_t Mark = 0;
  DateTime Time = 0;                // of the packet whose hex line this is; 0 for running text
  std::string Text;                 // at most 80 characters, 8-bit
};

}  // namespace tapwise
