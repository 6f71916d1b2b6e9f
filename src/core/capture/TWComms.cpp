#include "core/capture/TWComms.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/util/StopHandshake.h"

namespace tapwise {

TWComms::TWComms(DeviceOpener& opener) : m_opener(opener) {}

TWComms::~TWComms() { DestroyPorts(); }

OpenResult TWComms::OpenComPort(uint8_t n) {
  if (!ValidPort(n)) return {};
  return m_opener.Open(n);
}

bool TWComms::ApplyPortSettings(uint8_t n) {
  // With NoHandshake RTS and DTR stay low whatever the settings say.
  return IsPortPresent(n) && m_ports[n].Slot.ApplySettings(NoHandshake.load() == 0);
}

void TWComms::SetReadForwarder(uint8_t n, ReadForwarder* forwarder) {
  if (ValidPort(n)) m_ports[n].Slot.SetForwarder(forwarder);
}

bool TWComms::WriteThrough(uint8_t n, const uint8_t* bytes, size_t count) {
  return IsPortPresent(n) && m_ports[n].Slot.Write(bytes, count);
}

bool TWComms::ApplyLineFormat(uint8_t n) { return IsPortPresent(n) && m_ports[n].Slot.ApplyLineFormat(); }

void TWComms::WakePort(uint8_t n) {
  if (!IsPortPresent(n)) return;
  if (TRxThread* thread = m_ports[n].Thread.get()) thread->Wake();
}

uint8_t TWComms::GetModemLines(uint8_t n) {
  if (NoHandshake.load() != 0 || !IsPortPresent(n)) return 0;
  return m_ports[n].Slot.ModemLines();
}

bool TWComms::HasModemLines(uint8_t n) {
  return NoHandshake.load() == 0 && IsPortPresent(n) && m_ports[n].Slot.HasModemLines();
}

void TWComms::CreatePorts() {
  bool watchable = false;
  for (uint8_t com : AllComNumbers()) watchable = watchable || (!m_skipped.test(com) && !m_opener.WatchPath(com).empty());
  if (watchable && !m_watcher) {
    m_watcher = std::make_unique<TPortWatcher>([this](uint8_t n) { return VisitWatchedPort(n); });
  }
  // Which devices other programs have open is looked up once for the probe.
  m_opener.BeginProbe();
  for (uint8_t com : AllComNumbers()) {
    PortState& port = m_ports[com];
    if (port.Thread || m_skipped.test(com)) continue;
    OpenResult opened = OpenComPort(com);
    port.Probe = opened.Status;
    if (opened.Status == OpenStatus::Opened && opened.Device) {
      StartPort(com, std::move(opened.Device));
    } else if (opened.Status == OpenStatus::Absent && CanWatchPort(com)) {
      // Only a path that is not there is waited for: a port that another
      // program holds now was never ours to take once it is released.
      m_watcher->Watch(com, m_opener.WatchPath(com));
    }
  }
  m_opener.EndProbe();
  if (m_watcher) m_watcher->Start();
}

void TWComms::StartPort(uint8_t n, std::unique_ptr<SerialDevice> device) {
  PortState& port = m_ports[n];
  port.Slot.SetEnabled(true);
  port.Slot.SetGone(false);
  port.Slot.SetDevice(std::move(device));
  ReceiveContext& context = *this;
  port.Thread = std::make_unique<TRxThread>(context, port.Slot, n);
  port.ReturnedAt = Clock::now();
  port.Present.store(true);
  ApplyPortSettings(n);
  port.Thread->Start();
}

TPortWatcher::Outcome TWComms::VisitWatchedPort(uint8_t n) {
  using Outcome = TPortWatcher::Outcome;
  PortState& port = m_ports[n];
  const bool present = port.Present.load();
  if (present && !port.Slot.Gone()) return Outcome::Done;
  if (present && !port.Slot.Enabled()) {
    // Switched off: it is there again and opens when switched on, and until
    // then it stays free for other programs.
    port.Slot.SetGone(false);
    PostEvent(n, PortChange::Back);
    port.Thread->Wake();
    return Outcome::Done;
  }
  // The full open, busy checks and all, as at start-up.
  OpenResult opened = OpenComPort(n);
  switch (opened.Status) {
    case OpenStatus::Opened:
      break;
    case OpenStatus::Busy:
    case OpenStatus::NotPermitted:  // udev sets the group a moment later
    case OpenStatus::Failed:
      return Outcome::RetryLater;
    case OpenStatus::NoDescriptors:  // another port may close meanwhile
      SayRefusal(n, opened.Status);
      return Outcome::RetryLater;
    case OpenStatus::NotATty:
      SayRefusal(n, opened.Status);
      return Outcome::WaitForChange;
    case OpenStatus::Absent:
      return Outcome::WaitForChange;
  }
  if (!opened.Device) return Outcome::RetryLater;
  port.RefusalSaid = false;
  if (present) {
    port.Slot.OfferDevice(std::move(opened.Device));
    port.Thread->Wake();
  } else {
    StartPort(n, std::move(opened.Device));
    PostEvent(n, PortChange::New);
  }
  return Outcome::Done;
}

bool TWComms::CanWatchPort(uint8_t n) const { return m_watcher && !m_opener.WatchPath(n).empty(); }

void TWComms::PortVanished(uint8_t n, bool silent) {
  PostEvent(n, PortChange::Gone);
  PortState& port = m_ports[n];
  const bool shortLife = silent && Clock::now() - port.ReturnedAt < ShortLife;
  port.HoldBackMs =
      shortLife ? std::clamp(port.HoldBackMs * 2, TPortWatcher::FirstRetryMs, TPortWatcher::MaxRetryMs) : 0;
  m_watcher->Watch(n, m_opener.WatchPath(n), port.HoldBackMs);
}

void TWComms::PortReturned(uint8_t n) {
  m_ports[n].ReturnedAt = Clock::now();
  PostEvent(n, PortChange::Back);
}

void TWComms::SayRefusal(uint8_t n, OpenStatus status) {
  PortState& port = m_ports[n];
  if (port.RefusalSaid) return;
  port.RefusalSaid = true;
  PostEvent(n, PortChange::Refused, status);
}

void TWComms::PostEvent(uint8_t n, PortChange change, OpenStatus status) {
  {
    std::lock_guard lock(m_eventMutex);
    m_events.push_back({n, change, status});
  }
  if (m_wake != nullptr) m_wake->Notify();
}

std::vector<PortEvent> TWComms::TakePortEvents() {
  std::lock_guard lock(m_eventMutex);
  return std::exchange(m_events, {});
}

void TWComms::DestroyPorts() {
  // No port appears or comes back from here on.
  if (m_watcher) m_watcher->Stop();
  // Ask every thread first, so they all wind down together rather than one
  // after another. From here on a send finds the port absent. The present
  // ports are exactly those with a receive thread.
  const std::vector<uint8_t> running = PresentPorts();
  for (uint8_t n : running) {
    PortState& port = m_ports[n];
    port.Present.store(false);
    if (TRxThread* thread = port.Thread.get()) {
      thread->StopRequest.store(1);
      thread->Wake();
    }
  }
  for (uint8_t n : running) {
    PortState& port = m_ports[n];
    if (!port.Thread) continue;
    WaitForStopCleared(port.Thread->StopRequest);
    port.Thread->Join();
    port.Thread.reset();
    // Under the slot's lock: a send that found the port present just before
    // finishes first.
    port.Slot.SetDevice(nullptr);
    port.Slot.TakeOfferedDevice().reset();
    port.Slot.SetGone(false);
  }
  // The receive threads that may still have asked for a watch have ended.
  m_watcher.reset();
  m_queue.Clear();
  std::lock_guard lock(m_eventMutex);
  m_events.clear();
}

bool TWComms::IsPortPresent(uint8_t n) const { return ValidPort(n) && m_ports[n].Present.load(); }

bool TWComms::IsPortGone(uint8_t n) const { return IsPortPresent(n) && m_ports[n].Slot.Gone(); }

bool TWComms::IsPortEnabled(uint8_t n) const { return IsPortPresent(n) && m_ports[n].Slot.Enabled(); }

void TWComms::SetPortEnabled(uint8_t n, bool enabled) {
  if (!IsPortPresent(n)) return;
  m_ports[n].Slot.SetEnabled(enabled);
  if (TRxThread* thread = m_ports[n].Thread.get()) thread->Wake();
}

OpenStatus TWComms::ProbeStatus(uint8_t n) const {
  return ValidPort(n) ? m_ports[n].Probe : OpenStatus::Absent;
}

int TWComms::PresentCount() const {
  return static_cast<int>(PresentPorts().size());
}

std::vector<uint8_t> TWComms::PresentPorts() const {
  std::vector<uint8_t> present;
  for (uint8_t n : AllComNumbers()) {
    if (IsPortPresent(n)) present.push_back(n);
  }
  return present;
}

PortSettings TWComms::GetPortSettings(uint8_t n) const {
  return ValidPort(n) ? m_ports[n].Slot.Settings() : PortSettings{};
}

void TWComms::SetPortSettings(uint8_t n, const PortSettings& settings) {
  if (ValidPort(n)) m_ports[n].Slot.SetSettings(settings);
}

const std::string& TWComms::PortName(uint8_t n) const {
  static const std::string None;
  return ValidPort(n) ? m_names[n] : None;
}

void TWComms::SetPortName(uint8_t n, std::string name) {
  if (ValidPort(n)) m_names[n] = std::move(name);
}

std::string TWComms::NamedPort(uint8_t n) const {
  const std::string& name = PortName(n);
  return name.empty() ? ComName(n) : ComName(n) + " (" + name + ")";
}

void TWComms::WritePacket(uint8_t port, const uint8_t* bytes, uint16_t count) {
  count = std::min(count, PacketCapacity);
  std::unique_ptr<PacketRecord> record = NewPacketRecord();
  record->Port = port;
  record->Origin = OriginTransmitted;
  record->Time = Now();
  record->Length = count;
  if (count > 0) std::memcpy(record->Data, bytes, count);
  record->Error = 1;
  if (IsPortPresent(port)) record->Error = m_ports[port].Slot.Write(record->Data, count) ? 0 : 1;
  m_queue.Append(std::move(record));
}

}  // namespace tapwise
