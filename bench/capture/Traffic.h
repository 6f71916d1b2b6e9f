#pragma once
// The traffic of the throughput run: seeded bursts per port, and bytes that
// are a pure function of port and stream offset, so that a received byte can
// be placed back into the sent stream without storing what was sent.

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "support/Random.h"
#include "support/SentStream.h"

namespace tapwise::bench {

inline uint64_t PortKey(uint64_t seed, int port) { return Mix(seed * 1000003u + static_cast<uint64_t>(port)); }

// 0xFF (the receive path's line-error marker, also as FF 00) and control
// bytes come much more often than uniform bytes would bring them.
inline uint8_t DataByte(uint64_t key, uint64_t offset) {
  uint64_t h = Mix(key + offset);
  unsigned kind = static_cast<unsigned>(h >> 8) & 0xFF;
  if (kind < 24) return 0xFF;
  if (kind < 28) return 0x00;
  if (kind < 44) return static_cast<uint8_t>((h >> 16) & 0x1F);
  return static_cast<uint8_t>(h);
}

// One port's bursts: mostly short ones with gaps on both sides of the 10 ms
// packet gap, one in eight longer than a full 4096-byte packet.
class BurstSchedule {
 public:
  explicit BurstSchedule(uint64_t key);

  double NextDue = 0;  // seconds from the start of feeding

  // The size of the burst now due; moves NextDue on.
  size_t Take();

 private:
  uint64_t Next() { return Mix(m_state++); }
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
  uint64_t m_state;
  uint64_t m_queued = 0;
};

// One master end being fed. `OfferedBytes` runs ahead of `WrittenBytes`
// while a write is under way, so a byte that arrives before the feeder
// counted it is known.
struct FeedTarget final : SentStream {
  int Master = -1;
  uint64_t Key = 0;
  uint64_t Queued = 0;
  std::atomic<uint64_t> WrittenBytes{0};
  std::atomic<uint64_t> OfferedBytes{0};
  uint64_t BlockedWrites = 0;
  double LastWrite = 0;

  uint8_t ByteAt(uint64_t offset) const override { return DataByte(Key, offset); }
  uint64_t Offered() const override { return OfferedBytes.load(); }
  uint64_t Written() const override { return WrittenBytes.load(); }
};

}  // namespace tapwise::bench
