#pragma once
// One COM number's place in the port manager: the line settings the user
// keeps for it, its on/off switch, and the open device, which only its
// receive thread opens and closes. The slots live as long as the port
// manager, so a thread that finds a slot can use it even while the ports go
// down: at worst it finds no device.
//
// Threads: the device is used (transmit, settings, modem lines) and replaced
// under the slot's lock. The receive thread's own reads need no lock, as it
// is the only one that changes the device while it runs; once it has ended,
// the owner closes the device under the lock. A device that the port
// watcher opens for a port that has gone is handed over through the offer,
// which the receive thread takes and puts in place itself.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "core/capture/PortSettings.h"
#include "core/capture/ReadForwarder.h"
#include "core/platform/SerialDevice.h"

namespace tapwise {

class PortSlot {
 public:
  PortSlot() = default;
  PortSlot(const PortSlot&) = delete;
  PortSlot& operator=(const PortSlot&) = delete;

  PortSettings Settings() const;
  void SetSettings(const PortSettings& settings);

  // The user's switch; the receive thread follows it within one pass, and
  // clears it when a re-open fails.
  bool Enabled() const { return m_enabled.load() != 0; }
  void SetEnabled(bool enabled) { m_enabled.store(enabled ? 1 : 0); }

  // Where the receive thread passes on each chunk it reads (a tap); null
  // for none. Set before the receive thread starts, cleared after it ended.
  ReadForwarder* Forwarder() const { return m_forwarder.load(); }
  void SetForwarder(ReadForwarder* forwarder) { m_forwarder.store(forwarder); }

  // Writes the settings into the open device: the line format, and RTS and
  // DTR at their levels, or both low when handshake is false. False without
  // a device or when the driver refuses.
  bool ApplySettings(bool handshake);
  // The line format alone (rate, data bits, parity, stop bits): false
  // without a device or when the driver refuses it.
  bool ApplyLineFormat();
  // CTS, DSR and CD; 0 without a device.
  uint8_t ModemLines();
  // Whether the device in place can tell its modem lines (see SerialDevice).
  bool HasModemLines();
  // Writes every byte under the lock, so two packets from different threads
  // never interleave on the line; false without a device or on a failure.
  bool Write(const uint8_t* bytes, size_t count);

  // The device has gone away and the port waits for it to come back: no
  // device, and the receive thread opens none of its own accord.
  bool Gone() const { return m_gone.load() != 0; }
  void SetGone(bool gone) { m_gone.store(gone ? 1 : 0); }

  // The port watcher's hand-over of a device it opened for a port that has
  // gone; a device still on offer is replaced (closed).
  void OfferDevice(std::unique_ptr<SerialDevice> device);
  // The offered device, or null; the receive thread's, and the owner's at
  // shutdown.
  std::unique_ptr<SerialDevice> TakeOfferedDevice();

  // --- The receive thread, and the owner once it has ended ---
  SerialDevice* Device() const { return m_device.get(); }
  // Replaces the device under the lock; the old one is closed outside it,
  // since closing may wait for the driver to drain.
  void SetDevice(std::unique_ptr<SerialDevice> device);

 private:
  std::atomic<ReadForwarder*> m_forwarder{nullptr};
  mutable std::mutex m_mutex;
  PortSettings m_settings;                 // guarded by m_mutex
  std::unique_ptr<SerialDevice> m_device;  // changed under m_mutex
  std::unique_ptr<SerialDevice> m_offered;  // guarded by m_mutex
  std::atomic<uint8_t> m_enabled{1};
  std::atomic<uint8_t> m_gone{0};
};

}  // namespace tapwise
