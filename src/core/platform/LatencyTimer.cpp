#include "core/platform/LatencyTimer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace tapwise {

namespace {

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// What to do about an attribute that cannot be written: the command for
// once, and the rule that sets it at every plug-in.
std::string HowToPermit(const std::string& attribute, int milliseconds) {
  const std::string value = std::to_string(milliseconds);
  return "run as root, or set it by hand (echo " + value + " | sudo tee " + attribute +
         "), or for good with a udev rule: ACTION==\"add\", SUBSYSTEM==\"usb-serial\", DRIVER==\"ftdi_sio\", "
         "ATTR{latency_timer}=\"" + value + "\"";
}

}  // namespace

LatencyTimer::LatencyTimer(std::string root, SysCalls& sys) : m_root(std::move(root)), m_sys(sys) {}

std::string LatencyTimer::AttributePath(const std::string& devicePath) const {
  if (devicePath.empty()) return {};
  char resolved[PATH_MAX];
  if (::realpath(devicePath.c_str(), resolved) == nullptr) return {};
  return m_root + "/bus/usb-serial/devices/" + BaseName(resolved) + "/latency_timer";
}

int LatencyTimer::ReadValue(const std::string& attribute) const {
  const int fd = m_sys.Open(attribute.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  char text[16] = {};
  const ssize_t got = m_sys.Read(fd, text, sizeof text - 1);
  m_sys.Close(fd);
  if (got <= 0) return -1;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || value < 0 || value > 255) return -1;
  return static_cast<int>(value);
}

bool LatencyTimer::WriteValue(const std::string& attribute, int value, int& error) const {
  const int fd = m_sys.Open(attribute.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return false;
  }
  const std::string text = std::to_string(value) + "\n";
  const ssize_t written = m_sys.Write(fd, text.data(), text.size());
  error = written < 0 ? errno : 0;
  m_sys.Close(fd);
  if (written == static_cast<ssize_t>(text.size())) return true;
  if (error == 0) error = EIO;
  return false;
}

LatencyTimer::Outcome LatencyTimer::Set(const std::string& devicePath, int milliseconds) {
  Outcome outcome;
  if (devicePath.empty()) {
    outcome.Message =
        "has no device here (a virtual or network port), so no latency timer: only USB serial adapters have one";
    return outcome;
  }
  const std::string attribute = AttributePath(devicePath);
  if (attribute.empty()) {
    outcome.Message = devicePath + " is not there; its latency timer is set when it appears";
    return outcome;
  }
  if (::access(attribute.c_str(), F_OK) != 0) {
    outcome.Message = devicePath + " has no latency timer (no " + attribute +
                      "): it is not a USB serial adapter whose driver has one, such as FTDI's";
    return outcome;
  }
  const int previous = ReadValue(attribute);
  int error = 0;
  if (!WriteValue(attribute, milliseconds, error)) {
    outcome.Message = "cannot set the latency timer of " + devicePath + ": " + attribute + ": " +
                      std::strerror(error) + "; " + HowToPermit(attribute, milliseconds);
    return outcome;
  }
  outcome.Set = true;
  outcome.Message = "latency timer " + std::to_string(milliseconds) + " ms";
  if (previous >= 0) outcome.Message += " (was " + std::to_string(previous) + " ms)";
  // Set again after a replug: the first value found is the one to put back.
  bool known = false;
  for (const Changed& changed : m_changed) known = known || changed.Attribute == attribute;
  if (previous >= 0 && previous != milliseconds && !known) m_changed.push_back({attribute, previous, milliseconds});
  return outcome;
}

void LatencyTimer::Restore() {
  for (const Changed& changed : m_changed) {
    // Someone else's value since, or a new adapter with its own: left alone.
    if (ReadValue(changed.Attribute) != changed.Written) continue;
    int error = 0;
    (void)WriteValue(changed.Attribute, changed.Previous, error);
  }
  m_changed.clear();
}

}  // namespace tapwise
