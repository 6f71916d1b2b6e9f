#pragma once
// The compiled triggers: for each row 1..60 the bytes its trigger text
// compiled to at the last rebuild, and their count (0 = no trigger: an empty
// text, or one that was refused).
//
// A table is built whole and never changed afterwards; the owner swaps in a
// new one after every edit, so receive threads matching against it never see
// a half-built table.
//
// The length is one byte, so a trigger that compiles to more than 255 bytes
// cannot be kept; it is refused like a trigger with a syntax error.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/userpackets/CalcState.h"
#include "core/userpackets/TriggerMode.h"
#include "core/userpackets/UserPacketRow.h"

namespace tapwise {

constexpr int MaxTriggerLength = 255;

class TriggerTable {
 public:
  // A trigger text that could not become an entry, and why.
  struct Fault {
    int Row;
    int32_t Count;  // -1: syntax error; else the byte count that was too long
  };

  // All entries empty.
  TriggerTable() = default;
  // Compiles the trigger text of every row, 1 to 60 in order (each $0 takes
  // the next counter value). Rows that do not compile, or compile to more
  // than MaxTriggerLength bytes, stay empty and are listed in faults, in row
  // order.
  static TriggerTable Build(const UserPacketRows& rows, CalcState& calc, std::vector<Fault>& faults);

  uint8_t Length(int row) const { return ValidUserPacketRow(row) ? m_entries[row].Length : 0; }
  const uint8_t* Bytes(int row) const;

  // The lowest row whose trigger matches the packet, or 0 (always 0 when
  // the mode is Off).
  uint8_t Match(const uint8_t* data, uint16_t length, TriggerMode mode) const;

  // The message for a fault, in markup.
  static std::string FaultMessage(const Fault& fault);

 private:
  struct Entry {
    std::array<uint8_t, MaxTriggerLength> Bytes{};
    uint8_t Length = 0;
  };
  std::array<Entry, UserPacketRowCount + 1> m_entries{};  // index 0 unused
};

}  // namespace tapwise
