#pragma once
// What a benchmark sent down one port, as the stream check needs to see it:
// the byte at any offset (computed, not stored, so long runs cost no memory)
// and how far sending has got. Both counts may grow while a check runs.

#include <cstdint>

namespace tapwise::bench {

class SentStream {
 public:
  virtual ~SentStream() = default;

  virtual uint8_t ByteAt(uint64_t offset) const = 0;
  // Bytes that may have reached the port so far, counting a write that is
  // under way: no byte at or past this offset can have come out yet.
  virtual uint64_t Offered() const = 0;
  // Bytes the port took.
  virtual uint64_t Written() const = 0;
};

}  // namespace tapwise::bench
