#pragma once
// Which display lines the window shows: the ports the user left ticked and
// the kinds of packet (received, sent, only those with line errors). It
// decides line by line, from what every display line carries (port, origin,
// error flag), so it applies alike to whatever lines the display holds;
// lines of running text carry no kind of packet, so only their port counts. It
// is a view of the lines and nothing more: capture, recording, triggers and
// the packet counter never look at it.
//
// A port the user has not hidden is shown, so a port that appears later (a
// USB adapter plugged in) shows until the user says otherwise. Tick thread
// (the window's) only.

#include <cstdint>
#include <string>
#include <vector>

#include "core/display/DisplayLine.h"
#include "core/platform/PortList.h"

namespace tapwise {

class LineFilter {
 public:
  // Something is hidden: a port, a direction, or all but the lines with
  // errors.
  bool Active() const;
  bool Passes(const DisplayLine& line) const;

  bool PortShown(uint8_t port) const { return !m_hiddenPorts.test(port); }
  void SetPortShown(uint8_t port, bool shown);
  void ShowAllPorts();
  const PortSet& HiddenPorts() const { return m_hiddenPorts; }

  bool ShowReceived() const { return m_received; }
  void SetShowReceived(bool shown);
  bool ShowSent() const { return m_sent; }
  void SetShowSent(bool shown);
  bool ErrorsOnly() const { return m_errorsOnly; }
  void SetErrorsOnly(bool only);

  // Shows everything again.
  void Reset();

  // Steps on every change that alters what passes, so a view can tell its
  // rows are out of date.
  uint32_t Revision() const { return m_revision; }

  // What the status bar says while the filter is on: "Filter: COM1 COM3,
  // sent, errors only"; the ports named are those shown out of `present`,
  // or "no ports" when none of them is. Empty when the filter is off.
  std::string Describe(const std::vector<uint8_t>& present) const;

 private:
  void Changed() { ++m_revision; }

  PortSet m_hiddenPorts;
  bool m_received = true;
  bool m_sent = true;
  bool m_errorsOnly = false;
  uint32_t m_revision = 0;
};

}  // namespace tapwise
