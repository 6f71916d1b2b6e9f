#pragma once
// What a receive thread needs from the port manager besides its own slot:
// the queue its packets go to, the gap that ends them, the trigger step that
// looks at them, a way to open its port again after the user switched it
// off and on, and where to say that its device went or came back. Nothing
// else of the manager is within its reach.

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
  // Whether the port's path is watched when its device is not there.
  virtual bool CanWatchPort(uint8_t n) const = 0;
  // The slot of a port that can be watched has just been marked gone and
  // its device closed: tell the user, and watch for the device's return.
  // silent: the device read nothing since it was last put in place.
  virtual void PortVanished(uint8_t n, bool silent) = 0;
  // A device offered for the gone port is in place with its settings.
  virtual void PortReturned(uint8_t n) = 0;
};

}  // namespace tapwise
