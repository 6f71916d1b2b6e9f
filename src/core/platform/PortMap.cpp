#include "core/platform/PortMap.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>

#include "core/platform/NetworkSerialDevice.h"
#include "core/platform/PosixSerialDevice.h"
#include "core/platform/StableName.h"

namespace tapwise {

namespace {

constexpr std::string_view PortPrefix = "-port:";
constexpr std::string_view PairPrefix = "-pair:";
constexpr std::string_view TapPrefix = "-tap:";
constexpr std::string_view ForcePrefix = "-force:";
constexpr std::string_view LinkPrefix = ",link=";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

bool EqualsNoCase(std::string_view text, std::string_view word) {
  return text.size() == word.size() && StartsWithNoCase(text, word);
}

// A decimal number; none when text is empty or holds anything but digits.
// Large numbers stop growing at 1000, which is out of range all the same.
std::optional<int> ParseNumber(std::string_view text) {
  if (text.empty()) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = std::min(value * 10 + (c - '0'), 1000);
  }
  return value;
}

bool InRange(int com) { return com >= 1 && com <= PortMap::MaxCom; }

// A bad option ends the program with status 2.
constexpr int BadOptionCode = 2;

Result Problem(std::string_view option, std::string_view what) {
  return Result::Failure("Bad option \"" + std::string(option) + "\": " + std::string(what), BadOptionCode);
}

// The option is sound, but the system could not give what it asks for.
Result CannotApply(std::string_view option, std::string_view why) {
  return Result::Failure("Cannot apply \"" + std::string(option) + "\": " + std::string(why), BadOptionCode);
}

// The same path once "." and ".." and doubled slashes are gone.
bool SamePath(const std::string& a, const std::string& b) {
  return std::filesystem::path(a).lexically_normal() == std::filesystem::path(b).lexically_normal();
}

Result AlreadyMapped(std::string_view option, int com) {
  return Problem(option, ComName(com) + " is already mapped by an earlier option");
}

}  // namespace

PortMap::PortMap(SysCalls& sys) : m_sys(sys) {
  struct Range {
    int First;
    const char* Prefix;
  };
  for (Range range : {Range{1, "/dev/ttyS"}, Range{33, "/dev/ttyUSB"}, Range{65, "/dev/ttyACM"}}) {
    for (int i = 0; i < 32; ++i) {
      Slot& slot = m_slots[static_cast<size_t>(range.First + i)];
      slot.SlotKind = Kind::Path;
      slot.Watched = range.First != 1;
      slot.Path = range.Prefix + std::to_string(i);
    }
  }
}

const PortMap::Slot* PortMap::Find(uint8_t com) const {
  if (!InRange(com)) return nullptr;
  const Slot& slot = m_slots[com];
  return slot.SlotKind == Kind::None ? nullptr : &slot;
}

Result PortMap::ApplyOption(std::string_view option) {
  if (StartsWithNoCase(option, PortPrefix)) return ApplyPort(option, option.substr(PortPrefix.size()));
  if (StartsWithNoCase(option, PairPrefix)) return ApplyPair(option, option.substr(PairPrefix.size()));
  if (StartsWithNoCase(option, TapPrefix)) return ApplyTap(option, option.substr(TapPrefix.size()));
  if (StartsWithNoCase(option, ForcePrefix)) return ApplyForce(option, option.substr(ForcePrefix.size()));
  return Problem(option, "expected -port:N=PATH, -port:N=pty or -pair:A,B");
}

Result PortMap::ApplyForce(std::string_view option, std::string_view rest) {
  std::optional<int> com = ParseNumber(rest);
  if (!com) return Problem(option, "expected -force:N");
  if (!InRange(*com)) return Problem(option, "COM numbers run from 1 to 128");
  m_forced[static_cast<size_t>(*com)] = true;
  return Result::Success();
}

Result PortMap::ApplyPort(std::string_view option, std::string_view rest) {
  size_t equals = rest.find('=');
  std::optional<int> com = ParseNumber(rest.substr(0, equals));
  if (equals == std::string_view::npos || !com || equals + 1 == rest.size()) {
    return Problem(option, "expected -port:N=PATH or -port:N=pty");
  }
  if (!InRange(*com)) return Problem(option, "COM numbers run from 1 to 128");
  return MapTarget(option, *com, rest.substr(equals + 1));
}

Result PortMap::MapTarget(std::string_view option, int com, std::string_view target) {
  bool virtualPort = EqualsNoCase(target, "pty");
  std::optional<NetworkAddress> address;
  if (NetworkAddress::LooksLikeUrl(target)) {
    std::string problem;
    address = NetworkAddress::Parse(target, &problem);
    if (!address) return Problem(option, problem);
  } else if (!virtualPort && target.front() != '/') {
    return Problem(option, "the path must be absolute, like /dev/ttyUSB0");
  }
  Slot& slot = m_slots[static_cast<size_t>(com)];
  if (slot.Explicit) return AlreadyMapped(option, com);

  Slot mapped;
  mapped.Explicit = true;
  if (address) {
    mapped.SlotKind = Kind::Network;
    mapped.Address = *address;
  } else if (virtualPort) {
    std::string error;
    mapped.Terminal = PseudoTerminal::Create(&error);
    if (!mapped.Terminal) return CannotApply(option, error);
    mapped.SlotKind = Kind::PtyMaster;
  } else {
    mapped.SlotKind = Kind::Path;
    mapped.Watched = true;
    mapped.Path = target;
  }
  slot = std::move(mapped);
  return Result::Success();
}

Result PortMap::ApplyPair(std::string_view option, std::string_view rest) {
  size_t comma = rest.find(',');
  std::optional<int> first = ParseNumber(rest.substr(0, comma));
  std::optional<int> second =
      comma == std::string_view::npos ? std::nullopt : ParseNumber(rest.substr(comma + 1));
  if (!first || !second) return Problem(option, "expected -pair:A,B");
  if (!InRange(*first) || !InRange(*second)) return Problem(option, "COM numbers run from 1 to 128");
  if (*first == *second) return Problem(option, "a pair needs two different COM numbers");
  for (int com : {*first, *second}) {
    if (m_slots[static_cast<size_t>(com)].Explicit) return AlreadyMapped(option, com);
  }

  std::string error;
  std::shared_ptr<PseudoTerminal> terminal = PseudoTerminal::Create(&error);
  if (!terminal) return CannotApply(option, error);
  Slot& master = m_slots[static_cast<size_t>(*first)];
  Slot& slave = m_slots[static_cast<size_t>(*second)];
  master = Slot{Kind::PairMaster, true, false, "", terminal, static_cast<uint8_t>(*second), {}};
  slave = Slot{Kind::PairSlave, true, false, "", terminal, static_cast<uint8_t>(*first), {}};
  return Result::Success();
}

Result PortMap::ApplyTap(std::string_view option, std::string_view rest) {
  constexpr std::string_view Expected = "expected -tap:A,B=PATH or -tap:A,B=PATH,link=LINK";
  const size_t equals = rest.find('=');
  const size_t comma = rest.substr(0, equals).find(',');
  if (equals == std::string_view::npos || comma == std::string_view::npos) return Problem(option, Expected);
  std::optional<int> device = ParseNumber(rest.substr(0, comma));
  std::optional<int> app = ParseNumber(rest.substr(comma + 1, equals - comma - 1));
  std::string_view target = rest.substr(equals + 1);
  std::string_view link;
  // A device path with ",link=" in it cannot be tapped; no device is named so.
  if (size_t at = target.find(LinkPrefix); at != std::string_view::npos) {
    link = target.substr(at + LinkPrefix.size());
    target = target.substr(0, at);
    if (link.empty() || link.front() != '/') return Problem(option, "the link must be an absolute path");
  }
  if (!device || !app || target.empty()) return Problem(option, Expected);
  if (!InRange(*device) || !InRange(*app)) return Problem(option, "COM numbers run from 1 to 128");
  if (*device == *app) return Problem(option, "a tap needs two different COM numbers");
  if (m_slots[static_cast<size_t>(*app)].Explicit) return AlreadyMapped(option, *app);
  if (!link.empty()) {
    const std::string linkPath(link);
    for (uint8_t com : AllComNumbers()) {
      const TapSide& other = m_tapSides[com];
      if (!other.LinkPath.empty() && SamePath(other.LinkPath, linkPath)) {
        return Problem(option, linkPath + " is already the link of " + ComName(com));
      }
    }
    // Only a path can be the device's own name; pty and network devices have none.
    const std::string devicePath = target.front() == '/' ? std::string(target) : std::string();
    if (std::string refused = PtyLink::Refusal(linkPath, devicePath); !refused.empty()) {
      return CannotApply(option, refused);
    }
  }

  // The application's side first: the device's slot stays as it was when
  // that fails, and the other way round the device slot is put back.
  Slot appSlot;
  std::string error;
  appSlot.Terminal = PseudoTerminal::Create(&error);
  if (!appSlot.Terminal) return CannotApply(option, error);
  if (Result mapped = MapTarget(option, *device, target); !mapped) return mapped;
  appSlot.SlotKind = Kind::TapApp;
  appSlot.Explicit = true;
  appSlot.Partner = static_cast<uint8_t>(*device);
  m_slots[static_cast<size_t>(*app)] = std::move(appSlot);
  m_tapSides[static_cast<size_t>(*device)].TappedFor = static_cast<uint8_t>(*app);
  TapSide& side = m_tapSides[static_cast<size_t>(*app)];
  side.Option = std::string(option);
  side.LinkPath = std::string(link);
  return Result::Success();
}

Result PortMap::MakeLinks() {
  std::vector<uint8_t> made;
  for (uint8_t com : AllComNumbers()) {
    TapSide& side = m_tapSides[com];
    if (side.LinkPath.empty() || side.Link) continue;
    std::string error;
    side.Link = PtyLink::Create(side.LinkPath, m_slots[com].Terminal->SlavePath(),
                                DevicePath(m_slots[com].Partner), &error);
    if (!side.Link) {
      for (uint8_t undo : made) m_tapSides[undo].Link.reset();
      return CannotApply(side.Option, error);
    }
    made.push_back(com);
  }
  return Result::Success();
}

std::vector<PortMap::TapEnds> PortMap::Taps() const {
  std::vector<TapEnds> taps;
  for (uint8_t com : AllComNumbers()) {
    const Slot& slot = m_slots[com];
    if (slot.SlotKind == Kind::TapApp) {
      taps.push_back({slot.Partner, com, slot.Terminal->MasterFd(), slot.Terminal->SlavePath()});
    }
  }
  return taps;
}

OpenResult PortMap::Open(uint8_t com) {
  const Slot* slot = Find(com);
  if (!slot) return {nullptr, OpenStatus::Absent};
  switch (slot->SlotKind) {
    case Kind::Path:
      return OpenLine(com, slot->Path);
    case Kind::PtyMaster:
    case Kind::PairMaster:
    case Kind::TapApp:
      return PosixSerialDevice::OpenPtyMaster(slot->Terminal->MasterFd(), m_sys);
    case Kind::PairSlave:
      // The far end of the cable is an ordinary tty: it gets the full open.
      return OpenLine(com, slot->Terminal->SlavePath());
    case Kind::Network:
      return NetworkSerialDevice::Open(slot->Address, ComName(com), m_messages, &m_reconnects[com]);
    case Kind::None:
      break;
  }
  return {nullptr, OpenStatus::Absent};
}

uint32_t PortMap::Reconnects(uint8_t com) const {
  return com >= 1 && com <= MaxCom ? m_reconnects[com].load() : 0;
}

OpenResult PortMap::OpenLine(uint8_t com, const std::string& path) {
  if (m_forced[com]) return PosixSerialDevice::Open(path, m_sys);
  return PosixSerialDevice::Open(path, m_sys, [this](dev_t device) { return OpenedByOther(device); });
}

bool PortMap::OpenedByOther(dev_t device) {
  std::lock_guard lock(m_openersMutex);
  if (!m_probing) return OpenerIndex::Scan().Has(device);
  if (!m_probeOpeners) m_probeOpeners = OpenerIndex::Scan();
  return m_probeOpeners->Has(device);
}

void PortMap::BeginProbe() {
  std::lock_guard lock(m_openersMutex);
  m_probing = true;
  m_probeOpeners.reset();
}

void PortMap::EndProbe() {
  std::lock_guard lock(m_openersMutex);
  m_probing = false;
  m_probeOpeners.reset();
}

OpenStatus PortMap::Probe(uint8_t com) {
  const Slot* slot = Find(com);
  if (slot && slot->SlotKind == Kind::Network) {
    return NetworkSerialDevice::Probe(slot->Address, ProbeTimeoutMs).empty() ? OpenStatus::Opened
                                                                            : OpenStatus::Absent;
  }
  return Open(com).Status;
}

std::string PortMap::Describe(uint8_t com) const {
  const Slot* slot = Find(com);
  if (!slot) return "";
  const TapSide& tap = m_tapSides[com];
  if (tap.TappedFor != 0) return DescribeOwn(*slot) + " (tapped for " + ComName(tap.TappedFor) + ")";
  if (slot->SlotKind != Kind::TapApp) return DescribeOwn(*slot);
  std::string text = slot->Terminal->SlavePath() + " (tap of " + ComName(slot->Partner) + " " +
                     DescribeOwn(m_slots[slot->Partner]) + ")";
  if (!tap.LinkPath.empty()) text += ", linked from " + tap.LinkPath;
  return text;
}

std::string PortMap::DescribeOwn(const Slot& slot) {
  switch (slot.SlotKind) {
    case Kind::Path:
      return slot.Path;
    case Kind::PtyMaster:
    case Kind::TapApp:
      return slot.Terminal->SlavePath();
    case Kind::PairMaster:
    case Kind::PairSlave:
      return slot.Terminal->SlavePath() + " (pair with " + ComName(slot.Partner) + ")";
    case Kind::Network:
      return slot.Address.Text();
    case Kind::None:
      break;
  }
  return "";
}

std::string PortMap::DevicePath(uint8_t com) const {
  const Slot* slot = Find(com);
  if (!slot) return "";
  switch (slot->SlotKind) {
    case Kind::Path:
      return slot->Path;
    case Kind::PairSlave:
      return slot->Terminal->SlavePath();
    case Kind::PtyMaster:
    case Kind::PairMaster:
    case Kind::TapApp:
    case Kind::Network:  // an address, not a node a local process could hold
    case Kind::None:
      break;
  }
  return "";
}

std::string PortMap::WatchPath(uint8_t com) const {
  const Slot* slot = Find(com);
  return slot && slot->Watched ? slot->Path : "";
}

std::string PortMap::StableName(uint8_t com) const {
  const Slot* slot = Find(com);
  return slot && slot->SlotKind == Kind::Path ? StableDeviceName(slot->Path) : "";
}

bool PortMap::IsMapped(uint8_t com) const { return Find(com) != nullptr; }

bool PortMap::IsExplicit(uint8_t com) const {
  const Slot* slot = Find(com);
  return slot && slot->Explicit;
}

}  // namespace tapwise
