#include "core/userpackets/UserPackets.h"

#include <utility>

#include "core/userpackets/PacketCompiler.h"
#include "core/util/AnsiStringLib.h"

namespace tapwise {

UserPackets::UserPackets(TWComms& comms, std::atomic<uint8_t>& selectedPort, UserMessages& messages,
                         CalcState& calc)
    : m_comms(comms),
      m_selectedPort(selectedPort),
      m_messages(messages),
      m_calc(calc),
      m_triggers(std::make_shared<const TriggerTable>()) {}

std::shared_ptr<const TriggerTable> UserPackets::Triggers() const {
  std::lock_guard lock(m_triggersMutex);
  return m_triggers;
}

std::vector<TriggerTable::Fault> UserPackets::RebuildTriggerTable() {
  std::vector<TriggerTable::Fault> faults;
  auto fresh = std::make_shared<const TriggerTable>(TriggerTable::Build(m_table.Rows(), m_calc, faults));
  {
    std::lock_guard lock(m_triggersMutex);
    m_triggers.swap(fresh);
  }
  // fresh now holds the old table; a receive thread still matching against
  // it keeps it alive until it is done.
  for (const TriggerTable::Fault& fault : faults) m_messages.Post(TriggerTable::FaultMessage(fault));
  return faults;
}

UserPackets::SendResult UserPackets::SendUserPacket(int row, uint8_t port) { return Send(row, port, 0); }

UserPackets::SendResult UserPackets::Send(int row, uint8_t port, int triggerRow) {
  const std::string text = m_table.PacketText(row);
  if (text.empty()) return SendResult::EmptyText;
  uint8_t buffer[PacketTextCapacity];
  const int32_t count = CompilePacketText(text, buffer, PacketTextCapacity, m_calc);
  if (count >= 0 && count <= PacketTextCapacity) {
    m_comms.WritePacket(port, buffer, static_cast<uint16_t>(count));
    return SendResult::Sent;
  }
  // Sending only the bytes that fit would put a packet on the line that the
  // user never wrote, so a text that is too long is refused like a faulty one.
  std::string message = "\\bError in User Packet";
  if (count > PacketTextCapacity) {
    message += "\\b\\nIt makes " + IntToText(count) + " bytes; a packet holds at most " +
               IntToText(PacketTextCapacity) + ".";
  }
  if (triggerRow != 0) {
    message += (count > PacketTextCapacity ? "\\n" : "\\b\\n");
    message += "The reply to Trigger Packet #" + IntToText(triggerRow) + " was not sent.";
  }
  m_messages.Post(std::move(message));
  return count < 0 ? SendResult::SyntaxError : SendResult::TooLong;
}

uint8_t UserPackets::MatchTriggers(const uint8_t* data, uint16_t length) const {
  const TriggerMode mode = m_mode.load();
  if (mode == TriggerMode::Off) return 0;
  return Triggers()->Match(data, length, mode);
}

void UserPackets::React(uint8_t row, uint8_t port) {
  if (!ValidUserPacketRow(row)) return;
  // The reply goes back where the trigger came from; a row without a packet
  // toggles the lines of the selected port instead.
  if (Send(row, port, row) == SendResult::EmptyText) ToggleSelectedPortLines();
}

void UserPackets::ToggleSelectedPortLines() {
  const uint8_t port = m_selectedPort.load();
  if (port < 1 || port > MaxComPorts) return;
  std::lock_guard lock(m_toggleMutex);
  PortSettings settings = m_comms.GetPortSettings(port);
  settings.RTS = settings.RTS ? 0 : 1;
  settings.DTR = settings.DTR ? 0 : 1;
  m_comms.SetPortSettings(port, settings);
  m_comms.ApplyPortSettings(port);
}

}  // namespace tapwise
