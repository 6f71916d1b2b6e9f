#include "support/FakeOpener.h"

namespace tapwise {

std::shared_ptr<FakeLine> FakeOpener::AddFake(uint8_t n) {
  auto line = std::make_shared<FakeLine>();
  AddFactory(n, [line] { return OpenResult{std::make_unique<FakeSerialDevice>(line), OpenStatus::Opened}; });
  return line;
}

void FakeOpener::AddFactory(uint8_t n, Factory factory) {
  std::lock_guard lock(m_mutex);
  m_factories[n] = std::move(factory);
}

void FakeOpener::ForceStatus(uint8_t n, OpenStatus status) {
  std::lock_guard lock(m_mutex);
  if (status == OpenStatus::Opened) {
    m_forced.erase(n);
  } else {
    m_forced[n] = status;
  }
}

int FakeOpener::OpenCalls(uint8_t n) const {
  std::lock_guard lock(m_mutex);
  auto it = m_calls.find(n);
  return it == m_calls.end() ? 0 : it->second;
}

void FakeOpener::SetExplicit(uint8_t n) {
  std::lock_guard lock(m_mutex);
  m_explicit.insert(n);
}

bool FakeOpener::IsExplicit(uint8_t n) const {
  std::lock_guard lock(m_mutex);
  return m_explicit.count(n) != 0;
}

void FakeOpener::SetPath(uint8_t n, const std::string& path) {
  std::lock_guard lock(m_mutex);
  m_paths[n] = path;
}

std::string FakeOpener::Describe(uint8_t n) const { return DevicePath(n); }

std::string FakeOpener::DevicePath(uint8_t n) const {
  std::lock_guard lock(m_mutex);
  auto it = m_paths.find(n);
  return it == m_paths.end() ? std::string() : it->second;
}

OpenResult FakeOpener::Open(uint8_t comNumber) {
  Factory factory;
  {
    std::lock_guard lock(m_mutex);
    ++m_calls[comNumber];
    if (auto forced = m_forced.find(comNumber); forced != m_forced.end()) return {nullptr, forced->second};
    auto it = m_factories.find(comNumber);
    if (it == m_factories.end()) return {nullptr, OpenStatus::Absent};
    factory = it->second;
  }
  return factory();
}

}  // namespace tapwise
