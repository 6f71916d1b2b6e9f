#pragma once
// The port manager: probes COM1..COM128 once at start-up, gives every port
// that opens its own receive thread, keeps the line settings of every port and
// writes them into the device, reports the modem lines, switches ports off
// and on, sends packets, and takes everything down again at exit.
//
// The port table is filled by CreatePorts and emptied by DestroyPorts, both
// on the owner's thread; between the two the set of present ports is fixed,
// so any thread may ask about it. The slots themselves outlive both: a send
// or a modem-line read that races with DestroyPorts finds a slot without a
// device, never a freed one.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "core/capture/CaptureQueue.h"
#include "core/capture/PortSettings.h"
#include "core/capture/PortSlot.h"
#include "core/capture/ReceiveContext.h"
#include "core/capture/RxThread.h"
#include "core/capture/TriggerStep.h"
#include "core/platform/ComNumbers.h"
#include "core/platform/SerialDevice.h"

namespace tapwise {

class TWComms : private ReceiveContext {
 public:
  explicit TWComms(DeviceOpener& opener);
  ~TWComms();
  TWComms(const TWComms&) = delete;
  TWComms& operator=(const TWComms&) = delete;

  CaptureQueue& Queue() override { return m_queue; }

  // Quiet time in milliseconds that ends a packet; read by every receive thread.
  std::atomic<uint16_t> PacketGap{10};
  // Set before CreatePorts: RTS and DTR are never asserted and the modem
  // lines never read.
  std::atomic<uint8_t> NoHandshake{0};
  // Supplied before CreatePorts; without one no packet matches a trigger.
  void SetTriggerStep(TriggerStep* step) { m_triggerStep.store(step); }
  TriggerStep* GetTriggerStep() const override { return m_triggerStep.load(); }

  // A tap's hooks. The forwarder gets every chunk port n's receive thread
  // reads; set it before CreatePorts and clear it after DestroyPorts.
  void SetReadForwarder(uint8_t n, ReadForwarder* forwarder);
  // Writes bytes to the port as they are, with no record: they are the
  // other side's, passed on. False when the port is closed or absent.
  bool WriteThrough(uint8_t n, const uint8_t* bytes, size_t count);
  // Writes the line format of PortSettings[n] alone into the open device,
  // leaving RTS and DTR; false as ApplyPortSettings.
  bool ApplyLineFormat(uint8_t n);
  // Makes the port's receive thread look at its device now rather than at
  // the end of a hang-up wait: the other side of a virtual port came.
  void WakePort(uint8_t n);

  OpenResult OpenComPort(uint8_t n) override;
  // Writes PortSettings[n] into the open device; false for an empty slot, a
  // closed port, or a refusal by the driver.
  bool ApplyPortSettings(uint8_t n) override;
  // Bit 0 CTS, bit 1 DSR, bit 2 CD; 0 when unknown.
  uint8_t GetModemLines(uint8_t n);

  void CreatePorts();
  void DestroyPorts();

  bool IsPortPresent(uint8_t n) const;
  bool IsPortEnabled(uint8_t n) const;
  // The receive thread closes or re-opens the port within one 10 ms pass.
  void SetPortEnabled(uint8_t n, bool enabled);
  // What the last open attempt of CreatePorts found, for telling the user
  // why a port is missing.
  OpenStatus ProbeStatus(uint8_t n) const;
  int PresentCount() const;
  // The COM numbers of the present ports, in ascending order.
  std::vector<uint8_t> PresentPorts() const;

  PortSettings GetPortSettings(uint8_t n) const;
  void SetPortSettings(uint8_t n, const PortSettings& settings);

  // The one transmit routine: writes count bytes (at most PacketCapacity) to
  // the port and queues a transmitted record, with Error 1 when the write
  // failed or the port is closed or absent.
  void WritePacket(uint8_t port, const uint8_t* bytes, uint16_t count);

 private:
  struct PortState {
    PortSlot Slot;
    OpenStatus Probe = OpenStatus::Absent;
    // Set while the port has a receive thread; any thread may read it.
    std::atomic<bool> Present{false};
    std::unique_ptr<TRxThread> Thread;  // the owner's thread only
  };

  static bool ValidPort(uint8_t n) { return n >= 1 && n <= MaxComPorts; }
  uint16_t CurrentPacketGap() const override { return PacketGap.load(); }

  DeviceOpener& m_opener;
  CaptureQueue m_queue;
  std::atomic<TriggerStep*> m_triggerStep{nullptr};
  std::array<PortState, MaxComPorts + 1> m_ports;  // index 0 unused
};

}  // namespace tapwise
