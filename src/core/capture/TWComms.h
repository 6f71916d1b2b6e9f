#pragma once
// The port manager: probes COM1..COM128 once at start-up, gives every port
// that opens its own receive thread, keeps the line settings of every port and
// writes them into the device, reports the modem lines, switches ports off
// and on, sends packets, and takes everything down again at exit.
//
// Ports come and go. A port whose device vanishes is closed by its receive
// thread and stays present, marked gone; the port watcher (one thread for
// all ports) waits for its path and opens it again, with the busy checks,
// and the receive thread puts it back with its current settings. A port
// whose path the map watches and that was absent at start-up is watched the
// same way and, once it opens, becomes present with a receive thread of its
// own. Each of these changes is queued as a PortEvent for the owner's timer.
//
// The port table is filled by CreatePorts and by the watcher, and emptied by
// DestroyPorts on the owner's thread, which stops the watcher first. A port,
// once present, stays present until then, so any thread may ask about it.
// The slots themselves outlive both: a send or a modem-line read that races
// with DestroyPorts finds a slot without a device, never a freed one.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/capture/CaptureQueue.h"
#include "core/capture/PortEvent.h"
#include "core/capture/PortSettings.h"
#include "core/capture/PortSlot.h"
#include "core/capture/PortWatcher.h"
#include "core/capture/ReceiveContext.h"
#include "core/capture/RxThread.h"
#include "core/capture/TriggerStep.h"
#include "core/platform/ComNumbers.h"
#include "core/platform/PortList.h"
#include "core/platform/SerialDevice.h"

namespace tapwise {

class TWComms : private ReceiveContext {
 public:
  explicit TWComms(DeviceOpener& opener);
  ~TWComms();
  TWComms(const TWComms&) = delete;
  TWComms& operator=(const TWComms&) = delete;

  CaptureQueue& Queue() override { return m_queue; }
  // Before CreatePorts: notified by the first record into an empty queue and
  // by every port event, so that an idle owner wakes for them.
  void SetWakeSignal(WakeSignal* wake) {
    m_queue.SetWakeSignal(wake);
    m_wake = wake;
  }

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
  // Whether GetModemLines can tell anything for port n now.
  bool HasModemLines(uint8_t n);

  // Set before CreatePorts: these ports are neither opened nor watched, as
  // if they had no device (the user asked for other ports only).
  void SetSkippedPorts(const PortSet& skipped) { m_skipped = skipped; }
  bool IsPortSkipped(uint8_t n) const { return ValidPort(n) && m_skipped.test(n); }
  void CreatePorts();
  void DestroyPorts();

  bool IsPortPresent(uint8_t n) const;
  bool IsPortEnabled(uint8_t n) const;
  // The receive thread closes or re-opens the port within one 10 ms pass.
  void SetPortEnabled(uint8_t n, bool enabled);
  // Present, but its device has vanished and is waited for.
  bool IsPortGone(uint8_t n) const;
  // What the last open attempt of CreatePorts found, for telling the user
  // why a port is missing (a port that appears later keeps it).
  OpenStatus ProbeStatus(uint8_t n) const;
  int PresentCount() const;
  // The COM numbers of the present ports, in ascending order.
  std::vector<uint8_t> PresentPorts() const;

  PortSettings GetPortSettings(uint8_t n) const;
  void SetPortSettings(uint8_t n, const PortSettings& settings);
  // The name the user gave the port ("" for none), shown beside its COM
  // number. The owner's thread only.
  const std::string& PortName(uint8_t n) const;
  void SetPortName(uint8_t n, std::string name);
  // "COM5" or "COM5 (Meter)": how messages and start lines name the port.
  std::string NamedPort(uint8_t n) const;

  // The one transmit routine: writes count bytes (at most PacketCapacity) to
  // the port and queues a transmitted record, with Error 1 when the write
  // failed or the port is closed or absent.
  void WritePacket(uint8_t port, const uint8_t* bytes, uint16_t count);

  // The ports that went, came back or appeared since the last call, in the
  // order it happened.
  std::vector<PortEvent> TakePortEvents();

 private:
  using Clock = std::chrono::steady_clock;
  // A device that vanishes this soon after it was opened, without having
  // read a byte, is held back before the next try, waits doubling up to the
  // watcher's longest, so that a device that opens and hangs up at once
  // cannot make a loop.
  static constexpr auto ShortLife = std::chrono::seconds(1);

  struct PortState {
    PortSlot Slot;
    OpenStatus Probe = OpenStatus::Absent;
    // Set while the port has a receive thread; any thread may read it.
    std::atomic<bool> Present{false};
    // Made by the owner's thread (CreatePorts) or the watcher's, before
    // Present is set; freed by the owner's after the watcher has stopped.
    std::unique_ptr<TRxThread> Thread;
    // The receive thread's own: when the device was last put back, and how
    // long the next return is held back after short lives.
    Clock::time_point ReturnedAt;
    int HoldBackMs = 0;
    // The watcher's own: a refusal of the path has been said, and is not
    // said again until the port has opened.
    bool RefusalSaid = false;
  };

  static bool ValidPort(uint8_t n) { return n >= 1 && n <= MaxComPorts; }
  uint16_t CurrentPacketGap() const override { return PacketGap.load(); }
  bool CanWatchPort(uint8_t n) const override;
  void PortVanished(uint8_t n, bool silent) override;
  void PortReturned(uint8_t n) override;

  // Gives an opened port its receive thread and makes it present.
  void StartPort(uint8_t n, std::unique_ptr<SerialDevice> device);
  // The watcher found the path of port n: open it and hand it over.
  TPortWatcher::Outcome VisitWatchedPort(uint8_t n);
  void PostEvent(uint8_t n, PortChange change, OpenStatus status = OpenStatus::Opened);
  // Says once that the watched path of port n cannot be opened.
  void SayRefusal(uint8_t n, OpenStatus status);

  DeviceOpener& m_opener;
  CaptureQueue m_queue;
  std::atomic<TriggerStep*> m_triggerStep{nullptr};
  std::array<PortState, MaxComPorts + 1> m_ports;  // index 0 unused
  std::mutex m_eventMutex;
  std::vector<PortEvent> m_events;  // guarded by m_eventMutex
  WakeSignal* m_wake = nullptr;
  // Made by CreatePorts before any receive thread starts, when a port can
  // be watched; freed by DestroyPorts after every receive thread has ended.
  std::unique_ptr<TPortWatcher> m_watcher;
  PortSet m_skipped;
  std::array<std::string, MaxComPorts + 1> m_names;
};

}  // namespace tapwise
