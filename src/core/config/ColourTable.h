#pragma once
// The 19 display colours: entry 0 the text of a line that has no port yet,
// 1..16 the text (and tab caption) colours of COM1..COM16, 17 the background
// of transmitted packets, 18 the background of packets with line errors.
//
// Values keep the form they have in the settings file, so that a file moves
// between machines unchanged: a plain colour is blue * 65536 + green * 256 +
// red; a value with the top bit set (negative as a signed number) names a
// system colour by the index in its low byte, which the window maps to its
// palette when it draws.

#include <array>
#include <cstddef>
#include <cstdint>

namespace tapwise {

class ColourTable {
 public:
  static constexpr size_t Count = 19;
  static constexpr size_t LineWithoutPort = 0;
  static constexpr size_t FirstPort = 1;
  static constexpr size_t LastPort = 16;
  static constexpr size_t Transmissions = 17;
  static constexpr size_t Errors = 18;

  // System colour indices the defaults use.
  static constexpr uint8_t SystemWindowText = 8;
  static constexpr uint8_t SystemTooltipBackground = 24;

  // Starts with the defaults.
  ColourTable();

  int32_t& operator[](size_t entry) { return m_entries[entry]; }
  int32_t operator[](size_t entry) const { return m_entries[entry]; }
  bool operator==(const ColourTable&) const = default;

  static int32_t Default(size_t entry);
  // The entry whose colour port n's text takes: the sixteen port colours
  // repeat, COM17 taking COM1's.
  static size_t PortEntry(int n) { return static_cast<size_t>((n - 1) % 16) + FirstPort; }
  static int32_t SystemColour(uint8_t index);
  static int32_t Rgb(uint8_t red, uint8_t green, uint8_t blue);
  static bool IsSystemColour(int32_t value) { return value < 0; }
  // The low byte: the system colour index of a system colour.
  static uint8_t SystemIndex(int32_t value) { return static_cast<uint8_t>(value & 0xFF); }
  static uint8_t Red(int32_t value) { return static_cast<uint8_t>(value & 0xFF); }
  static uint8_t Green(int32_t value) { return static_cast<uint8_t>((value >> 8) & 0xFF); }
  static uint8_t Blue(int32_t value) { return static_cast<uint8_t>((value >> 16) & 0xFF); }

 private:
  std::array<int32_t, Count> m_entries;
};

}  // namespace tapwise
