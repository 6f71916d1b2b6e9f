#include "capture/TWComms.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

namespace tapwise {

TWComms::TWComms(DeviceOpener& opener) : m_opener(opener) {}

TWComms::~TWComms() { DestroyPorts(); }

OpenResult TWComms::OpenComPort(uint8_t n) {
  if (!ValidPort(n)) return {};
  return m_opener.Open(n);
}

bool TWComms::ApplyPortSettings(uint8_t n) {
  if (!IsPortPresent(n)) return false;
  PortState& port = m_ports[n];
  std::lock_guard lock(port.DeviceMutex);
  SerialDevice* device = port.Thread->PortHandle.get();
  if (!device) return false;
  const PortSettings& s = port.Settings;
  bool formatOk = device->ApplyLineFormat({s.BaudRate, s.Parity, s.DataBits, s.StopBits});
  // The lines are held at fixed levels, never used for handshaking; with
  // NoHandshake they stay low whatever the settings say.
  bool handshake = NoHandshake.load() == 0;
  bool linesOk = device->SetControlLines(handshake && s.RTS != 0, handshake && s.DTR != 0);
  return formatOk && linesOk;
}

uint8_t TWComms::GetModemLines(uint8_t n) {
  if (NoHandshake.load() != 0 || !IsPortPresent(n)) return 0;
  PortState& port = m_ports[n];
  std::lock_guard lock(port.DeviceMutex);
  SerialDevice* device = port.Thread->PortHandle.get();
  return device ? static_cast<uint8_t>(device->ModemLines() & (ModemCTS | ModemDSR | ModemCD)) : 0;
}

void TWComms::CreatePorts() {
  for (int n = 1; n <= MaxComPorts; ++n) {
    auto com = static_cast<uint8_t>(n);
    PortState& port = m_ports[com];
    port.Thread.reset();
    OpenResult opened = OpenComPort(com);
    port.Probe = opened.Status;
    if (opened.Status != OpenStatus::Opened || !opened.Device) continue;
    port.Thread = std::make_unique<TRxThread>(*this, com, std::move(opened.Device));
    ApplyPortSettings(com);
    port.Thread->Start();
  }
}

void TWComms::DestroyPorts() {
  // Ask every thread first, so they all wind down together rather than one
  // after another.
  for (int n = 1; n <= MaxComPorts; ++n) {
    if (TRxThread* thread = m_ports[n].Thread.get()) {
      thread->StopRequest.store(1);
      thread->Wake();
    }
  }
  for (int n = 1; n <= MaxComPorts; ++n) {
    std::unique_ptr<TRxThread>& thread = m_ports[n].Thread;
    if (!thread) continue;
    while (thread->StopRequest.load() != 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    thread->Join();
    thread->CurrentPacket.reset();
    SetPortHandle(static_cast<uint8_t>(n), nullptr);
    thread.reset();
  }
  m_queue.Clear();
}

bool TWComms::IsPortPresent(uint8_t n) const { return ValidPort(n) && m_ports[n].Thread != nullptr; }

bool TWComms::IsPortEnabled(uint8_t n) const {
  return IsPortPresent(n) && m_ports[n].Thread->Enabled.load() != 0;
}

void TWComms::SetPortEnabled(uint8_t n, bool enabled) {
  if (!IsPortPresent(n)) return;
  m_ports[n].Thread->Enabled.store(enabled ? 1 : 0);
  m_ports[n].Thread->Wake();
}

OpenStatus TWComms::ProbeStatus(uint8_t n) const {
  return ValidPort(n) ? m_ports[n].Probe : OpenStatus::Absent;
}

int TWComms::PresentCount() const {
  int count = 0;
  for (int n = 1; n <= MaxComPorts; ++n) count += m_ports[n].Thread ? 1 : 0;
  return count;
}

PortSettings TWComms::GetPortSettings(uint8_t n) const {
  if (!ValidPort(n)) return {};
  std::lock_guard lock(m_ports[n].DeviceMutex);
  return m_ports[n].Settings;
}

void TWComms::SetPortSettings(uint8_t n, const PortSettings& settings) {
  if (!ValidPort(n)) return;
  std::lock_guard lock(m_ports[n].DeviceMutex);
  m_ports[n].Settings = settings;
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
  if (IsPortPresent(port)) {
    // One packet is written whole under the port's lock, so the bytes of two
    // packets sent from different threads never interleave on the line.
    std::lock_guard lock(m_ports[port].DeviceMutex);
    if (SerialDevice* device = m_ports[port].Thread->PortHandle.get()) {
      record->Error = device->Write(record->Data, count) ? 0 : 1;
    }
  }
  m_queue.Append(std::move(record));
}

void TWComms::SetPortHandle(uint8_t n, std::unique_ptr<SerialDevice> device) {
  std::unique_ptr<SerialDevice> old;
  {
    std::lock_guard lock(m_ports[n].DeviceMutex);
    old = std::exchange(m_ports[n].Thread->PortHandle, std::move(device));
  }
  // Closing may take a moment (the driver drains); nobody needs to wait on the lock for it.
  old.reset();
}

}  // namespace tapwise
