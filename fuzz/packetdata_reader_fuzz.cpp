// The packet data reader on any bytes: it ends, never makes a packet over
// 4096 bytes, and never takes more steps than the file gives it lines and
// pieces. The input is also taken as a list of packets that are written and
// read back, which must give them again.

#include <cstring>
#include <string>
#include <vector>

#include "FuzzFile.h"
#include "core/format/PacketDataReader.h"
#include "core/format/PacketDataWriter.h"
#include "core/format/RecordFile.h"

namespace tapwise {
namespace {

// Plays the file as playback does; the packets sent, or none after an error.
std::vector<std::string> PlayAll(const uint8_t* data, size_t size, bool& layoutError) {
  FuzzFile input(data, size);
  RecordFile file;
  Require(file.OpenForPlaying(input.Path()).Ok());
  PacketDataReader reader;
  PlayPacket packet;
  std::vector<std::string> sent;
  layoutError = false;
  // Every step but the last takes at least one byte or a pending piece.
  const size_t maxSteps = 2 * size + 4;
  for (size_t step = 0;; ++step) {
    Require(step <= maxSteps);
    if (!reader.Read(file, packet)) layoutError = true;
    Require(packet.Length <= PacketCapacity);
    if (packet.Length > 0) sent.emplace_back(reinterpret_cast<const char*>(packet.Data), packet.Length);
    if (layoutError || (file.AtEnd() && !reader.HasPendingLine())) break;
  }
  Require(file.Progress() <= 100);
  return sent;
}

}  // namespace
}  // namespace tapwise

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tapwise;
  bool layoutError = false;
  PlayAll(data, size, layoutError);

  // Round trip: two bytes of length (at most 4096), then the packet's bytes.
  std::vector<std::string> packets;
  std::string text;
  for (size_t at = 0; at + 2 <= size;) {
    size_t length = (data[at] | data[at + 1] << 8) % (PacketCapacity + 1);
    at += 2;
    length = std::min(length, size - at);
    auto record = NewPacketRecord();
    record->Port = 1;
    record->Time = 0;
    record->Length = static_cast<uint16_t>(length);
    std::memcpy(record->Data, data + at, length);
    at += length;
    // A continuation line showing a time in its character cells reads as a
    // new packet: the one known limit of the format.
    if (std::memchr(record->Data, ':', length) != nullptr) return 0;
    AppendPacketDataLines(*record, text);
    if (length > 0) packets.emplace_back(reinterpret_cast<const char*>(record->Data), length);
  }
  std::vector<std::string> back =
      PlayAll(reinterpret_cast<const uint8_t*>(text.data()), text.size(), layoutError);
  Require(!layoutError);
  Require(back == packets);
  return 0;
}
