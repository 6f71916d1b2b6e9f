#include "core/session/PortReport.h"

#include <grp.h>
#include <sys/stat.h>

#include "core/capture/TWComms.h"
#include "core/platform/PortHolder.h"
#include "core/platform/SerialDevice.h"

namespace tapwise {

namespace {

std::string PortLine(uint8_t n, const DeviceOpener& map) { return ComName(n) + " " + map.Describe(n); }

// Markup shows a backslash only when it is doubled, and breaks lines at "\n".
std::string ForMarkupLines(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

// What would let this user open the device at path: the group that may
// read and write it ("dialout" for serial ports on Debian); "" when joining
// a group would not help or the node cannot be looked at.
std::string PermissionRemedy(const std::string& path) {
  struct stat node {};
  if (path.empty() || stat(path.c_str(), &node) != 0) return "";
  if ((node.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) return "";
  const group* owner = getgrgid(node.st_gid);
  if (!owner || !owner->gr_name) return "";
  return std::string(" (join the group ") + owner->gr_name + ")";
}

std::string UnusablePortLine(uint8_t port, OpenStatus status, const DeviceOpener& map) {
  std::string line = PortLine(port, map) + ": " + OpenStatusText(status);
  if (status == OpenStatus::Busy) line += PortHolderText(map.DevicePath(port));
  if (status == OpenStatus::NotPermitted) line += PermissionRemedy(map.DevicePath(port));
  return line;
}

}  // namespace

std::string NotPermittedPorts(const TWComms& comms, const DeviceOpener& map) {
  std::string refused;
  for (uint8_t n : AllComNumbers()) {
    if (comms.ProbeStatus(n) != OpenStatus::NotPermitted) continue;
    refused += "  " + PortLine(n, map) + "\n";
  }
  return refused;
}

std::vector<std::string> UnusableMappedPorts(const TWComms& comms, const DeviceOpener& map) {
  std::vector<std::string> lines;
  for (uint8_t port : AllComNumbers()) {
    // A port the user left out was not tried: nothing went wrong with it.
    if (!map.IsExplicit(port) || comms.IsPortPresent(port) || comms.IsPortSkipped(port)) continue;
    lines.push_back(UnusablePortLine(port, comms.ProbeStatus(port), map));
  }
  return lines;
}

std::vector<std::string> UnusablePorts(const TWComms& comms, const DeviceOpener& map) {
  std::vector<std::string> lines;
  for (uint8_t port : AllComNumbers()) {
    if (comms.IsPortPresent(port) || comms.IsPortSkipped(port)) continue;
    const OpenStatus status = comms.ProbeStatus(port);
    // A probed number without a device, or with a file that is no port, is
    // no port of the user's; one that exists and was refused is. (Without a
    // descriptor left, whether a probed device exists is not known.)
    const bool existing = status == OpenStatus::Busy || status == OpenStatus::NotPermitted;
    if (map.IsExplicit(port) || existing) lines.push_back(UnusablePortLine(port, status, map));
  }
  return lines;
}

std::string NoPortsReport(const TWComms& comms, const DeviceOpener& map) {
  std::string text = "No COM Ports are Available";
  for (const std::string& line : UnusableMappedPorts(comms, map)) text += "\\n" + ForMarkupLines(line);
  const std::string refused = NotPermittedPorts(comms, map);
  if (!refused.empty()) {
    text += "\\n\\nThese ports exist but you are not permitted to open them:\\n" + ForMarkupLines(refused) +
            "On Debian, serial ports belong to the group \\bdialout\\b: add yourself with"
            "\\n  sudo adduser $USER dialout\\nand log in again.";
  }
  text += "\\n\\nA virtual port pair needs no hardware: tapwise -pair:1,2";
  return text;
}

std::string PortEventLine(const PortEvent& event, const DeviceOpener& map) {
  if (event.Change == PortChange::Refused) return PortLine(event.Port, map) + ": " + OpenStatusText(event.Status);
  const char* what = "gone";
  if (event.Change == PortChange::Back) what = "back";
  if (event.Change == PortChange::New) what = "new";
  return PortLine(event.Port, map) + " " + what;
}

std::string WithPortName(const std::string& device, const std::string& name) {
  if (name.empty()) return device;
  return device.empty() ? "\"" + name + "\"" : device + " \"" + name + "\"";
}

}  // namespace tapwise
