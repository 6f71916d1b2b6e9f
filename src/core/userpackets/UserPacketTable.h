#pragma once
// The 60 user packets and their triggers as the user typed them. The window
// edits them on its thread while receive threads read them to send trigger
// replies, so every access copies under one lock: a reader sees a text either
// wholly before or wholly after a change, never half of it.
//
// Rows are numbered 1..60; reads of other rows give empty texts and writes to
// them are ignored.

#include <mutex>
#include <string>
#include <string_view>

#include "core/userpackets/UserPacketRow.h"

namespace tapwise {

class UserPacketTable {
 public:
  std::string PacketText(int row) const;
  std::string TriggerText(int row) const;
  UserPacketRow Row(int row) const;
  // A copy of all rows, taken at one moment.
  UserPacketRows Rows() const;

  void SetPacketText(int row, std::string_view text);
  void SetTriggerText(int row, std::string_view text);
  // Replaces the whole table at once (a project load); row 0 is ignored.
  void Assign(const UserPacketRows& rows);
  void Clear();
  // Moves row `from` to position `to`, the rows in between shifting by one
  // towards `from` (the grid's row drag). Nothing happens unless both are
  // 1..60.
  void MoveRow(int from, int to);

 private:
  mutable std::mutex m_mutex;
  UserPacketRows m_rows;
};

}  // namespace tapwise
