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

void TWComms::CreatePorts() {
  for (uint8_t com : AllComNumbers()) {
    PortState& port = m_ports[com];
    if (port.Thread) continue;
    OpenResult opened = OpenComPort(com);
    port.Probe = opened.Status;
    if (opened.Status != OpenStatus::Opened || !opened.Device) continue;
    port.Slot.SetEnabled(true);
    port.Slot.SetDevice(std::move(opened.Device));
    ReceiveContext& context = *this;
    port.Thread = std::make_unique<TRxThread>(context, port.Slot, com);
    port.Present.store(true);
    ApplyPortSettings(com);
    port.Thread->Start();
  }
}

void TWComms::DestroyPorts() {
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
  }
  m_queue.Clear();
}

bool TWComms::IsPortPresent(uint8_t n) const { return ValidPort(n) && m_ports[n].Present.load(); }

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
