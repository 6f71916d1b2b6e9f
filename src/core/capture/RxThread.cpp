#include "core/capture/RxThread.h"

#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "core/util/Clock.h"

namespace tapwise {

namespace {

constexpr int PassMilliseconds = 10;

// The packet gap is timed by 10 ms passes, so the thread asks for a real-time
// priority to keep them while the machine is busy drawing. Without the
// privilege the default priority stays, which is fine on an idle machine.
void RaisePriority() {
  sched_param param{};
  param.sched_priority = sched_get_priority_min(SCHED_FIFO) + 1;
  pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

}  // namespace

TRxThread::TRxThread(ReceiveContext& context, PortSlot& slot, uint8_t portNumber)
    : PortNumber(portNumber), m_context(context), m_slot(slot) {
  m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

TRxThread::~TRxThread() {
  if (m_thread.joinable()) {
    StopRequest.store(1);
    Wake();
    m_thread.join();
  }
  if (m_wakeFd >= 0) close(m_wakeFd);
}

void TRxThread::Start() { m_thread = std::thread([this] { Execute(); }); }

void TRxThread::Wake() {
  if (m_wakeFd < 0) return;
  uint64_t one = 1;
  // A full counter still wakes the thread, so a failed write needs no retry.
  [[maybe_unused]] ssize_t written = write(m_wakeFd, &one, sizeof one);
}

void TRxThread::Join() {
  if (m_thread.joinable()) m_thread.join();
  m_currentPacket.reset();
}

bool TRxThread::Pause(PassKind kind) {
  pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {-1, POLLIN, 0}};
  int timeout = PassMilliseconds;
  if (kind == PassKind::HangupWait) {
    // The device hung up (the other end of a virtual port closed, an adapter
    // was unplugged): it polls ready at once and forever, yet nothing can
    // arrive until it comes back. Look again after a wait that grows while
    // the hang-up lasts, so a forgotten port costs next to nothing.
    timeout = m_hangupWaitMs;
    m_hangupWaitMs = std::min(m_hangupWaitMs * 2, MaxHangupWaitMs);
  } else if (kind == PassKind::WaitForBytes && m_packetLength == 0 && m_wakeFd >= 0) {
    // Nothing is filling, so no gap is being timed: sleep until the port has
    // bytes (or, when closed, until someone changes Enabled or asks to stop).
    // Without a wake-up descriptor a stop request could not end this wait.
    SerialDevice* device = m_slot.Device();
    int handle = device ? device->WaitHandle() : -1;
    if (!device || handle >= 0) {
      fds[1].fd = handle;
      timeout = -1;
    }
  }
  int ready = poll(fds, 2, timeout);  // poll skips the entries whose descriptor is -1
  if (ready < 0 && errno != EINTR) {
    // Cannot wait on the descriptors: fall back to the plain pass.
    usleep(PassMilliseconds * 1000);
    return false;
  }
  DrainWakeups(fds[0].revents);
  if (fds[1].fd < 0) return false;
  const short revents = fds[1].revents;
  m_deviceHungUp = (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
  if (!m_deviceHungUp) m_hangupWaitMs = PassMilliseconds;
  // A hang-up may still leave bytes to read (a virtual port whose other end
  // wrote and left), so it counts as a wake for bytes; an empty read then
  // sends the next pass to the hang-up wait.
  return (revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

void TRxThread::DrainWakeups(short revents) {
  if (!(revents & POLLIN)) return;
  uint64_t count;
  [[maybe_unused]] ssize_t drained = read(m_wakeFd, &count, sizeof count);
}

bool TRxThread::TakeReturnedDevice() {
  std::unique_ptr<SerialDevice> returned = m_slot.TakeOfferedDevice();
  if (!returned) return false;
  m_slot.SetDevice(std::move(returned));
  m_deviceSpoke = false;
  m_context.ApplyPortSettings(PortNumber);
  m_slot.SetGone(false);
  m_context.PortReturned(PortNumber);
  return true;
}

void TRxThread::MarkGone() {
  m_slot.SetDevice(nullptr);
  m_slot.SetGone(true);
  m_context.PortVanished(PortNumber, !m_deviceSpoke);
}

void TRxThread::KeepPortInStep() {
  // A gone port opens nothing itself: the watcher knows when the device is
  // back, and the user's switch is kept for that moment.
  if (m_slot.Gone() && !TakeReturnedDevice()) return;
  const bool enabled = m_slot.Enabled();
  if (!m_slot.Device() && enabled) {
    OpenResult opened = m_context.OpenComPort(PortNumber);
    if (opened.Status == OpenStatus::Absent && m_context.CanWatchPort(PortNumber)) {
      // Unplugged while switched off: wait for it with the switch on.
      MarkGone();
    } else if (opened.Status != OpenStatus::Opened || !opened.Device) {
      // Someone else has it now: show the port as disabled; the user may try again.
      m_slot.SetEnabled(false);
    } else {
      m_slot.SetDevice(std::move(opened.Device));
      m_context.ApplyPortSettings(PortNumber);
    }
  } else if (m_slot.Device() && !enabled) {
    m_slot.SetDevice(nullptr);
  }
}

void TRxThread::FinishPacket() {
  TriggerStep* trigger = m_context.GetTriggerStep();
  const uint8_t match = trigger ? trigger->Match(m_currentPacket->Data, m_packetLength) : 0;
  m_currentPacket->Length = m_packetLength;
  m_currentPacket->Port = PortNumber;
  m_currentPacket->Origin = OriginReceived;
  // Errors are reported on the packet at whose end they are collected,
  // including those that happened between packets.
  SerialDevice* device = m_slot.Device();
  m_currentPacket->ErrorKinds = device ? device->TakeLineErrors() : 0;
  m_currentPacket->Error = m_currentPacket->ErrorKinds != 0 ? 1 : 0;
  m_context.Queue().Append(std::move(m_currentPacket));
  m_packetLength = 0;
  if (match != 0 && trigger) trigger->React(match, PortNumber);
}

size_t TRxThread::ReadChunk(SerialDevice& device) {
  uint8_t* into = m_currentPacket->Data + m_packetLength;
  const size_t bytesRead = device.Read(into, PacketCapacity - m_packetLength);
  // Before the gap is timed: the far side of a tap must not wait for it.
  if (ReadForwarder* forwarder = m_slot.Forwarder(); forwarder && bytesRead > 0) forwarder->Forward(into, bytesRead);
  return bytesRead;
}

void TRxThread::Execute() {
  RaisePriority();
  m_packetLength = 0;
  uint32_t lastReadTick = TickCount();
  // After a wake-up for bytes that found nothing to read, the next pass does
  // not wait for bytes, so no device state can turn the wait into a spin.
  PassKind nextPass = PassKind::WaitForBytes;
  do {
    const bool woke = Pause(nextPass);
    if (!m_currentPacket) m_currentPacket = NewPacketRecord();
    KeepPortInStep();
    size_t bytesRead = 0;
    if (SerialDevice* device = m_slot.Device()) {
      bytesRead = ReadChunk(*device);
      if (bytesRead > 0) {
        m_deviceSpoke = true;
        lastReadTick = TickCount();
        if (m_packetLength == 0) m_currentPacket->Time = Now();
        m_packetLength = static_cast<uint16_t>(m_packetLength + bytesRead);
      } else if (device->Vanished() && m_context.CanWatchPort(PortNumber)) {
        // Whatever had arrived is the packet; the rest of it never will. A
        // port nobody could watch for keeps its device and the hang-up wait
        // below: its path stays, and closing it would end the port for good.
        if (m_packetLength > 0) FinishPacket();
        MarkGone();
      }
    }
    nextPass = PassKind::WaitForBytes;
    // A port without a device (switched off, gone) sleeps until woken. A
    // read that took only a server's commands found input, not nothing: a
    // storm of them drains at the speed it comes, not one read a pass.
    SerialDevice* device = m_slot.Device();
    if (woke && bytesRead == 0 && device && !device->LastReadTookInput()) {
      nextPass = m_deviceHungUp ? PassKind::HangupWait : PassKind::Plain;
    }
    const auto sinceLastRead = static_cast<int32_t>(TickCount() - lastReadTick);
    if (bytesRead == 0 && m_packetLength > 0 &&
        sinceLastRead >= static_cast<int32_t>(m_context.CurrentPacketGap())) {
      FinishPacket();
    }
  } while (StopRequest.load() == 0);
  StopRequest.store(0);
}

}  // namespace tapwise
