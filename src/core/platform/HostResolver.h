#pragma once
// Turns a host and port into the TCP addresses to try, without making the
// caller wait: a numeric address is taken at once; a name is looked up on a
// thread of its own, and ReadyHandle polls readable when the answer is in.
// Dropping the resolver never waits for a lookup under way: the thread
// finishes on its own and frees what it used.

#include <sys/socket.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tapwise {

struct SocketAddress {
  sockaddr_storage Storage{};
  socklen_t Length = 0;
};

struct Resolution {
  std::vector<SocketAddress> Addresses;  // in the order to try them
  std::string Problem;                   // why there are none
};

class HostResolver {
 public:
  HostResolver(const std::string& host, uint16_t port);
  ~HostResolver() = default;
  HostResolver(const HostResolver&) = delete;
  HostResolver& operator=(const HostResolver&) = delete;

  bool Done() const;
  // Readable once Done; -1 when the answer was there at once.
  int ReadyHandle() const { return m_ready; }
  // The answer, once Done (taken out: a second call gets an empty one).
  Resolution Take();

  // The lookup on the caller's thread: for a program that may wait.
  static Resolution ResolveNow(const std::string& host, uint16_t port);
  // Only a numeric address, never the network; Problem set for a name.
  static Resolution ResolveNumeric(const std::string& host, uint16_t port);

 private:
  struct Shared {
    ~Shared();
    std::mutex Mutex;
    bool Done = false;
    Resolution Answer;
    int Event = -1;  // an eventfd, written once the answer is in
  };

  std::shared_ptr<Shared> m_shared;
  int m_ready = -1;
};

}  // namespace tapwise
