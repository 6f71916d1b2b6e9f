#pragma once
// Binary-coded decimal: each decimal digit in a nibble, as devices that show
// numbers on displays expect them (59 becomes 59h).

#include <cstdint>

namespace tapwise {

// v is 0..99; larger values give nibbles above 9, as the arithmetic falls.
uint8_t ByteToBcd(uint8_t v);
// v is 0..9999.
uint16_t WordToBcd(uint16_t v);

}  // namespace tapwise
