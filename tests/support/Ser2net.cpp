#include "support/Ser2net.h"

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/ChildProcess.h"
#include "support/LoopbackPort.h"

namespace tapwise {

namespace {

std::string FindProgram() {
  for (const char* path : {"/usr/sbin/ser2net", "/usr/bin/ser2net", "/usr/local/sbin/ser2net"}) {
    if (access(path, X_OK) == 0) return path;
  }
  return "";
}

}  // namespace

bool Ser2net::Available() { return !FindProgram().empty(); }

bool Listening(uint16_t port) {
  std::ifstream table("/proc/net/tcp");
  std::string line;
  std::getline(table, line);  // the heading
  char wanted[32];
  std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port);
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state;
    fields >> slot >> local >> remote >> state;
    if (local == wanted && state == "0A") return true;
  }
  return false;
}

Ser2net::Ser2net(std::vector<Served> ports) : m_served(std::move(ports)) {
  for (size_t i = 0; i < m_served.size(); ++i) m_ports.push_back(FreeLoopbackPort());
  std::string yaml = "%YAML 1.1\n---\n";
  for (size_t i = 0; i < m_served.size(); ++i) {
    yaml += "connection: &port" + std::to_string(i) + "\n";
    yaml += std::string("  accepter: ") + (m_served[i].Rfc2217 ? "telnet(rfc2217),tcp," : "tcp,") + "127.0.0.1," +
            std::to_string(m_ports[i]) + "\n";
    yaml += "  enable: on\n  options:\n    kickolduser: true\n";
    yaml += "  connector: serialdev," + m_served[i].Device + ",9600n81,local\n";
  }
  TempDir::WriteFile(m_dir / "ser2net.yaml", yaml);
}

Ser2net::~Ser2net() { Stop(); }

std::string Ser2net::Url(size_t index) const {
  return std::string(m_served[index].Rfc2217 ? "rfc2217" : "tcp") + "://127.0.0.1:" + std::to_string(m_ports[index]);
}

bool Ser2net::Start() {
  Stop();
  const std::string program = FindProgram();
  if (program.empty()) {
    m_error = "ser2net is not installed";
    return false;
  }
  // -n: stay in the foreground; -u: no UUCP lock files; its own pid file,
  // so nothing of the system's ser2net is touched.
  m_process = std::make_unique<ChildProcess>(std::vector<std::string>{
      program, "-n", "-u", "-c", m_dir / "ser2net.yaml", "-P", m_dir / "ser2net.pid"});
  if (!m_process->Started()) {
    m_error = "ser2net did not start";
    return false;
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (size_t i = 0; i < m_ports.size(); ++i) {
    while (!Listening(m_ports[i])) {
      if (std::chrono::steady_clock::now() > deadline) {
        m_process->ReadStderrUntil([](const std::string&) { return false; }, std::chrono::milliseconds(100));
        m_error = "ser2net did not listen on port " + std::to_string(m_ports[i]) + ": " + m_process->Stderr();
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  return true;
}

void Ser2net::Stop() {
  if (!m_process) return;
  m_process->Signal(SIGTERM);
  m_process->Wait(std::chrono::seconds(5));
  m_process.reset();  // kills it if it did not end
}

}  // namespace tapwise
