#pragma once
// Which device each COM number (1..128) stands for. By default:
//   COM1-32   /dev/ttyS0-31      COM33-64  /dev/ttyUSB0-31
//   COM65-96  /dev/ttyACM0-31    COM97-128 nothing
// Command-line options override single numbers:
//   -port:N=PATH   COMN is the tty at the absolute PATH
//   -port:N=pty    COMN is a new virtual port: the program keeps the master
//                  side of a pseudo-terminal; another program opens the slave
//   -pair:A,B      COMA and COMB are the two ends of one pseudo-terminal, a
//                  null-modem cable inside the program
//   -port:N=rfc2217://HOST:PORT, -port:N=tcp://HOST:PORT
//                  COMN is a serial port served over the network; it opens
//                  at once and connects in the background
//   -tap:A,B=PATH[,link=LINK]
//                  COMA is the device at PATH (anything -port:A= takes);
//                  COMB is a new virtual port for the application that used
//                  to open the device, optionally reached through a symbolic
//                  link at LINK. The port manager's tap links pass the bytes
//                  between the two (see Taps).
//   -force:N       COMN opens even when another program has its device open
//                  without a lock (one with a lock is never taken over)
// The pseudo-terminals live as long as the map, so either end can be closed
// and opened again while the program runs.
//
// Options are applied before the ports are opened; after that the map does
// not change, and Open, WatchPath and StableName may be called from any
// thread. Applying options changes nothing on disk: the links of the taps
// are made by MakeLinks once every option has been accepted, and a map that
// only lists the ports never makes them.
//
// A port whose device another program has open is busy, even when that
// program took no lock (a plain open loses its bytes to whoever else reads
// the line). Our own process never counts, so the map's own pairs and taps
// open.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/ComNumbers.h"
#include "core/platform/NetworkAddress.h"
#include "core/platform/PortHolder.h"
#include "core/platform/PseudoTerminal.h"
#include "core/platform/PtyLink.h"
#include "core/platform/SerialDevice.h"
#include "core/platform/SysCalls.h"
#include "core/util/Result.h"

namespace tapwise {

class UserMessages;

class PortMap : public DeviceOpener {
 public:
  static constexpr int MaxCom = MaxComPorts;

  explicit PortMap(SysCalls& sys = RealSysCalls());

  // Applies one -port: or -pair: option (the prefix in any case). A failure
  // carries a one-line message naming the option and what is wrong with it,
  // and code 2, the exit status of a program given a bad option; the map is
  // then unchanged.
  [[nodiscard]] Result ApplyOption(std::string_view option);

  // Each -tap: option applied, in order.
  struct TapEnds {
    uint8_t Device = 0;
    uint8_t App = 0;
    int AppMasterFd = -1;  // the map's own descriptor of COMB's master side
    std::string AppPath;   // the slave path the application opens
  };
  std::vector<TapEnds> Taps() const;

  // Makes the link of every tap that asked for one. On a failure the links
  // made so far are removed again, and the message names the option, code 2.
  [[nodiscard]] Result MakeLinks();

  // Absent for a number outside 1..128 and for a slot without a device.
  OpenResult Open(uint8_t com) override;

  // What opening would find, without keeping anything open: for listing the
  // ports. A network port is tried once, waiting at most ProbeTimeoutMs, and
  // is absent when the connection cannot be made.
  static constexpr int ProbeTimeoutMs = 1500;
  OpenStatus Probe(uint8_t com);

  // Between these, the other programs' open devices are looked up once for
  // all the ports opened, rather than once per port.
  void BeginProbe() override;
  void EndProbe() override;

  // Where network ports tell the user that they cannot connect, lost their
  // connection or are back. Set before the ports open; may stay null.
  void SetMessages(UserMessages* messages) { m_messages = messages; }

  // The device as the user should see it: its path; for a virtual port the
  // slave path another program opens; for a pair that path and the partner,
  // e.g. "/dev/pts/4 (pair with COM2)"; "" for a slot without a device.
  std::string Describe(uint8_t com) const override;

  std::string DevicePath(uint8_t com) const override;

  // An explicit path, or a default USB or ACM path: these devices come and
  // go, so an absent or vanished one is watched for. The fixed serial ports
  // (/dev/ttyS*) always exist, and virtual and network ports look after
  // themselves.
  std::string WatchPath(uint8_t com) const override;
  std::string StableName(uint8_t com) const override;
  // A network port's connections after its device's first, every device
  // it had counted.
  uint32_t Reconnects(uint8_t com) const override;

  bool IsMapped(uint8_t com) const;
  // Mapped by an option rather than by default.
  bool IsExplicit(uint8_t com) const override;

 private:
  enum class Kind : uint8_t { None, Path, PtyMaster, PairMaster, PairSlave, Network, TapApp };
  struct Slot {
    Kind SlotKind = Kind::None;
    bool Explicit = false;
    bool Watched = false;  // a Path whose device may come and go
    std::string Path;
    std::shared_ptr<PseudoTerminal> Terminal;
    uint8_t Partner = 0;
    NetworkAddress Address;
  };
  // What a tap adds to its two slots: the device's names the application's
  // slot, the application's (TapApp, with Partner the device) holds the link.
  struct TapSide {
    uint8_t TappedFor = 0;
    std::string Option;    // the -tap: option, for MakeLinks's messages
    std::string LinkPath;  // as given; "" for none
    std::unique_ptr<PtyLink> Link;  // made by MakeLinks
  };

  const Slot* Find(uint8_t com) const;
  // The slot's own device, without what a tap adds.
  static std::string DescribeOwn(const Slot& slot);
  Result ApplyPort(std::string_view option, std::string_view rest);
  Result ApplyPair(std::string_view option, std::string_view rest);
  Result ApplyTap(std::string_view option, std::string_view rest);
  // Maps com as -port:com=target would; the messages name option.
  Result MapTarget(std::string_view option, int com, std::string_view target);
  Result ApplyForce(std::string_view option, std::string_view rest);
  // Opens a tty path, busy when another program has it open (unless forced).
  OpenResult OpenLine(uint8_t com, const std::string& path);
  bool OpenedByOther(dev_t device);

  SysCalls& m_sys;
  UserMessages* m_messages = nullptr;
  std::array<Slot, MaxCom + 1> m_slots;  // index 0 unused
  std::array<TapSide, MaxCom + 1> m_tapSides;
  std::array<bool, MaxCom + 1> m_forced{};
  std::array<std::atomic<uint32_t>, MaxCom + 1> m_reconnects{};
  std::mutex m_openersMutex;
  bool m_probing = false;                   // guarded by m_openersMutex
  std::optional<OpenerIndex> m_probeOpeners;  // guarded by m_openersMutex
};

}  // namespace tapwise
