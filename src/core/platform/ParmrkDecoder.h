#pragma once
// Undoes the marks a tty puts into the byte stream when PARMRK is set:
//   FF FF      one data byte FF
//   FF 00 c    data byte c, received with a parity or framing error
//   FF 00 00   a break: data byte 00, flagged as an error
//   FF c       (any other c; the kernel never sends it) both bytes, as data
// A mark may be cut by the end of a read; the decoder keeps its state and
// finishes the mark with the next read.
//
// Decoding happens in place, in the caller's buffer, and a read never yields
// more data bytes than the buffer holds. A lone FF at the end of one read
// would break that rule if the next byte showed it to be plain data (two
// bytes out for one in), so the decoder holds such an FF back as a raw byte
// and puts it in front of the next read's bytes.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "core/platform/SerialDevice.h"

namespace tapwise {

class ParmrkDecoder {
 public:
  // Reads at most maxBytes raw bytes into the given place and returns how
  // many came (0 when none).
  using RawReader = std::function<size_t(uint8_t* into, size_t maxBytes)>;

  // Fills buffer with at most maxBytes data bytes: raw bytes from readRaw
  // (one call), behind the raw byte held from the last read, decoded in
  // place. Returns the number of data bytes.
  size_t Read(uint8_t* buffer, size_t maxBytes, const RawReader& readRaw);

  // Whether an error mark has been decoded since the last call; clears it.
  bool TakeError() { return TakeErrors() != 0; }
  // The marks since the last call as LineErrorBits: Break for FF 00 00,
  // Other for a byte with a parity or framing error (the mark does not say
  // which); clears them.
  uint8_t TakeErrors();

 private:
  enum class State : uint8_t { Data, AfterFF, AfterFF00 };

  size_t TakeHeld(uint8_t* buffer);
  size_t Decode(uint8_t* buffer, size_t count);

  // Between reads the state is Data or AfterFF00; a trailing FF is held as
  // a raw byte instead, and so is the one data byte that did not fit into a
  // one-byte read.
  State m_state = State::Data;
  std::optional<uint8_t> m_held;
  uint8_t m_errors = 0;
};

}  // namespace tapwise
