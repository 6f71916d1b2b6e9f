#pragma once
// What a receive thread does at the end of each packet besides queueing it:
// Match looks at the finished packet before it is queued, React runs on the
// receive thread after it is queued (so the display shows the trigger packet
// before any reply). Both are called on receive threads, several at once.

#include <cstdint>

namespace tapwise {

class TriggerStep {
 public:
  virtual ~TriggerStep() = default;
  // The row 1..60 of the trigger that the packet matches, or 0.
  virtual uint8_t Match(const uint8_t* data, uint16_t length) = 0;
  // Reacts to a match of row on the port the packet came from.
  virtual void React(uint8_t row, uint8_t port) = 0;
};

}  // namespace tapwise
