// The raw reader on any bytes and settings: it ends, no packet is over 4096
// bytes, each packet ends where the settings say, and the packets put
// together are the file exactly.

#include <algorithm>
#include <string>

#include "FuzzFile.h"
#include "core/format/RawDataReader.h"
#include "core/format/RecordFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tapwise;
  if (size < 2) return 0;
  // The first two bytes are the settings: terminator, and a count of 0..7.
  const uint8_t terminator = data[0];
  const auto count = static_cast<uint16_t>(data[1] % 8);
  data += 2;
  size -= 2;
  FuzzFile input(data, size);
  RecordFile file;
  Require(file.OpenForPlaying(input.Path()).Ok());
  PlayPacket packet;
  std::string all;
  for (size_t step = 0;; ++step) {
    Require(step <= size + 1);
    ReadRawPacket(file, packet, terminator, count);
    Require(packet.Length <= PacketCapacity);
    if (!file.AtEnd()) {
      // A packet that stopped early ends with a full run of terminators.
      const size_t run = std::max<size_t>(count, 1);
      const bool full = packet.Length == PacketCapacity;
      bool terminated = packet.Length >= run;
      for (size_t i = 0; terminated && i < run; ++i) terminated = packet.Data[packet.Length - 1 - i] == terminator;
      Require(full || terminated);
    }
    all.append(reinterpret_cast<const char*>(packet.Data), packet.Length);
    if (file.AtEnd()) break;
  }
  Require(all == std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
