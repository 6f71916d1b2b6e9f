#pragma once
// The receive thread of one present port. It keeps the port open or closed as
// the user's Enabled switch asks, reads what has arrived, and cuts the stream
// into packets: a packet ends on the first pass that reads nothing at least
// PacketGap milliseconds after the last pass that read something. Passes come
// every 10 ms while a packet is filling; while none is, the thread sleeps
// until its port has bytes or it is woken (enable change, stop), which keeps
// idle ports nearly free.
//
// A device that vanishes (unplugged, hung up) is closed at once, so that the
// kernel can give its name to the next device, after the packet it was
// filling has been queued as it stood. The slot is then gone: the thread
// sleeps until it is woken with a device the port watcher opened and
// offered, puts it in place with the port's settings, and goes on.

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "core/capture/PacketRecord.h"
#include "core/capture/PortSlot.h"
#include "core/capture/ReceiveContext.h"

namespace tapwise {

class TRxThread {
 public:
  TRxThread(ReceiveContext& context, PortSlot& slot, uint8_t portNumber);
  ~TRxThread();
  TRxThread(const TRxThread&) = delete;
  TRxThread& operator=(const TRxThread&) = delete;

  void Start();
  // Makes a sleeping thread look at StopRequest and Enabled again.
  void Wake();
  // After the thread has cleared StopRequest: waits for it to end. The
  // packet it was filling is dropped with it.
  void Join();

  // Set by the owner; the thread clears it as the last step of its loop.
  std::atomic<uint8_t> StopRequest{0};
  const uint8_t PortNumber;

 private:
  void Execute();
  enum class PassKind : uint8_t { WaitForBytes, Plain, HangupWait };
  // Waits for the next pass: 10 ms (Plain, and always while a packet is
  // filling), until the port polls ready (WaitForBytes), or a growing wait
  // for a hung-up device. True when it woke because the port polled ready.
  bool Pause(PassKind kind);
  void DrainWakeups(short revents);
  void KeepPortInStep();
  // Takes a device offered for the gone port; false when there is none.
  bool TakeReturnedDevice();
  void MarkGone();
  void FinishPacket();
  // Reads into the packet, and passes what came on to the slot's forwarder.
  size_t ReadChunk(SerialDevice& device);

  ReceiveContext& m_context;
  PortSlot& m_slot;
  std::unique_ptr<PacketRecord> m_currentPacket;
  uint16_t m_packetLength = 0;
  int m_wakeFd = -1;
  // A hung-up device that cannot vanish (a virtual port's master side,
  // waiting for a program to open the other end) is looked at again after
  // this long (ms), doubling up to MaxHangupWaitMs while the hang-up lasts.
  static constexpr int MaxHangupWaitMs = 1000;
  int m_hangupWaitMs = 10;
  bool m_deviceHungUp = false;
  // Whether the device in place has read anything yet.
  bool m_deviceSpoke = false;
  std::thread m_thread;
};

}  // namespace tapwise
