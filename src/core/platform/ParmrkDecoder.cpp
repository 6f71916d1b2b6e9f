#include "core/platform/ParmrkDecoder.h"

namespace tapwise {

namespace {
constexpr uint8_t MarkByte = 0xFF;
}  // namespace

size_t ParmrkDecoder::TakeHeld(uint8_t* buffer) {
  if (!m_held) return 0;
  buffer[0] = *m_held;
  m_held.reset();
  return 1;
}

size_t ParmrkDecoder::Read(uint8_t* buffer, size_t maxBytes, const RawReader& readRaw) {
  if (maxBytes == 0) return 0;
  if (!m_held || maxBytes > 1) {
    size_t held = TakeHeld(buffer);
    size_t got = readRaw(buffer + held, maxBytes - held);
    return Decode(buffer, held + got);
  }
  // One byte of room and one raw byte held: read one more beside it, so
  // that a held FF can be settled, and keep whatever does not fit.
  uint8_t pair[2];
  size_t held = TakeHeld(pair);
  size_t got = readRaw(pair + held, 1);
  size_t decoded = Decode(pair, held + got);
  if (decoded == 0) return 0;
  buffer[0] = pair[0];
  // Decoded as data, so neither FF nor a mark: it decodes to itself again.
  if (decoded == 2) m_held = pair[1];
  return 1;
}

size_t ParmrkDecoder::Decode(uint8_t* buffer, size_t count) {
  // out never passes the read position: the state is never AfterFF on entry,
  // and the two bytes of "FF c" are written only after both were consumed.
  size_t out = 0;
  for (size_t in = 0; in < count; ++in) {
    uint8_t byte = buffer[in];
    switch (m_state) {
      case State::Data:
        if (byte == MarkByte) {
          m_state = State::AfterFF;
        } else {
          buffer[out++] = byte;
        }
        break;
      case State::AfterFF:
        if (byte == 0x00) {
          m_state = State::AfterFF00;
          break;
        }
        // FF FF is one FF; FF and anything else is kept whole.
        buffer[out++] = MarkByte;
        if (byte != MarkByte) buffer[out++] = byte;
        m_state = State::Data;
        break;
      case State::AfterFF00:
        buffer[out++] = byte;
        m_errors |= byte == 0x00 ? LineErrorBreak : LineErrorOther;
        m_state = State::Data;
        break;
    }
  }
  if (m_state == State::AfterFF) {
    m_held = MarkByte;
    m_state = State::Data;
  }
  return out;
}

uint8_t ParmrkDecoder::TakeErrors() {
  const uint8_t errors = m_errors;
  m_errors = 0;
  return errors;
}

}  // namespace tapwise
