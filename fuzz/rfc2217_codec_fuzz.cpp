// The telnet layer of network ports on any stream a server may send, cut
// into reads at places the input chooses: it never writes past the data
// buffer, never makes more data than it was given, and whatever the cuts,
// the data bytes are the same as from one read of the whole stream. In
// between, the port's commands are encoded as a connection would.

#include <algorithm>
#include <vector>

#include "FuzzFile.h"
#include "core/platform/Rfc2217Codec.h"

namespace {

using tapwise::Require;
using tapwise::Rfc2217Codec;

std::vector<uint8_t> DecodeInReads(const uint8_t* data, size_t size, const uint8_t* cuts, size_t cutCount,
                                   bool encode) {
  Rfc2217Codec codec;
  Require(codec.Ok());
  codec.Begin();
  std::vector<uint8_t> decoded;
  size_t at = 0;
  for (size_t read = 0; at < size; ++read) {
    size_t length = cutCount == 0 ? size - at : std::min<size_t>(size - at, 1 + cuts[read % cutCount] % 64);
    // Exactly the room the contract promises, so that a write past it is
    // caught by the address sanitizer.
    std::vector<uint8_t> out(length);
    size_t got = codec.Decode(data + at, length, out.data());
    Require(got <= length);
    decoded.insert(decoded.end(), out.begin(), out.begin() + static_cast<std::ptrdiff_t>(got));
    at += length;
    if (encode && codec.TakeComPortAgreed()) {
      codec.EncodeOpening();
      codec.EncodeLineFormat({static_cast<uint32_t>(read * 0x01010101u), tapwise::ParityMark, 7, tapwise::StopTwo});
      codec.EncodeControlLines(read % 2 == 0, read % 3 == 0);
      codec.EncodePurge();
    }
    if (encode) codec.EncodeData(data + at - length, length);
    codec.Output().clear();
    codec.TakeLineError();
  }
  Require(codec.ModemLines() <= (tapwise::ModemCTS | tapwise::ModemDSR | tapwise::ModemCD));
  return decoded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using tapwise::Require;
  if (size < 1) return 0;
  // The first byte says how many of the next bytes choose the cuts.
  size_t cutCount = std::min<size_t>(data[0] % 16, size - 1);
  const uint8_t* cuts = data + 1;
  data += 1 + cutCount;
  size -= 1 + cutCount;
  std::vector<uint8_t> whole = DecodeInReads(data, size, nullptr, 0, false);
  Require(whole.size() <= size);
  Require(DecodeInReads(data, size, cuts, cutCount, true) == whole);
  return 0;
}
