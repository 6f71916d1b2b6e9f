#include "core/capture/PortSlot.h"

#include <utility>

namespace tapwise {

namespace {

LineFormat Format(const PortSettings& s) { return s.Line(); }

}  // namespace

PortSettings PortSlot::Settings() const {
  std::lock_guard lock(m_mutex);
  return m_settings;
}

void PortSlot::SetSettings(const PortSettings& settings) {
  std::lock_guard lock(m_mutex);
  m_settings = settings;
}

bool PortSlot::ApplyLineFormat() {
  std::lock_guard lock(m_mutex);
  return m_device && m_device->ApplyLineFormat(Format(m_settings));
}

bool PortSlot::ApplySettings(bool handshake) {
  std::lock_guard lock(m_mutex);
  if (!m_device) return false;
  const PortSettings& s = m_settings;
  const bool formatOk = m_device->ApplyLineFormat(Format(s));
  // The lines are held at fixed levels, never used for handshaking.
  const bool linesOk = m_device->SetControlLines(handshake && s.RTS != 0, handshake && s.DTR != 0);
  return formatOk && linesOk;
}

uint8_t PortSlot::ModemLines() {
  std::lock_guard lock(m_mutex);
  return m_device ? static_cast<uint8_t>(m_device->ModemLines() & (ModemCTS | ModemDSR | ModemCD)) : 0;
}

bool PortSlot::HasModemLines() {
  std::lock_guard lock(m_mutex);
  return m_device && m_device->HasModemLines();
}

bool PortSlot::Write(const uint8_t* bytes, size_t count) {
  std::lock_guard lock(m_mutex);
  return m_device && m_device->Write(bytes, count);
}

void PortSlot::SetDevice(std::unique_ptr<SerialDevice> device) {
  std::unique_ptr<SerialDevice> old;
  {
    std::lock_guard lock(m_mutex);
    old = std::exchange(m_device, std::move(device));
  }
  old.reset();
}

void PortSlot::OfferDevice(std::unique_ptr<SerialDevice> device) {
  std::unique_ptr<SerialDevice> old;
  {
    std::lock_guard lock(m_mutex);
    old = std::exchange(m_offered, std::move(device));
  }
  old.reset();
}

std::unique_ptr<SerialDevice> PortSlot::TakeOfferedDevice() {
  std::lock_guard lock(m_mutex);
  return std::move(m_offered);
}

}  // namespace tapwise
