#include "core/userpackets/TriggerTable.h"

#include <algorithm>
#include <cstring>

#include "core/userpackets/PacketCompiler.h"
#include "core/util/AnsiStringLib.h"

namespace tapwise {

TriggerTable TriggerTable::Build(const UserPacketRows& rows, CalcState& calc, std::vector<Fault>& faults) {
  TriggerTable table;
  uint8_t buffer[PacketTextCapacity];
  for (int row = 1; row <= UserPacketRowCount; ++row) {
    const int32_t count = CompilePacketText(rows[row].Trigger, buffer, PacketTextCapacity, calc);
    if (count < 0 || count > MaxTriggerLength) {
      faults.push_back({row, count});
      continue;
    }
    Entry& entry = table.m_entries[row];
    std::memcpy(entry.Bytes.data(), buffer, static_cast<size_t>(count));
    entry.Length = static_cast<uint8_t>(count);
  }
  return table;
}

const uint8_t* TriggerTable::Bytes(int row) const {
  return ValidUserPacketRow(row) ? m_entries[row].Bytes.data() : m_entries[0].Bytes.data();
}

uint8_t TriggerTable::Match(const uint8_t* data, uint16_t length, TriggerMode mode) const {
  if (mode == TriggerMode::Off || length == 0) return 0;
  const uint8_t* end = data + length;
  for (int row = 1; row <= UserPacketRowCount; ++row) {
    const Entry& entry = m_entries[row];
    if (entry.Length == 0) continue;
    const uint8_t* first = entry.Bytes.data();
    const uint8_t* last = first + entry.Length;
    bool matched;
    if (mode == TriggerMode::WholePacket) {
      matched = entry.Length == length && std::equal(first, last, data);
    } else {
      matched = entry.Length <= length && std::search(data, end, first, last) != end;
    }
    if (matched) return static_cast<uint8_t>(row);
  }
  return 0;
}

std::string TriggerTable::FaultMessage(const Fault& fault) {
  std::string message = "\\bError in Trigger Packet #" + IntToText(fault.Row);
  if (fault.Count > MaxTriggerLength) {
    message += "\\b\\nIt makes " + IntToText(fault.Count) + " bytes; a trigger holds at most " +
               IntToText(MaxTriggerLength) + ".";
  }
  return message;
}

}  // namespace tapwise
