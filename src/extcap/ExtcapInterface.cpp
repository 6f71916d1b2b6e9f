#include "extcap/ExtcapInterface.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>

#include "core/platform/ComNumbers.h"
#include "core/platform/PortMap.h"
#include "extcap/MonitorSocket.h"

namespace tapwise {

namespace {

constexpr const char* Prefix = "tapwise-";
constexpr size_t ListLimit = size_t{1} << 20;

// "com12" or "all": the port part of a name.
std::optional<uint8_t> ParsePortPart(const std::string& text) {
  if (text == "all") return uint8_t{0};
  if (text.size() < 4 || text.size() > 6 || text.compare(0, 3, "com") != 0) return std::nullopt;
  const std::string digits = text.substr(3);
  if (digits[0] == '0' || digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  const int port = std::stoi(digits);
  if (port < 1 || port > MaxComPorts) return std::nullopt;
  return static_cast<uint8_t>(port);
}

// The analyser's interface lines are brace-delimited fields: a brace in a
// device text or a port's name would end its field early.
std::string FieldText(std::string text) {
  for (char& c : text) {
    if (c == '{') c = '(';
    if (c == '}') c = ')';
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  }
  return text;
}

// One monitor's connection while its list comes.
struct Asking {
  int Fd = -1;
  std::string Received;
  bool Done = false;
};

int ConnectAndAsk(const std::string& socketPath) {
  const int fd = ConnectToMonitor(socketPath, true);
  if (fd < 0) return -1;
  if (::send(fd, "list\n", 5, MSG_NOSIGNAL) != 5) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// "COMn<TAB>device" lines.
std::vector<MonitorPorts::Port> ParseList(const std::string& text) {
  std::vector<MonitorPorts::Port> ports;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = std::min(text.find('\n', start), text.size());
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    const size_t tab = line.find('\t');
    const std::string name = line.substr(0, tab);
    if (name.size() < 4 || name.compare(0, 3, "COM") != 0) continue;
    std::string lower = "com" + name.substr(3);
    const std::optional<uint8_t> port = ParsePortPart(lower);
    if (!port || *port == 0) continue;
    ports.push_back({*port, tab == std::string::npos ? "" : line.substr(tab + 1)});
  }
  return ports;
}

// Whether a fixed serial port has a UART behind it, as its sysfs node says
// (the kernel makes ttyS0..31 whether or not there is one).
bool UartKnown(const std::string& devicePath) {
  const std::string name = devicePath.substr(devicePath.rfind('/') + 1);
  std::ifstream type("/sys/class/tty/" + name + "/type");
  int value = 0;
  return (type >> value) && value != 0;
}

}  // namespace

std::string InterfaceValue(const ExtcapInterfaceName& name) {
  std::string value = Prefix;
  if (name.Monitor != 0) value += std::to_string(name.Monitor) + "-";
  value += name.Port == 0 ? "all" : "com" + std::to_string(name.Port);
  return value;
}

std::optional<ExtcapInterfaceName> ParseInterfaceValue(const std::string& value) {
  const size_t prefix = std::char_traits<char>::length(Prefix);
  if (value.compare(0, prefix, Prefix) != 0) return std::nullopt;
  std::string rest = value.substr(prefix);
  ExtcapInterfaceName name;
  const size_t dash = rest.find('-');
  if (dash != std::string::npos) {
    const std::string digits = rest.substr(0, dash);
    if (digits.empty() || digits.size() > 9 || digits[0] == '0' ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
      return std::nullopt;
    }
    name.Monitor = static_cast<pid_t>(std::stol(digits));
    rest = rest.substr(dash + 1);
  }
  const std::optional<uint8_t> port = ParsePortPart(rest);
  if (!port) return std::nullopt;
  name.Port = *port;
  return name;
}

std::vector<MonitorPorts> AskMonitors(const std::vector<RunningMonitor>& monitors, std::chrono::milliseconds limit) {
  std::vector<MonitorPorts> answers;
  std::vector<Asking> asking;
  for (const RunningMonitor& monitor : monitors) {
    answers.push_back({monitor, false, {}});
    asking.push_back({ConnectAndAsk(monitor.SocketPath), {}, false});
    if (asking.back().Fd < 0) asking.back().Done = true;
  }
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    std::vector<pollfd> waits;
    std::vector<size_t> which;
    for (size_t i = 0; i < asking.size(); ++i) {
      if (asking[i].Done) continue;
      waits.push_back({asking[i].Fd, POLLIN, 0});
      which.push_back(i);
    }
    if (waits.empty()) break;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    const int ready = ::poll(waits.data(), waits.size(), static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR) break;
    for (size_t k = 0; k < waits.size(); ++k) {
      if (waits[k].revents == 0) continue;
      Asking& one = asking[which[k]];
      char buffer[4096];
      const ssize_t n = ::recv(one.Fd, buffer, sizeof(buffer), MSG_DONTWAIT);
      if (n > 0) {
        one.Received.append(buffer, static_cast<size_t>(n));
        // A list of 128 ports is a few KiB; what goes on past this is no list.
        if (one.Received.size() > ListLimit) one.Done = true;
      } else if (n == 0) {
        // The monitor closes the connection at the end of its list.
        one.Done = true;
        answers[which[k]].Answered = true;
        answers[which[k]].Ports = ParseList(one.Received);
      } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        one.Done = true;
      }
    }
  }
  for (const Asking& one : asking) {
    if (one.Fd >= 0) ::close(one.Fd);
  }
  return answers;
}

std::vector<ExtcapInterface> MonitorInterfaces(const std::vector<MonitorPorts>& monitors) {
  std::vector<ExtcapInterface> interfaces;
  for (const MonitorPorts& monitor : monitors) {
    const std::string head = "Tapwise " + std::to_string(monitor.Monitor.Pid) + ": ";
    for (const MonitorPorts::Port& port : monitor.Ports) {
      interfaces.push_back({{monitor.Monitor.Pid, port.Number},
                            FieldText(head + ComName(port.Number) + (port.Device.empty() ? "" : " " + port.Device))});
    }
    interfaces.push_back({{monitor.Monitor.Pid, 0}, head + "all ports"});
  }
  return interfaces;
}

std::vector<ExtcapInterface> OwnInterfaces() {
  std::vector<ExtcapInterface> interfaces;
  const PortMap map;
  for (uint8_t com : AllComNumbers()) {
    const std::string path = map.DevicePath(com);
    if (path.empty()) continue;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) continue;
    if (path.rfind("/dev/ttyS", 0) == 0 && !UartKnown(path)) continue;
    if (::access(path.c_str(), R_OK | W_OK) != 0) continue;
    interfaces.push_back({{0, com}, FieldText("Tapwise: " + ComName(com) + " " + path)});
  }
  interfaces.push_back({{0, 0}, "Tapwise: all ports"});
  return interfaces;
}

std::string InterfacesText(const std::vector<ExtcapInterface>& interfaces) {
  std::string text = "extcap {version=" TAPWISE_VERSION "}\n";
  for (const ExtcapInterface& one : interfaces) {
    text += "interface {value=" + InterfaceValue(one.Name) + "}{display=" + one.Display + "}\n";
  }
  return text;
}

}  // namespace tapwise
