#pragma once
// What marks packets in the display: given a packet's bytes, the mark its
// lines take (0 for none), and the background each mark is drawn on. The
// display knows marks only by number; what makes a packet match (the
// highlight rules of the project) lives further up and is handed to the
// drain as one of these. Tick thread only.

#include <cstddef>
#include <cstdint>

namespace tapwise {

class PacketMarker {
 public:
  virtual ~PacketMarker() = default;
  // Whether any packet can be marked at all, so that the drain can skip
  // asking.
  virtual bool Any() const = 0;
  // 0: not marked; otherwise the mark, from 1.
  virtual uint8_t MarkOf(const uint8_t* data, size_t size) const = 0;
  // The background of a mark, 0xRRGGBB; UnmarkedColour for a mark that no
  // longer stands for anything (a line marked before the rules changed).
  static constexpr uint32_t UnmarkedColour = 0xFF000000;
  virtual uint32_t MarkColour(uint8_t mark) const = 0;
};

}  // namespace tapwise
