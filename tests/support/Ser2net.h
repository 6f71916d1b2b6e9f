#pragma once
// A ser2net of the test's own on 127.0.0.1, serving device paths (a pty's
// slave, whose master the test holds) one TCP port each, from a YAML file in
// a temporary folder. It never touches the system's ser2net service or its
// configuration, and it can be stopped and started again on the same ports.

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace tapwise {

class ChildProcess;

class Ser2net {
 public:
  struct Served {
    std::string Device;
    bool Rfc2217 = true;  // telnet with RFC 2217; else raw TCP
  };

  // Whether the ser2net program is installed (the tests skip without it).
  static bool Available();

  explicit Ser2net(std::vector<Served> ports);
  ~Ser2net();
  Ser2net(const Ser2net&) = delete;
  Ser2net& operator=(const Ser2net&) = delete;

  // Starts it and waits until every port listens; false, with Error(), when
  // it does not come up.
  bool Start();
  void Stop();
  uint16_t Port(size_t index) const { return m_ports[index]; }
  std::string Url(size_t index) const;
  const std::string& Error() const { return m_error; }

 private:
  std::vector<Served> m_served;
  std::vector<uint16_t> m_ports;
  TempDir m_dir;
  std::unique_ptr<ChildProcess> m_process;
  std::string m_error;
};

// Whether something listens on 127.0.0.1:port (from /proc/net/tcp).
bool Listening(uint16_t port);

}  // namespace tapwise
