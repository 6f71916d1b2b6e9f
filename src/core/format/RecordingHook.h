#pragma once
// Where the drain hands packets to the recorder. Every packet the drain
// counts reaches RecordPacket unless Paused() says otherwise, whether or not
// the display is frozen and in either display mode: what a recording holds
// does not depend on what the window shows. The recorder decides by its own
// state whether and in which format to write it.

#include "core/capture/PacketRecord.h"

namespace tapwise {

class RecordingHook {
 public:
  virtual ~RecordingHook() = default;
  // Read once per packet, before RecordPacket.
  virtual bool Paused() const = 0;
  virtual void RecordPacket(const PacketRecord& record) = 0;
};

}  // namespace tapwise
