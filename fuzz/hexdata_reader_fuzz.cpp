// The hex data reader on any bytes: it ends, no packet is over 4096 bytes,
// and it never makes more bytes than the file has hex digits.

#include <string>

#include "FuzzFile.h"
#include "core/format/HexDataReader.h"
#include "core/format/RecordFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tapwise;
  FuzzFile input(data, size);
  RecordFile file;
  Require(file.OpenForPlaying(input.Path()).Ok());
  HexDataReader reader;
  PlayPacket packet;
  size_t digits = 0;
  for (size_t i = 0; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')) ++digits;
  }
  size_t total = 0;
  for (size_t step = 0;; ++step) {
    Require(step <= size + 2);
    reader.Read(file, packet);
    Require(packet.Length <= PacketCapacity);
    total += packet.Length;
    if (file.AtEnd() && !reader.HasPending()) break;
  }
  Require(total <= digits);
  return 0;
}
