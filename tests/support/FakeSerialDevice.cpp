#include "support/FakeSerialDevice.h"

namespace tapwise {

void FakeLine::Feed(const std::vector<uint8_t>& bytes) {
  std::lock_guard lock(m_mutex);
  m_incoming.insert(m_incoming.end(), bytes.begin(), bytes.end());
}

void FakeLine::InjectError(uint8_t kinds) {
  std::lock_guard lock(m_mutex);
  m_errorKinds |= kinds;
}

void FakeLine::SetModemLines(uint8_t bits) {
  std::lock_guard lock(m_mutex);
  m_modem = bits;
}

void FakeLine::RefuseWrites(bool refuse) {
  std::lock_guard lock(m_mutex);
  m_refuseWrites = refuse;
}

void FakeLine::RefuseLineFormat(bool refuse) {
  std::lock_guard lock(m_mutex);
  m_refuseFormat = refuse;
}

std::vector<uint8_t> FakeLine::Written() const {
  std::lock_guard lock(m_mutex);
  return m_written;
}

LineFormat FakeLine::Format() const {
  std::lock_guard lock(m_mutex);
  return m_format;
}

bool FakeLine::Rts() const {
  std::lock_guard lock(m_mutex);
  return m_rts;
}

bool FakeLine::Dtr() const {
  std::lock_guard lock(m_mutex);
  return m_dtr;
}

int FakeLine::ApplyCount() const {
  std::lock_guard lock(m_mutex);
  return m_applyCount;
}

int FakeLine::OpenCount() const {
  std::lock_guard lock(m_mutex);
  return m_openCount;
}

FakeSerialDevice::FakeSerialDevice(std::shared_ptr<FakeLine> line) : m_line(std::move(line)) {
  std::lock_guard lock(m_line->m_mutex);
  ++m_line->m_openCount;
}

FakeSerialDevice::~FakeSerialDevice() {
  std::lock_guard lock(m_line->m_mutex);
  --m_line->m_openCount;
}

bool FakeSerialDevice::ApplyLineFormat(const LineFormat& format) {
  std::lock_guard lock(m_line->m_mutex);
  ++m_line->m_applyCount;
  if (m_line->m_refuseFormat) return false;
  m_line->m_format = format;
  return true;
}

bool FakeSerialDevice::SetControlLines(bool rts, bool dtr) {
  std::lock_guard lock(m_line->m_mutex);
  m_line->m_rts = rts;
  m_line->m_dtr = dtr;
  return true;
}

size_t FakeSerialDevice::Read(uint8_t* buffer, size_t maxBytes) {
  std::lock_guard lock(m_line->m_mutex);
  size_t count = 0;
  while (count < maxBytes && !m_line->m_incoming.empty()) {
    buffer[count++] = m_line->m_incoming.front();
    m_line->m_incoming.pop_front();
  }
  return count;
}

bool FakeSerialDevice::Write(const uint8_t* data, size_t count) {
  std::lock_guard lock(m_line->m_mutex);
  if (m_line->m_refuseWrites) return false;
  m_line->m_written.insert(m_line->m_written.end(), data, data + count);
  return true;
}

uint8_t FakeSerialDevice::TakeLineErrors() {
  std::lock_guard lock(m_line->m_mutex);
  const uint8_t kinds = m_line->m_errorKinds;
  m_line->m_errorKinds = 0;
  return kinds;
}

uint8_t FakeSerialDevice::ModemLines() {
  std::lock_guard lock(m_line->m_mutex);
  return m_line->m_modem;
}

}  // namespace tapwise
