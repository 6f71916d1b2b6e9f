#include "core/util/Bcd.h"

namespace tapwise {

uint8_t ByteToBcd(uint8_t v) {
  return static_cast<uint8_t>((v / 10) * 16 + v % 10);
}

uint16_t WordToBcd(uint16_t v) {
  return static_cast<uint16_t>(ByteToBcd(static_cast<uint8_t>(v / 100)) * 256 +
                               ByteToBcd(static_cast<uint8_t>(v % 100)));
}

}  // namespace tapwise
