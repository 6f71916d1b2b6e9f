// The packet compiler on any text and any capacity: it never writes past the
// capacity, returns -1 or a count no larger than the text (every byte it
// produces uses at least one character), and with the same counter and
// generator state gives the same bytes twice.
//
// Input: two bytes of capacity (modulo 2050), then the text.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "core/userpackets/PacketCompiler.h"

namespace {

constexpr size_t Guard = 64;
constexpr uint8_t GuardByte = 0xA5;

void Check(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const auto capacity = static_cast<int32_t>((data[0] | data[1] << 8) % (tapwise::PacketTextCapacity + 1));
  const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);

  std::vector<uint8_t> first(static_cast<size_t>(capacity) + Guard, GuardByte);
  std::vector<uint8_t> second(first);
  tapwise::CalcState calcFirst;
  tapwise::CalcState calcSecond;
  const int32_t count = tapwise::CompilePacketText(text, first.data(), capacity, calcFirst);
  const int32_t again = tapwise::CompilePacketText(text, second.data(), capacity, calcSecond);

  Check(count >= -1);
  Check(count == -1 || static_cast<size_t>(count) <= text.size());
  Check(count == again);
  Check(first == second);
  Check(calcFirst.CalcCounter() == calcSecond.CalcCounter() && calcFirst.Seed() == calcSecond.Seed());
  for (size_t i = static_cast<size_t>(capacity); i < first.size(); ++i) Check(first[i] == GuardByte);
  // The counter moves once per $0 and no further.
  Check(calcFirst.CalcCounter() <= text.size() || text.size() >= 256);
  return 0;
}
