#pragma once
// The receive thread of one present port. It keeps the port open or closed as
// the user's Enabled switch asks, reads what has arrived, and cuts the stream
// into packets: a packet ends on the first pass that reads nothing at least
// PacketGap milliseconds after the last pass that read something. Passes come
// every 10 ms while a packet is filling; while none is, the thread sleeps
// until its port has bytes or it is woken (enable change, stop), which keeps
// idle ports nearly free.

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "capture/PacketRecord.h"
#include "platform/SerialDevice.h"

namespace tapwise {

class TWComms;

class TRxThread {
 public:
  TRxThread(TWComms& comms, uint8_t portNumber, std::unique_ptr<SerialDevice> device);
  ~TRxThread();
  TRxThread(const TRxThread&) = delete;
  TRxThread& operator=(const TRxThread&) = delete;

  void Start();
  // Makes a sleeping thread look at StopRequest and Enabled again.
  void Wake();
  // After the thread has cleared StopRequest: waits for it to end.
  void Join();

  // Set by the owner; the thread clears it as the last step of its loop.
  std::atomic<uint8_t> StopRequest{0};
  const uint8_t PortNumber;
  // The user's on/off switch; the thread clears it when a re-open fails.
  std::atomic<uint8_t> Enabled{1};
  // The open device, or null while closed. Changed only by this thread, and
  // then only under the port's device lock, so that other threads using it
  // under that lock never see it vanish.
  std::unique_ptr<SerialDevice> PortHandle;
  std::unique_ptr<PacketRecord> CurrentPacket;
  uint16_t PacketLength = 0;
  uint32_t BytesRead = 0;
  uint8_t TriggerMatch = 0;

 private:
  void Execute();
  enum class PassKind : uint8_t { WaitForBytes, Plain, HangupWait };
  // Waits for the next pass: 10 ms (Plain, and always while a packet is
  // filling), until the port polls ready (WaitForBytes), or a growing wait
  // for a hung-up device. True when it woke because the port polled ready.
  bool Pause(PassKind kind);
  void DrainWakeups(short revents);
  void KeepPortInStep();
  void FinishPacket();

  TWComms& m_comms;
  int m_wakeFd = -1;
  // A hung-up device is looked at again after this long (ms), doubling up to
  // MaxHangupWaitMs while the hang-up lasts.
  static constexpr int MaxHangupWaitMs = 320;
  int m_hangupWaitMs = 10;
  bool m_deviceHungUp = false;
  std::thread m_thread;
};

}  // namespace tapwise
