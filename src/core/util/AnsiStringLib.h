#pragma once
// Routines on 8-bit strings: number <-> text in decimal and hex, scanning
// with separators, ASCII-only case folding and pattern search, tab fields and
// file-name extensions. Every byte is one character; nothing is decoded.
//
// Positions are 1-based, as the callers count them; 0 means "not found". A
// position past the end means "at the end". A start or scan position of 0 is
// taken as 1; a fixed place of 0 (HexValueAt, HexByteAt) is outside the text.
//
// The readers (SkipSeparators .. ReadHexBytes) take a position by reference
// and advance it. They never throw and never show a message: text they cannot
// read sets ParseError and reads as 0. None of them clears the flag except
// ReadHexBytes, so a caller clears it, reads, then tests it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tapwise {

// One flag per thread: a receive thread compiling a trigger reply and the
// window thread reading a file each see only their own errors.
extern thread_local bool ParseError;

// --- Character and case (A-Z and a-z only; every other byte unchanged) ---
bool IsAsciiLetter(char c);
char UpCaseAscii(char c);
std::string UpperCaseAscii(std::string_view s);
bool SameTextAscii(std::string_view a, std::string_view b);
// 0 when SameTextAscii; else the difference of the first differing upper-cased
// byte values (0..255), or, when one is the start of the other, the
// difference of the lengths (negative when a is shorter).
int CompareTextAscii(std::string_view a, std::string_view b);

// --- Search and split ---
// First position >= start holding c; 0 if none.
size_t PosFrom(size_t start, char c, std::string_view s);
// First position >= start where pattern matches: '#' is a digit 0-9, '?' any
// byte of 20h or above, anything else itself ignoring ASCII case. An empty
// pattern matches at start when start is within the text or just past it.
size_t FindPattern(size_t start, std::string_view pattern, std::string_view s);
// Field n (from 0) of s split at tabs; empty beyond the last field.
std::string TabField(std::string_view s, size_t n);

// --- Number to text ---
// The value of text that is digits only, at most maxDigits of them (at most
// 9, so that it fits); nothing for an empty or longer text or any other
// character.
std::optional<uint32_t> DecimalNumber(std::string_view text, size_t maxDigits);
std::string IntToText(int32_t n);
std::string UIntToText(uint32_t n);
// The byte 30h + n: a digit for 0..9.
char DigitChar(int n);
// Two digits with a leading zero for 0..99 ("07"); any other n in full
// decimal, so an out-of-range value is never shown as a wrong two digits.
std::string TwoDigits(int n);
// Upper-case hex digit of the low 4 bits of n.
char HexDigit(uint32_t n);
// Two upper-case hex digits ("0D").
std::string HexByte(uint8_t b);

// --- Text to number ---
// Separators: space, tab, LF, CR and comma.
void SkipSeparators(std::string_view s, size_t& pos);
// 0..15 for 0-9, A-F, a-f; -1 for any other byte, with no flag set. Every
// reader of hex digits decodes them here and decides for itself what a
// byte that is no digit means.
constexpr int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}
// HexDigitValue, but anything else sets ParseError and gives 0.
uint8_t HexValue(char c);
// HexValue of the byte at i; outside the text sets ParseError and gives 0.
uint8_t HexValueAt(std::string_view s, size_t i);
// The two-digit hex field at i and i + 1.
uint8_t HexByteAt(std::string_view s, size_t i);
// A hex number: skips separators before and after it. Wraps in 32 bits on
// overflow (callers that want a byte take the low byte or check the range).
// Sets ParseError when no digit could be read and the text does not simply
// end in separators. Text of nothing but separators reads as 0 without error.
uint32_t ReadHex(std::string_view s, size_t& pos);
// The same in decimal.
uint32_t ReadUnsigned(std::string_view s, size_t& pos);
// Skips separators; at the end gives 0 without error; steps over one '-' or
// '+', then ReadUnsigned, negated after '-' (wrapping in 32 bits).
int32_t ReadSigned(std::string_view s, size_t& pos);
// ReadSigned of the whole text. Sets ParseError and gives 0 unless every
// byte was used; an empty text gives 0 without error.
int32_t TextToIntStrict(std::string_view s);
// Reads a list of hex bytes, clearing ParseError first. Stores at most
// capacity values in out (out may be null, to count only) but counts them
// all, so a result above capacity means the list did not fit. A value above
// FFh, or a piece that is not a hex number, gives -1.
ptrdiff_t ReadHexBytes(std::string_view s, size_t& pos, uint8_t* out, size_t capacity);

// --- Files (a folder ends at the last '\' or '/') ---
// Cuts the extension of the file-name part, if it has a '.' after its first
// character, then appends ext, with a '.' before it unless ext is empty or
// begins with one.
std::string ReplaceFileExt(std::string_view name, std::string_view ext);
// s without a trailing '\' or '/'; the root "/" is kept.
std::string StripTrailingBackslash(std::string_view s);

}  // namespace tapwise
