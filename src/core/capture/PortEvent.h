#pragma once
// A port that came or went while the monitor ran, as the port manager
// reports it to the window's timer and the headless monitor.

#include <cstdint>

#include "core/platform/SerialDevice.h"

namespace tapwise {

enum class PortChange : uint8_t {
  Gone,  // its device vanished; the port is closed and watched
  Back,  // the device of a port that had gone works again
  New,   // a port absent at start-up has appeared and has a receive thread
  // A watched path is there but cannot be a port (Status says why: a file,
  // a folder or a FIFO is not a tty; no descriptor was left). Said once;
  // the path stays watched.
  Refused,
};

struct PortEvent {
  uint8_t Port = 0;
  PortChange Change = PortChange::Gone;
  OpenStatus Status = OpenStatus::Opened;  // what a Refused open found
};

}  // namespace tapwise
