// pcapng recordings: the blocks checked byte by byte by a strict reader,
// then read back by tshark, and recorded through the real queue drain.

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "core/capture/TWComms.h"
#include "core/display/DisplayDrain.h"
#include "core/format/PcapngWriter.h"
#include "core/recorder/RecordFormats.h"
#include "core/recorder/Recorder.h"
#include "core/session/PacketFanOut.h"
#include "support/FakeOpener.h"
#include "support/PcapngBlocks.h"
#include "support/ResultAssertions.h"
#include "support/TempDir.h"
#include "support/TestRecords.h"
#include "support/Tshark.h"

namespace tapwise {
namespace {

constexpr uint32_t SectionHeader = 0x0A0D0D0A;
constexpr uint32_t Interface = 1;
constexpr uint32_t Packet = 6;

// Each packet's timestamp is its place in the file, a whole second apart,
// from a fixed instant with every microsecond digit in use.
constexpr int64_t FirstInstant = 1'717'171'717'123'456;
PcapngWriter::TimeConverter Sequence() {
  auto next = std::make_shared<int64_t>(FirstInstant);
  return [next](DateTime) {
    const int64_t instant = *next;
    *next += 1'000'000;
    return instant;
  };
}

std::string Describe(uint8_t port) { return port == 12 ? "" : "/dev/ttyUSB" + std::to_string(port); }

std::string Hex(const std::string& bytes) {
  std::string out;
  char cell[3];
  for (unsigned char byte : bytes) {
    std::snprintf(cell, sizeof cell, "%02x", byte);
    out += cell;
  }
  return out;
}

struct Sent {
  uint8_t Port;
  uint8_t Origin;
  uint8_t Error;
  std::string Bytes;
};

// Every padding (lengths 0..8), the largest packet, both directions, errors
// on received and sent packets, three ports in an order that is not theirs.
const std::vector<Sent>& Traffic() {
  static const std::vector<Sent> traffic = [] {
    std::vector<Sent> t;
    for (size_t n = 0; n <= 8; ++n) {
      t.push_back({static_cast<uint8_t>(n % 2 ? 7 : 2), static_cast<uint8_t>(n % 3 ? OriginReceived : OriginTransmitted),
                   0, CountingBytes(n)});
    }
    t.push_back({12, OriginReceived, 1, CountingBytes(4096)});
    t.push_back({2, OriginTransmitted, 1, "sent"});
    t.push_back({7, OriginReceived, 0, std::string(4095, '\xff')});
    return t;
  }();
  return traffic;
}

std::string WriteTraffic(uint16_t linkType = LinkTypeUser0) {
  PcapngWriter writer(linkType, Describe, Sequence());
  std::string file;
  writer.AppendSectionHeader(file);
  for (const Sent& s : Traffic()) writer.AppendPacket(*MakeRecord(s.Port, s.Bytes, s.Origin, s.Error), file);
  return file;
}

// tshark's fields of a file of the traffic: one row per packet, one column
// per field, or none when that is not what came.
std::vector<std::vector<std::string>> TrafficRows(const std::string& file, const std::vector<std::string>& fields) {
  const TsharkRun run = RunTsharkFields(file, fields);
  EXPECT_EQ(run.Status, 0) << run.Err;
  auto rows = FieldRows(run.Out);
  bool whole = rows.size() == Traffic().size();
  for (const auto& row : rows) whole = whole && row.size() == fields.size();
  EXPECT_TRUE(whole) << run.Out;
  return whole ? rows : decltype(rows){};
}

TEST(PcapngWriter, EveryBlockIsExactAndEachPortGetsOneInterfaceBeforeItsFirstPacket) {
  const std::string file = WriteTraffic();
  const PcapngFile read = ReadPcapngBlocks(file);
  ASSERT_EQ(read.Error, "");
  ASSERT_FALSE(read.Blocks.empty());
  EXPECT_EQ(read.Blocks[0].Type, SectionHeader);
  EXPECT_EQ(read.Blocks[0].Option(4), std::string("Tapwise ") + TAPWISE_VERSION);

  std::map<uint32_t, uint8_t> portOfInterface;
  std::map<uint8_t, uint32_t> interfaceOfPort;
  size_t packet = 0;
  for (size_t i = 1; i < read.Blocks.size(); ++i) {
    const PcapngBlock& block = read.Blocks[i];
    if (block.Type == Interface) {
      SCOPED_TRACE("interface " + block.Option(2));
      const auto port = static_cast<uint8_t>(std::stoi(block.Option(2).substr(3)));
      // Numbered in the order they appear; one per port, only before its first packet.
      EXPECT_FALSE(interfaceOfPort.count(port));
      ASSERT_LT(packet, Traffic().size());
      EXPECT_EQ(Traffic()[packet].Port, port);
      interfaceOfPort[port] = static_cast<uint32_t>(portOfInterface.size());
      portOfInterface[static_cast<uint32_t>(portOfInterface.size())] = port;
      EXPECT_EQ(block.LinkType, 147);
      EXPECT_EQ(block.SnapLength, 0u);
      EXPECT_EQ(block.Option(9), std::string(1, '\x06'));
      bool described = false;
      EXPECT_EQ(block.Option(3, &described), Describe(port));
      EXPECT_EQ(described, !Describe(port).empty());  // no empty description
      continue;
    }
    ASSERT_EQ(block.Type, Packet);
    ASSERT_LT(packet, Traffic().size());
    const Sent& sent = Traffic()[packet];
    SCOPED_TRACE("packet " + std::to_string(packet));
    EXPECT_EQ(portOfInterface.at(block.Interface), sent.Port);
    EXPECT_EQ(block.Data, sent.Bytes);
    EXPECT_EQ(block.OriginalLength, sent.Bytes.size());
    EXPECT_EQ(block.Timestamp, static_cast<uint64_t>(FirstInstant + 1'000'000 * static_cast<int64_t>(packet)));
    EXPECT_EQ(block.Option(2), std::string(1, sent.Origin == OriginReceived ? '\x01' : '\x02') + std::string(3, '\0'));
    bool commented = false;
    const std::string comment = block.Option(1, &commented);
    EXPECT_EQ(commented, sent.Error != 0);
    if (commented) {
      EXPECT_EQ(comment, sent.Origin == OriginReceived ? "line error" : "write failed");
    }
    ++packet;
  }
  EXPECT_EQ(packet, Traffic().size());
  EXPECT_EQ(interfaceOfPort.size(), 3u);

  // A new section starts afresh: its ports get interfaces again.
  PcapngWriter writer(148, Describe, Sequence());
  std::string again;
  writer.AppendSectionHeader(again);
  writer.AppendPacket(*MakeRecord(2, "a"), again);
  writer.AppendSectionHeader(again);
  writer.AppendPacket(*MakeRecord(2, "b"), again);
  const PcapngFile twice = ReadPcapngBlocks(again);
  ASSERT_EQ(twice.Error, "");
  ASSERT_EQ(twice.Blocks.size(), 6u);
  EXPECT_EQ(twice.Blocks[4].Type, Interface);
  EXPECT_EQ(twice.Blocks[4].LinkType, 148);
  EXPECT_EQ(twice.Blocks[5].Interface, 0u);
}

TEST(PcapngWriter, TsharkReadsEveryPacketWithItsInterfaceDirectionCommentAndTime) {
  TAPWISE_REQUIRE_TSHARK();
  TempDir dir;
  TempDir::WriteFile(dir / "t.pcapng", WriteTraffic());
  // frame.comment is the name this tshark gives the packet comment.
  const auto rows = TrafficRows(dir / "t.pcapng", {"frame.interface_name", "frame.interface_description",
                                                    "frame.packet_flags_direction", "frame.len", "frame.time_epoch",
                                                    "frame.comment", "data"});
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE("packet " + std::to_string(i));
    const Sent& sent = Traffic()[i];
    EXPECT_EQ(rows[i][0], "COM" + std::to_string(sent.Port));
    EXPECT_EQ(rows[i][1], Describe(sent.Port));
    EXPECT_EQ(rows[i][2], sent.Origin == OriginReceived ? "0x00000001" : "0x00000002");
    EXPECT_EQ(rows[i][3], std::to_string(sent.Bytes.size()));
    // Microsecond resolution: the digits after the sixth are zeros.
    EXPECT_EQ(rows[i][4], std::to_string(1'717'171'717 + i) + ".123456000");
    EXPECT_EQ(rows[i][5], sent.Error ? (sent.Origin == OriginReceived ? "line error" : "write failed") : "");
    EXPECT_EQ(rows[i][6], Hex(sent.Bytes));
  }

  // Another link type is what the interfaces say.
  TempDir::WriteFile(dir / "u.pcapng", WriteTraffic(148));
  const TsharkRun other = RunTsharkFields(dir / "u.pcapng", {"frame.protocols"});
  ASSERT_EQ(other.Status, 0) << other.Err;
  EXPECT_EQ(FieldRows(other.Out).size(), Traffic().size());
  EXPECT_NE(other.Out.find("user_dlt"), std::string::npos) << other.Out;
}

// The RTAC serial header, byte by byte, ahead of the packet's own bytes: the
// instant in big-endian seconds and microseconds, the event, the modem lines
// and the footer.
TEST(PcapngWriter, RtacSerialPutsItsHeaderBeforeEveryPacket) {
  const PcapngFile read = ReadPcapngBlocks(WriteTraffic(LinkTypeRtacSerial));
  ASSERT_EQ(read.Error, "");
  size_t packet = 0;
  for (const PcapngBlock& block : read.Blocks) {
    if (block.Type == Interface) {
      EXPECT_EQ(block.LinkType, 250);
    }
    if (block.Type != Packet) continue;
    ASSERT_LT(packet, Traffic().size());
    const Sent& sent = Traffic()[packet];
    SCOPED_TRACE("packet " + std::to_string(packet));
    ASSERT_EQ(block.Data.size(), RtacHeaderSize + sent.Bytes.size());
    EXPECT_EQ(block.OriginalLength, block.Data.size());
    const uint32_t seconds = 1'717'171'717 + static_cast<uint32_t>(packet);
    const std::string header{static_cast<char>(seconds >> 24), static_cast<char>(seconds >> 16),
                             static_cast<char>(seconds >> 8),  static_cast<char>(seconds),
                             0x00, 0x01, static_cast<char>(0xE2), 0x40,  // 123456 µs
                             static_cast<char>(sent.Origin == OriginTransmitted ? 0x01 : sent.Error ? 0x07 : 0x02),
                             0x00, 0x00, 0x00};
    EXPECT_EQ(Hex(block.Data.substr(0, RtacHeaderSize)), Hex(header));
    EXPECT_EQ(block.Data.substr(RtacHeaderSize), sent.Bytes);
    // The direction and the error comment are there as with any link type.
    EXPECT_EQ(block.Option(2), std::string(1, sent.Origin == OriginReceived ? '\x01' : '\x02') + std::string(3, '\0'));
    ++packet;
  }
  EXPECT_EQ(packet, Traffic().size());
}

// A received packet's line error names its kind in the event, as far as
// the device told it; tshark reads each back by its name.
TEST(PcapngWriter, RtacSerialEventsTellTheKindOfLineError) {
  struct Case {
    uint8_t Kinds;
    uint8_t Event;
    const char* Name;
  };
  const Case cases[] = {
      {0, 0x07, "framing (kind unknown)"},
      {LineErrorFraming, 0x07, "framing"},
      {LineErrorParity, 0x08, "parity"},
      {LineErrorOverrun, 0x0A, "overrun"},
      {LineErrorBreak, 0x09, "break"},
      {LineErrorBreak | LineErrorParity, 0x09, "break with parity"},
      {LineErrorOther, 0x07, "other"},
  };
  PcapngWriter writer(LinkTypeRtacSerial, Describe, Sequence());
  std::string file;
  writer.AppendSectionHeader(file);
  for (const Case& c : cases) {
    auto record = MakeRecord(1, "e");
    record->Error = 1;
    record->ErrorKinds = c.Kinds;
    writer.AppendPacket(*record, file);
  }
  const PcapngFile read = ReadPcapngBlocks(file);
  ASSERT_EQ(read.Error, "");
  std::vector<uint8_t> events;
  for (const PcapngBlock& block : read.Blocks) {
    if (block.Type == Packet) events.push_back(static_cast<uint8_t>(block.Data.at(8)));
  }
  ASSERT_EQ(events.size(), std::size(cases));
  for (size_t i = 0; i < events.size(); ++i) EXPECT_EQ(events[i], cases[i].Event) << cases[i].Name;

  TAPWISE_REQUIRE_TSHARK();
  TempDir dir;
  TempDir::WriteFile(dir / "errors.pcapng", file);
  const TsharkRun run = RunTsharkFields(dir / "errors.pcapng", {"rtacser.eventtype"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const auto rows = FieldRows(run.Out);
  ASSERT_EQ(rows.size(), std::size(cases));
  const char* const shown[] = {"0x07", "0x07", "0x08", "0x0a", "0x09", "0x09", "0x07"};
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].at(0), shown[i]) << cases[i].Name;
}

// What this machine's tshark makes of the header: the event names the
// direction or the line error, its time is the packet's, and what follows
// is the packet's bytes, which Decode As hands to Modbus RTU.
TEST(PcapngWriter, TsharkDissectsTheRtacSerialHeaderAndDecodesModbusAfterIt) {
  TAPWISE_REQUIRE_TSHARK();
  TempDir dir;
  TempDir::WriteFile(dir / "rtac.pcapng", WriteTraffic(LinkTypeRtacSerial));
  const auto rows = TrafficRows(dir / "rtac.pcapng", {"frame.protocols", "rtacser.eventtype", "rtacser.timestamp",
                                                       "frame.time_epoch", "frame.packet_flags_direction", "data"});
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE("packet " + std::to_string(i));
    const Sent& sent = Traffic()[i];
    EXPECT_EQ(rows[i][0], sent.Bytes.empty() ? "rtacser" : "rtacser:data");
    EXPECT_EQ(rows[i][1], sent.Origin == OriginTransmitted ? "0x01" : sent.Error ? "0x07" : "0x02");
    EXPECT_EQ(rows[i][2], std::to_string(1'717'171'717 + i) + ".123456000");
    EXPECT_EQ(rows[i][3], rows[i][2]);
    EXPECT_EQ(rows[i][4], sent.Origin == OriginReceived ? "0x00000001" : "0x00000002");
    EXPECT_EQ(rows[i][5], Hex(sent.Bytes));
  }

  // A Modbus RTU poll and its answer, each a packet of its own.
  PcapngWriter writer(LinkTypeRtacSerial, Describe, Sequence());
  std::string modbus;
  writer.AppendSectionHeader(modbus);
  writer.AppendPacket(*MakeRecord(1, std::string("\x01\x03\x00\x00\x00\x02\xc4\x0b", 8), OriginTransmitted), modbus);
  writer.AppendPacket(*MakeRecord(1, std::string("\x01\x03\x04\x00\x01\x00\x02\x2a\x32", 9)), modbus);
  TempDir::WriteFile(dir / "modbus.pcapng", modbus);
  const TsharkRun decoded = RunTsharkFields(dir / "modbus.pcapng", {"rtacser.eventtype", "mbrtu.unit_id",
                                                                    "modbus.func_code", "modbus.regval_uint16"},
                                            {}, ModbusRtuAfterRtac);
  ASSERT_EQ(decoded.Status, 0) << decoded.Err;
  EXPECT_EQ(FieldRows(decoded.Out),
            (std::vector<std::vector<std::string>>{{"0x01", "1", "3", ""}, {"0x02", "1", "3", "1,2"}}))
      << decoded.Out;
}

class PcapngThroughTheDrain : public ::testing::Test {
 protected:
  void SetUp() override {
    opener.AddFake(1);
    opener.AddFake(2);
    comms.CreatePorts();
    fanOut.AddSink(drain);
    fanOut.AddSink(recorder);
    recorder.SetPortDescriber([](uint8_t port) { return "/dev/fake" + std::to_string(port); });
  }
  void TearDown() override { comms.DestroyPorts(); }

  TempDir dir;
  FakeOpener opener;
  TWComms comms{opener};
  DisplayDrain drain;
  Recorder recorder;
  PacketFanOut fanOut{comms};
  const int PcapngFilter = DialogFilterIndex(RecorderState::RecordPcapng);
};

TEST_F(PcapngThroughTheDrain, TheThirdRecordFilterRecordsPcapngWithTheOtherFormatsStatus) {
  EXPECT_EQ(Recorder::RecordingFileName("/tmp/trace", PcapngFilter), "/tmp/trace.pcapng");
  EXPECT_EQ(Recorder::RecordingFileName("/tmp/trace.DAT", PcapngFilter), "/tmp/trace.pcapng");
  recorder.SetLinkType(150);
  ASSERT_TRUE(Succeeded(recorder.StartRecording(dir / "trace", PcapngFilter)));
  EXPECT_EQ(recorder.RecordName(), dir / "trace.pcapng");
  EXPECT_EQ(recorder.State(), RecorderState::RecordPcapng);
  EXPECT_EQ(recorder.StatusText(), "Recording trace.pcapng");
  EXPECT_EQ(recorder.StatusColour(), RecordingColour);
  EXPECT_FALSE(recorder.PlayEnabled());
  // Already a whole file before the first packet.
  EXPECT_EQ(ReadPcapngBlocks(TempDir::ReadFile(dir / "trace.pcapng")).Error, "");

  comms.Queue().Append(MakeRecord(2, "first", OriginTransmitted));
  comms.Queue().Append(MakeRecord(1, "second"));
  fanOut.DrainQueue();
  recorder.PauseClick(true);
  comms.Queue().Append(MakeRecord(1, "paused"));
  fanOut.DrainQueue();
  recorder.PauseClick(false);
  comms.Queue().Append(MakeRecord(2, "third", OriginReceived, 1));
  fanOut.DrainQueue();
  recorder.Stop();
  EXPECT_EQ(recorder.RecordType(), PcapngFilter);

  const PcapngFile read = ReadPcapngBlocks(TempDir::ReadFile(dir / "trace.pcapng"));
  ASSERT_EQ(read.Error, "");
  std::vector<std::string> seen;
  for (const PcapngBlock& block : read.Blocks) {
    if (block.Type == Interface) seen.push_back(block.Option(2) + " " + block.Option(3) + " " +
                                                std::to_string(block.LinkType));
    if (block.Type == Packet) seen.push_back(std::to_string(block.Interface) + " " + block.Data);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"COM2 /dev/fake2 150", "0 first", "COM1 /dev/fake1 150", "1 second",
                                            "0 third"}));
}

TEST_F(PcapngThroughTheDrain, AFileThatCannotTakeTheSectionHeaderIsNotRecordedTo) {
  EXPECT_TRUE(
      FailedWith(recorder.StartRecordingFile("/dev/full", RecorderState::RecordPcapng), "No space left on device"));
  EXPECT_EQ(recorder.State(), RecorderState::Idle);
  EXPECT_TRUE(recorder.RecordEnabled() && recorder.PlayEnabled());
}

}  // namespace
}  // namespace tapwise
