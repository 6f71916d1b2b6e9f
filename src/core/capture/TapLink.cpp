#include "core/capture/TapLink.h"

#include <fcntl.h>
#include <poll.h>

#include <cerrno>
#include <utility>

namespace tapwise {

TapLink::TapLink(TWComms& comms, UserMessages& messages, Ends ends, SysCalls& sys)
    : m_comms(comms),
      m_messages(messages),
      m_ends(std::move(ends)),
      m_sys(sys),
      m_toApp([this](TapPipe::Chunk& chunk) { DeliverToApp(chunk); }, [this] { WatchApp(); }, IdleMs),
      m_toDevice([this](TapPipe::Chunk& chunk) { DeliverToDevice(chunk); }, [this] { WatchAppLine(); }, IdleMs,
                 [this] { return ReadFollowedLine(m_sys, m_ends.AppMasterFd); }) {}

TapLink::~TapLink() {
  Stop();
  m_comms.SetReadForwarder(m_ends.Device, nullptr);
  m_comms.SetReadForwarder(m_ends.App, nullptr);
}

void TapLink::Start() {
  // A pseudo-terminal whose other side was never opened does not poll as
  // hung up; once opened and closed it does, until the application opens
  // it. That is how an absent application is told from a slow one.
  const int probe = m_sys.Open(m_ends.AppPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (probe >= 0) m_sys.Close(probe);
  m_appAbsent = true;

  // An application that asks finds the device's rate, and only a change
  // of its own is followed.
  const PortSettings device = m_comms.GetPortSettings(m_ends.Device);
  m_followed = {device.BaudRate, device.StopBits != StopOne};
  (void)WriteFollowedLine(m_sys, m_ends.AppMasterFd, m_followed);
  PortSettings app = m_comms.GetPortSettings(m_ends.App);
  app.BaudRate = device.BaudRate;
  app.StopBits = device.StopBits;
  m_comms.SetPortSettings(m_ends.App, app);

  m_comms.SetReadForwarder(m_ends.Device, &m_toApp);
  m_comms.SetReadForwarder(m_ends.App, &m_toDevice);
  m_toApp.Start();
  m_toDevice.Start();
}

void TapLink::Stop() {
  m_toApp.Stop();
  m_toDevice.Stop();
  ReportBytesWhileAbsent();
  ReportBytesNotTaken();
}

void TapLink::DeliverToApp(TapPipe::Chunk& chunk) {
  const uint8_t* data = chunk.Bytes.data();
  const size_t size = chunk.Bytes.size();
  size_t done = 0;
  while (done < size && !m_toApp.Stopping()) {
    pollfd master{m_ends.AppMasterFd, POLLOUT, 0};
    const int ready = m_sys.Poll(&master, 1, WriteSliceMs);
    if (ready < 0 && errno != EINTR) break;
    if (master.revents & (POLLHUP | POLLERR | POLLNVAL)) break;
    // Not writable: the application is slow, and only this direction waits.
    if (!(master.revents & POLLOUT)) continue;
    const ssize_t wrote = m_sys.Write(m_ends.AppMasterFd, data + done, size - done);
    if (wrote > 0) {
      done += static_cast<size_t>(wrote);
      m_toAppBytes.fetch_add(static_cast<uint64_t>(wrote), std::memory_order_relaxed);
    } else if (wrote < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
      break;
    }
  }
  if (m_toApp.Stopping()) return;
  if (done < size) {
    AppAbsent(size - done);
  } else {
    AppPresent();
  }
}

uint64_t TapLink::ForwardedFrom(uint8_t port) const {
  if (port == m_ends.Device) return m_toAppBytes.load(std::memory_order_relaxed);
  if (port == m_ends.App) return m_toDeviceBytes.load(std::memory_order_relaxed);
  return 0;
}

void TapLink::WatchApp() {
  pollfd master{m_ends.AppMasterFd, POLLOUT, 0};
  if (m_sys.Poll(&master, 1, 0) < 0) return;
  if (master.revents & POLLHUP) {
    m_appAbsent = true;
  } else {
    AppPresent();
  }
}

void TapLink::AppAbsent(size_t bytes) {
  m_appAbsent = true;
  m_bytesWhileAbsent += bytes;
}

void TapLink::AppPresent() {
  if (!m_appAbsent) return;
  m_appAbsent = false;
  // Its receive thread may be in a long wait for the hung-up side; the
  // application's first request must not wait for that.
  m_comms.WakePort(m_ends.App);
  ReportBytesWhileAbsent();
}

void TapLink::DeliverToDevice(TapPipe::Chunk& chunk) {
  if (chunk.Line) FollowLine(*chunk.Line);
  if (m_comms.WriteThrough(m_ends.Device, chunk.Bytes.data(), chunk.Bytes.size())) {
    m_toDeviceBytes.fetch_add(chunk.Bytes.size(), std::memory_order_relaxed);
    ReportBytesNotTaken();
  } else {
    m_bytesNotTaken += chunk.Bytes.size();
  }
}

void TapLink::WatchAppLine() {
  if (const std::optional<FollowedLine> line = ReadFollowedLine(m_sys, m_ends.AppMasterFd)) FollowLine(*line);
}

void TapLink::FollowLine(const FollowedLine& line) {
  if (line == m_followed || line.Rate == 0) return;
  m_followed = line;
  PortSettings device = m_comms.GetPortSettings(m_ends.Device);
  device.BaudRate = line.Rate;
  // The flag means one and a half stop bits with 5 data bits: which of the
  // two the user chose stays.
  if (!line.TwoStopBits) {
    device.StopBits = StopOne;
  } else if (device.StopBits == StopOne) {
    device.StopBits = StopTwo;
  }
  m_comms.SetPortSettings(m_ends.Device, device);
  const bool applied = m_comms.ApplyLineFormat(m_ends.Device);
  PortSettings app = m_comms.GetPortSettings(m_ends.App);
  app.BaudRate = device.BaudRate;
  app.StopBits = device.StopBits;
  m_comms.SetPortSettings(m_ends.App, app);
  m_followCount.fetch_add(1);
  // A device switched off takes the settings when it opens again.
  if (!applied && m_comms.IsPortEnabled(m_ends.Device) && m_refusedRates.insert(line.Rate).second) {
    m_messages.Post(ComName(m_ends.Device) + " refuses " + std::to_string(line.Rate) +
                    " baud, the rate the application set on " + ComName(m_ends.App));
  }
}

void TapLink::ReportBytesWhileAbsent() {
  if (m_bytesWhileAbsent == 0) return;
  m_messages.Post(ComName(m_ends.App) + ": " + std::to_string(m_bytesWhileAbsent) +
                  " bytes from the device while no application was connected");
  m_bytesWhileAbsent = 0;
}

void TapLink::ReportBytesNotTaken() {
  if (m_bytesNotTaken == 0) return;
  m_messages.Post(ComName(m_ends.Device) + ": " + std::to_string(m_bytesNotTaken) + " bytes from the application on " +
                  ComName(m_ends.App) + " could not be written to the device");
  m_bytesNotTaken = 0;
}

}  // namespace tapwise
