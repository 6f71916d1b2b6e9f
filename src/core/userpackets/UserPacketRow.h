#pragma once
// One row of the user packet table: a packet text and a trigger text, both in
// the packet text syntax; an empty text means no packet / no trigger.

#include <array>
#include <string>

namespace tapwise {

constexpr int UserPacketRowCount = 60;

struct UserPacketRow {
  std::string Packet;
  std::string Trigger;
  bool operator==(const UserPacketRow&) const = default;
};

// Rows by number 1..60; index 0 is unused.
using UserPacketRows = std::array<UserPacketRow, UserPacketRowCount + 1>;

constexpr bool ValidUserPacketRow(int row) { return row >= 1 && row <= UserPacketRowCount; }

}  // namespace tapwise
