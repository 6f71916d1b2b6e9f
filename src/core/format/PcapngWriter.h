#pragma once
// The blocks of a pcapng file, as packet analysers read it: a section
// header naming the program, one interface description per port (made when
// the port's first packet is written), and one enhanced packet block per
// packet. Every block is built whole into the caller's buffer, so the
// caller can write it with one write and, when that fails, cut the file
// back to the end of the block before: what is on disk then stays a valid
// file.
//
// Layout (all little-endian, every block padded to 32 bits, its length at
// both ends; options end with opt_endofopt):
//  - section header: shb_userappl "Tapwise <version>", section length
//    unknown;
//  - interface: the link type (LINKTYPE_USER0 = 147 unless set otherwise),
//    no snapshot limit, if_name "COMn", if_description the device, if_tsresol
//    6 (microseconds);
//  - packet: its interface, the UTC instant of its first byte in
//    microseconds, its bytes whole, epb_flags inbound for received and
//    outbound for transmitted packets, and an opt_comment on a packet with
//    the error flag: "line error" when received, "write failed" when sent.
//
// With LINKTYPE_RTAC_SERIAL (250) each packet's bytes follow a 12-byte
// header that analysers dissect without any table of user link types (all
// big-endian): the instant again as seconds (32 bits) and microseconds
// (32 bits), the event type (8 bits), the modem lines (8 bits: CTS 0x01,
// DCD 0x02, DSR 0x04, RTS 0x08, DTR 0x10, RI 0x20) and a 16-bit footer, 0.
// The event is DATA_TX_START (1) for a sent packet and DATA_RX_START (2)
// for a received one; a received packet with the error flag is
// FRAMING_ERROR (7), since the serial layer reports parity, framing,
// break and overrun errors as that one flag. The modem lines are not
// carried by the packets and are written as 0.
//
// The writer only builds bytes; it keeps which ports have an interface and
// which number each got, in the order of their first packets.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "core/capture/PacketRecord.h"

namespace tapwise {

constexpr uint16_t LinkTypeUser0 = 147;
constexpr uint16_t LinkTypeRtacSerial = 250;

// The event types of the RTAC serial header that this program writes.
enum class RtacEvent : uint8_t {
  DataTxStart = 0x01,
  DataRxStart = 0x02,
  FramingError = 0x07,
  ParityError = 0x08,
  Break = 0x09,
  Overflow = 0x0A,
};
constexpr size_t RtacHeaderSize = 12;

class PcapngWriter {
 public:
  // The device text of a port ("" when there is none to give).
  using PortDescriber = std::function<std::string(uint8_t port)>;
  // The instant of a packet's Time, as microseconds since the Unix epoch.
  using TimeConverter = std::function<int64_t(DateTime)>;

  // Without a converter, a packet's local time is read by the time zone
  // rules of the system.
  explicit PcapngWriter(uint16_t linkType = LinkTypeUser0, PortDescriber describe = {},
                        TimeConverter toUnixMicros = {});

  // Forgets the interfaces and appends a section header: the start of a file.
  void AppendSectionHeader(std::string& out);
  // Appends the port's interface description if it has none yet, then the
  // packet's block.
  void AppendPacket(const PacketRecord& record, std::string& out);
  // Appends the port's interface description now if it has none yet: a
  // stream that announces its ports before the first packet.
  void DeclareInterface(uint8_t port, std::string& out) { (void)InterfaceFor(port, out); }

  uint16_t LinkType() const { return m_linkType; }

 private:
  // The interface number of the port, its description appended when new.
  uint32_t InterfaceFor(uint8_t port, std::string& out);

  uint16_t m_linkType;
  PortDescriber m_describe;
  TimeConverter m_toUnixMicros;
  // Interface number + 1 for each COM number; 0 while it has none.
  std::array<uint32_t, 256> m_interfaces{};
  uint32_t m_interfaceCount = 0;
};

}  // namespace tapwise
