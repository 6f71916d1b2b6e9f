#pragma once
// The packet text syntax: hex bytes, quoted text and calculated bytes, e.g.
//   02 "Hello" 0D,0A $0 $9
// In hex mode the bytes 00h..20h and ',' separate tokens; a token is the
// longest run of hex digits and '$'. A plain token gives the byte of its last
// two digits ("0102" is 02). A '$' anywhere in a token makes it a calculated
// byte when its value is 0..F ("$", "$0" and "0$" are the counter); above F
// it is a plain byte ("$1F" is 1Fh). '"' opens quoted text, in which every
// byte stands for itself, and '"' or an apostrophe closes it; an unclosed
// quote runs to the end. Anything else in hex mode is a syntax error.
//
// Calculated bytes: $0 the program-wide counter, $1..$8 random values (plain
// or BCD), $9..$F sums and exclusive ORs of the bytes before them in the
// same text (see CalculatedBytesHelp).

#include <cstdint>
#include <string_view>

#include "core/userpackets/CalcState.h"

namespace tapwise {

// What every caller supplies as the capacity of its buffer.
constexpr int32_t PacketTextCapacity = 2049;

// Compiles text into buffer. Returns the number of bytes the text produces,
// or -1 for a syntax error. Only the first `capacity` bytes are stored; the
// count goes on beyond it, so a result above capacity tells the caller that
// the text did not fit. Calculated bytes met before an error keep their
// effect on calc (the counter stays advanced). Never allocates.
int32_t CompilePacketText(std::string_view text, uint8_t* buffer, int32_t capacity, CalcState& calc);

// The user's reference for calculated bytes, in message markup, shown by the
// help button of the user packets window.
extern const std::string_view CalculatedBytesHelp;

}  // namespace tapwise
