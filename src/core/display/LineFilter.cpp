#include "core/display/LineFilter.h"

#include "core/platform/ComNumbers.h"

namespace tapwise {

bool LineFilter::Active() const { return m_hiddenPorts.any() || !m_received || !m_sent || m_errorsOnly; }

bool LineFilter::Passes(const DisplayLine& line) const {
  if (!Active()) return true;
  // A line without a port is an empty one waiting for text: it shows none
  // of the traffic asked for.
  if (line.Port == 0 || m_hiddenPorts.test(line.Port)) return false;
  // A line of running text (no packet time) may hold the text of several
  // packets and carries no kind: only its port counts.
  if (line.Time == 0) return true;
  if (!(line.Origin == OriginReceived ? m_received : m_sent)) return false;
  return !m_errorsOnly || line.Error != 0;
}

void LineFilter::SetPortShown(uint8_t port, bool shown) {
  if (port == 0 || port > MaxComPorts || PortShown(port) == shown) return;
  m_hiddenPorts.set(port, !shown);
  Changed();
}

void LineFilter::ShowAllPorts() {
  if (m_hiddenPorts.none()) return;
  m_hiddenPorts.reset();
  Changed();
}

void LineFilter::SetShowReceived(bool shown) {
  if (shown == m_received) return;
  m_received = shown;
  Changed();
}

void LineFilter::SetShowSent(bool shown) {
  if (shown == m_sent) return;
  m_sent = shown;
  Changed();
}

void LineFilter::SetErrorsOnly(bool only) {
  if (only == m_errorsOnly) return;
  m_errorsOnly = only;
  Changed();
}

void LineFilter::Reset() {
  if (!Active()) return;
  m_hiddenPorts.reset();
  m_received = m_sent = true;
  m_errorsOnly = false;
  Changed();
}

std::string LineFilter::Describe(const std::vector<uint8_t>& present) const {
  if (!Active()) return {};
  std::string text = "Filter:";
  if (m_hiddenPorts.any()) {
    std::string ports;
    for (uint8_t port : present) {
      if (PortShown(port)) ports += " " + ComName(port);
    }
    text += ports.empty() ? " no ports" : ports;
  }
  std::string kinds;
  if (!m_received || !m_sent) kinds = !m_received && !m_sent ? "nothing sent or received" : m_received ? "received" : "sent";
  if (m_errorsOnly) kinds += std::string(kinds.empty() ? "" : ", ") + "errors only";
  if (!kinds.empty()) text += (m_hiddenPorts.any() ? ", " : " ") + kinds;
  return text;
}

}  // namespace tapwise
