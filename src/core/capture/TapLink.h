#pragma once
// One tap: the program sits between an application and its device. COM
// Device is the device; COM App is a virtual port whose other side the
// application opens instead. Every chunk either receive thread reads goes
// at once, complete and in order, to the other side through a pipe of its
// own direction (TapPipe), while the port manager frames and shows it as
// received on its own port as usual. Bytes written here are never records:
// what the program itself sends on either port stays a transmission.
//
// The application's side is watched:
//   - while no application has the virtual port open, bytes from the device
//     are not kept for it (they would reach the next application stale):
//     they are counted and the user is told how many when one connects,
//     or at the end;
//   - the rate and stop bits the application sets go into the device's
//     settings and its port's, within IdleMs, and before the bytes read
//     after the change are written where the kernel lets the order be seen
//     (the settings are looked at as each chunk is read). A rate the device
//     refuses is reported once. Data bits and parity stay the user's: a
//     pseudo-terminal forces 8 data bits without parity, so the application's
//     choice never shows, nor do its RTS and DTR.
//
// Threads: made, started, stopped and destroyed on the owner's thread,
// Start before the ports are created, Stop before they are destroyed and
// the destructor after. The pipes' threads use the port manager's send
// and settings calls, which any thread may use.

#include <atomic>
#include <cstdint>
#include <set>
#include <string>

#include "core/capture/TWComms.h"
#include "core/capture/TapPipe.h"
#include "core/platform/SysCalls.h"
#include "core/platform/Termios2.h"
#include "core/util/UserMessages.h"

namespace tapwise {

class TapLink {
 public:
  // How often the idle pipes look at the application's side.
  static constexpr int IdleMs = 20;
  // A blocked write to the application looks at Stop this often.
  static constexpr int WriteSliceMs = 50;

  struct Ends {
    uint8_t Device = 0;
    uint8_t App = 0;
    int AppMasterFd = -1;  // kept by the port map, which outlives the link
    std::string AppPath;   // the path the application opens
  };

  TapLink(TWComms& comms, UserMessages& messages, Ends ends, SysCalls& sys = RealSysCalls());
  ~TapLink();
  TapLink(const TapLink&) = delete;
  TapLink& operator=(const TapLink&) = delete;

  // Puts the device's rate and stop bits into the virtual port, hooks both
  // directions into the ports' receive threads and starts the pipes.
  void Start();
  // Ends the pipes and reports what is still counted; the receive threads'
  // forwards return at once from here on.
  void Stop();

  // Grows by one each time the device's settings followed the application.
  uint32_t FollowCount() const { return m_followCount.load(); }
  uint8_t DevicePort() const { return m_ends.Device; }
  uint8_t AppPort() const { return m_ends.App; }
  // Bytes read on the port (Device or App) that reached the other side so
  // far; any thread.
  uint64_t ForwardedFrom(uint8_t port) const;

 private:
  void DeliverToApp(TapPipe::Chunk& chunk);
  void WatchApp();
  // The application went (or never came): bytes for it are counted.
  void AppAbsent(size_t bytes);
  void AppPresent();
  void DeliverToDevice(TapPipe::Chunk& chunk);
  void WatchAppLine();
  void FollowLine(const FollowedLine& line);
  // Each on its own pipe's thread, and on the owner's once both ended.
  void ReportBytesWhileAbsent();
  void ReportBytesNotTaken();

  TWComms& m_comms;
  UserMessages& m_messages;
  const Ends m_ends;
  SysCalls& m_sys;
  TapPipe m_toApp;
  TapPipe m_toDevice;
  std::atomic<uint32_t> m_followCount{0};
  std::atomic<uint64_t> m_toAppBytes{0};
  std::atomic<uint64_t> m_toDeviceBytes{0};
  // The to-application pipe's thread only (and the owner's once it ended):
  bool m_appAbsent = false;
  uint64_t m_bytesWhileAbsent = 0;
  // The to-device pipe's thread only (and the owner's once it ended):
  FollowedLine m_followed;
  std::set<uint32_t> m_refusedRates;
  uint64_t m_bytesNotTaken = 0;
};

}  // namespace tapwise
