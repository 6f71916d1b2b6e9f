#include "core/format/PcapngWriter.h"

#include <algorithm>
#include <utility>

#include "core/platform/ComNumbers.h"
#include "core/platform/SerialDevice.h"
#include "core/util/Clock.h"

namespace tapwise {

namespace {

constexpr uint32_t SectionHeaderBlock = 0x0A0D0D0A;
constexpr uint32_t InterfaceDescriptionBlock = 1;
constexpr uint32_t EnhancedPacketBlock = 6;
constexpr uint32_t ByteOrderMagic = 0x1A2B3C4D;

constexpr uint16_t OptEndOfOpt = 0;
constexpr uint16_t OptComment = 1;
constexpr uint16_t ShbUserAppl = 4;
constexpr uint16_t IfName = 2;
constexpr uint16_t IfDescription = 3;
constexpr uint16_t IfTsresol = 9;
constexpr uint16_t EpbFlags = 2;

constexpr uint32_t FlagInbound = 1;
constexpr uint32_t FlagOutbound = 2;
// 10^-6 s: the timestamps count microseconds.
constexpr uint8_t MicrosecondResolution = 6;

void Put16(std::string& out, uint16_t value) {
  const char bytes[2] = {static_cast<char>(value), static_cast<char>(value >> 8)};
  out.append(bytes, 2);
}

void Put32(std::string& out, uint32_t value) {
  const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
                         static_cast<char>(value >> 24)};
  out.append(bytes, 4);
}

void PadTo32Bits(std::string& out, size_t length) { out.append((4 - length % 4) % 4, '\0'); }

void Put32BigEndian(std::string& out, uint32_t value) {
  const char bytes[4] = {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
                         static_cast<char>(value)};
  out.append(bytes, 4);
}

// A received packet's event: its data, or the line error it came with. One
// event a packet, so where several kinds came together the one that says
// most of the line goes: a break, then an overrun (bytes lost), then parity;
// framing, and an error whose kind the device could not tell, as framing.
RtacEvent RtacEventOfReceived(const PacketRecord& record) {
  if (record.Error == 0) return RtacEvent::DataRxStart;
  if (record.ErrorKinds & LineErrorBreak) return RtacEvent::Break;
  if (record.ErrorKinds & LineErrorOverrun) return RtacEvent::Overflow;
  if (record.ErrorKinds & LineErrorParity) return RtacEvent::ParityError;
  return RtacEvent::FramingError;
}

// The RTAC serial header of a packet (see the header file).
void AppendRtacHeader(const PacketRecord& record, uint64_t unixMicros, std::string& out) {
  Put32BigEndian(out, static_cast<uint32_t>(unixMicros / 1'000'000));
  Put32BigEndian(out, static_cast<uint32_t>(unixMicros % 1'000'000));
  RtacEvent event = RtacEvent::DataTxStart;
  if (record.Origin == OriginReceived) event = RtacEventOfReceived(record);
  out.push_back(static_cast<char>(event));
  out.push_back('\0');  // the modem lines: not known per packet
  out.append(2, '\0');  // footer
}

void PutOption(std::string& out, uint16_t code, const void* value, size_t length) {
  // An option's length field is 16 bits; nothing this program writes comes near it.
  length = std::min<size_t>(length, 0xFFFC);
  Put16(out, code);
  Put16(out, static_cast<uint16_t>(length));
  out.append(static_cast<const char*>(value), length);
  PadTo32Bits(out, length);
}

void PutOption(std::string& out, uint16_t code, const std::string& text) {
  PutOption(out, code, text.data(), text.size());
}

void PutEndOfOptions(std::string& out) {
  Put16(out, OptEndOfOpt);
  Put16(out, 0);
}

// Starts a block; its length is filled in by EndBlock.
size_t BeginBlock(std::string& out, uint32_t type) {
  const size_t start = out.size();
  Put32(out, type);
  Put32(out, 0);
  return start;
}

void EndBlock(std::string& out, size_t start) {
  const auto total = static_cast<uint32_t>(out.size() - start + 4);
  for (int i = 0; i < 4; ++i) out[start + 4 + static_cast<size_t>(i)] = static_cast<char>(total >> (8 * i));
  Put32(out, total);
}

}  // namespace

PcapngWriter::PcapngWriter(uint16_t linkType, PortDescriber describe, TimeConverter toUnixMicros)
    : m_linkType(linkType), m_describe(std::move(describe)), m_toUnixMicros(std::move(toUnixMicros)) {
  if (!m_toUnixMicros) m_toUnixMicros = [](DateTime time) { return LocalToUnixMicroseconds(time); };
}

void PcapngWriter::AppendSectionHeader(std::string& out) {
  m_interfaces.fill(0);
  m_interfaceCount = 0;
  const size_t start = BeginBlock(out, SectionHeaderBlock);
  Put32(out, ByteOrderMagic);
  Put16(out, 1);  // version 1.0
  Put16(out, 0);
  // Section length -1: not known, since the file grows as packets come.
  Put32(out, 0xFFFFFFFF);
  Put32(out, 0xFFFFFFFF);
  PutOption(out, ShbUserAppl, std::string("Tapwise ") + TAPWISE_VERSION);
  PutEndOfOptions(out);
  EndBlock(out, start);
}

uint32_t PcapngWriter::InterfaceFor(uint8_t port, std::string& out) {
  if (m_interfaces[port] != 0) return m_interfaces[port] - 1;
  const size_t start = BeginBlock(out, InterfaceDescriptionBlock);
  Put16(out, m_linkType);
  Put16(out, 0);  // reserved
  Put32(out, 0);  // no snapshot length: packets are always whole
  PutOption(out, IfName, ComName(port));
  const std::string description = m_describe ? m_describe(port) : std::string();
  if (!description.empty()) PutOption(out, IfDescription, description);
  PutOption(out, IfTsresol, &MicrosecondResolution, 1);
  PutEndOfOptions(out);
  EndBlock(out, start);
  m_interfaces[port] = ++m_interfaceCount;
  return m_interfaceCount - 1;
}

void PcapngWriter::AppendPacket(const PacketRecord& record, std::string& out) {
  const uint32_t interface = InterfaceFor(record.Port, out);
  const uint32_t length = std::min<uint32_t>(record.Length, PacketCapacity);
  const bool rtac = m_linkType == LinkTypeRtacSerial;
  const uint32_t captured = length + (rtac ? static_cast<uint32_t>(RtacHeaderSize) : 0);
  out.reserve(out.size() + 64 + captured);
  const size_t start = BeginBlock(out, EnhancedPacketBlock);
  Put32(out, interface);
  // Before 1970 cannot be written; the clock would have to be far wrong.
  const auto timestamp = static_cast<uint64_t>(std::max<int64_t>(m_toUnixMicros(record.Time), 0));
  Put32(out, static_cast<uint32_t>(timestamp >> 32));
  Put32(out, static_cast<uint32_t>(timestamp));
  Put32(out, captured);
  Put32(out, captured);  // on the line
  if (rtac) AppendRtacHeader(record, timestamp, out);
  out.append(reinterpret_cast<const char*>(record.Data), length);
  PadTo32Bits(out, captured);
  const uint32_t flags = record.Origin == OriginReceived ? FlagInbound : FlagOutbound;
  const char flagBytes[4] = {static_cast<char>(flags), 0, 0, 0};
  PutOption(out, EpbFlags, flagBytes, 4);
  if (record.Error != 0) {
    // A sent packet's error flag means the write failed, not the line.
    PutOption(out, OptComment, record.Origin == OriginReceived ? "line error" : "write failed");
  }
  PutEndOfOptions(out);
  EndBlock(out, start);
}

}  // namespace tapwise
