#include "core/userpackets/UserPacketTable.h"

#include <algorithm>

namespace tapwise {

std::string UserPacketTable::PacketText(int row) const {
  if (!ValidUserPacketRow(row)) return {};
  std::lock_guard lock(m_mutex);
  return m_rows[row].Packet;
}

std::string UserPacketTable::TriggerText(int row) const {
  if (!ValidUserPacketRow(row)) return {};
  std::lock_guard lock(m_mutex);
  return m_rows[row].Trigger;
}

UserPacketRow UserPacketTable::Row(int row) const {
  if (!ValidUserPacketRow(row)) return {};
  std::lock_guard lock(m_mutex);
  return m_rows[row];
}

UserPacketRows UserPacketTable::Rows() const {
  std::lock_guard lock(m_mutex);
  return m_rows;
}

void UserPacketTable::SetPacketText(int row, std::string_view text) {
  if (!ValidUserPacketRow(row)) return;
  std::string copy(text);
  std::lock_guard lock(m_mutex);
  m_rows[row].Packet.swap(copy);
}

void UserPacketTable::SetTriggerText(int row, std::string_view text) {
  if (!ValidUserPacketRow(row)) return;
  std::string copy(text);
  std::lock_guard lock(m_mutex);
  m_rows[row].Trigger.swap(copy);
}

void UserPacketTable::Assign(const UserPacketRows& rows) {
  UserPacketRows copy = rows;
  copy[0] = {};
  std::lock_guard lock(m_mutex);
  m_rows.swap(copy);
}

void UserPacketTable::Clear() { Assign({}); }

void UserPacketTable::MoveRow(int from, int to) {
  if (!ValidUserPacketRow(from) || !ValidUserPacketRow(to) || from == to) return;
  std::lock_guard lock(m_mutex);
  auto first = m_rows.begin();
  if (to > from) {
    std::rotate(first + from, first + from + 1, first + to + 1);
  } else {
    std::rotate(first + to, first + from, first + from + 1);
  }
}

}  // namespace tapwise
