#pragma once
// What a receive thread needs from the port manager besides its own slot:
// the queue its packets go to, the gap that ends them, the trigger step that
// looks at them, and a way to open its port again after the user switched it
// off and on. Nothing else of the manager is within its reach.

#include <cstdint>

#include "core/capture/CaptureQueue.h"
#include "core/capture/TriggerStep.h"
#include "core/platform/SerialDevice.h"

namespace tapwise {

class ReceiveContext {
 public:
  virtual ~ReceiveContext() = default;
  virtual CaptureQueue& Queue() = 0;
  // Quiet time in milliseconds that ends a packet; read on every pass.
  virtual uint16_t CurrentPacketGap() const = 0;
  // May be null: then no packet matches a trigger.
  virtual TriggerStep* GetTriggerStep() const = 0;
  virtual OpenResult OpenComPort(uint8_t n) = 0;
  // Writes the port's settings into its (just re-opened) device.
  virtual bool ApplyPortSettings(uint8_t n) = 0;
};

}  // namespace tapwise
