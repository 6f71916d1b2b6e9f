#include "core/platform/HostResolver.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstring>
#include <system_error>
#include <thread>

namespace tapwise {

namespace {

Resolution Lookup(const std::string& host, uint16_t port, bool numericOnly) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  // No AI_ADDRCONFIG: it hides the loopback addresses on a machine that has
  // no other address of their family. An address that cannot be reached
  // fails its connect, and the next one is tried.
  hints.ai_flags = AI_NUMERICSERV | (numericOnly ? AI_NUMERICHOST : 0);
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  int status = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
  Resolution result;
  if (status != 0) {
    result.Problem = status == EAI_SYSTEM ? std::strerror(errno) : gai_strerror(status);
    return result;
  }
  for (addrinfo* entry = found; entry; entry = entry->ai_next) {
    if (entry->ai_addrlen > sizeof(sockaddr_storage)) continue;
    SocketAddress address;
    std::memcpy(&address.Storage, entry->ai_addr, entry->ai_addrlen);
    address.Length = static_cast<socklen_t>(entry->ai_addrlen);
    result.Addresses.push_back(address);
  }
  freeaddrinfo(found);
  if (result.Addresses.empty()) result.Problem = "no address for it";
  return result;
}

}  // namespace

HostResolver::Shared::~Shared() {
  if (Event >= 0) close(Event);
}

Resolution HostResolver::ResolveNow(const std::string& host, uint16_t port) { return Lookup(host, port, false); }

Resolution HostResolver::ResolveNumeric(const std::string& host, uint16_t port) { return Lookup(host, port, true); }

HostResolver::HostResolver(const std::string& host, uint16_t port) : m_shared(std::make_shared<Shared>()) {
  Resolution numeric = ResolveNumeric(host, port);
  if (!numeric.Addresses.empty()) {
    m_shared->Answer = std::move(numeric);
    m_shared->Done = true;
    return;
  }
  m_shared->Event = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (m_shared->Event < 0) {
    m_shared->Answer.Problem = std::string("cannot wait for the name lookup: ") + std::strerror(errno);
    m_shared->Done = true;
    return;
  }
  m_ready = m_shared->Event;
  try {
    std::thread([shared = m_shared, host, port] {
      Resolution answer = Lookup(host, port, false);
      std::lock_guard lock(shared->Mutex);
      shared->Answer = std::move(answer);
      shared->Done = true;
      uint64_t one = 1;
      [[maybe_unused]] ssize_t written = write(shared->Event, &one, sizeof one);
    }).detach();
  } catch (const std::system_error& error) {
    std::lock_guard lock(m_shared->Mutex);
    m_shared->Answer.Problem = std::string("cannot start the name lookup: ") + error.what();
    m_shared->Done = true;
    uint64_t one = 1;
    [[maybe_unused]] ssize_t written = write(m_shared->Event, &one, sizeof one);
  }
}

bool HostResolver::Done() const {
  std::lock_guard lock(m_shared->Mutex);
  return m_shared->Done;
}

Resolution HostResolver::Take() {
  std::lock_guard lock(m_shared->Mutex);
  if (!m_shared->Done) return {};
  return std::move(m_shared->Answer);
}

}  // namespace tapwise
