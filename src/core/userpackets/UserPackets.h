#pragma once
// The user packets and their triggers, as the program runs them: the table
// of texts, the compiled trigger table, the trigger mode, sending a row, and
// the trigger step that every receive thread runs at the end of a packet.
//
// Hand it to the port manager with TWComms::SetTriggerStep before the ports
// are created, and destroy the ports (TWComms::DestroyPorts) before it goes:
// the receive threads call it until they stop. Threads:
// - SendUserPacket runs on the window's thread (keys, menu) and on receive
//   threads (trigger replies), possibly at once.
// - Match and React run on receive threads, several at once, while the
//   window edits texts, rebuilds the trigger table and changes the mode.
//   Texts are copied under the table's lock; the trigger table is an
//   immutable snapshot, swapped in whole; the mode is atomic.
// - Nothing here waits for the user or touches a window: what the user must
//   know (a syntax error, a refused trigger) is posted to the UserMessages
//   queue, which the window's timer shows with MsgError.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "core/capture/TWComms.h"
#include "core/capture/TriggerStep.h"
#include "core/userpackets/CalcState.h"
#include "core/userpackets/TriggerMode.h"
#include "core/userpackets/TriggerTable.h"
#include "core/userpackets/UserPacketTable.h"
#include "core/util/UserMessages.h"

namespace tapwise {

class UserPackets : public TriggerStep {
 public:
  enum class SendResult : uint8_t {
    Sent,         // handed to WritePacket (also a text that makes no bytes)
    EmptyText,    // the row has no packet: nothing done, nothing shown
    SyntaxError,  // "\bError in User Packet" posted, nothing sent
    TooLong,      // more than PacketTextCapacity bytes: refused with a message
  };

  // selectedPort is the window's SelectedPort (the COM number of the selected
  // tab): a trigger without a reply packet toggles RTS and DTR of that port.
  // calc is the monitor's counter and random generator, shared by every
  // compile of a text.
  UserPackets(TWComms& comms, std::atomic<uint8_t>& selectedPort, UserMessages& messages, CalcState& calc);

  UserPacketTable& Table() { return m_table; }
  const UserPacketTable& Table() const { return m_table; }
  UserMessages& Messages() { return m_messages; }

  TriggerMode GetTriggerMode() const { return m_mode.load(); }
  // Takes effect for the next packet that ends; the table is not rebuilt.
  void SetTriggerMode(TriggerMode mode) { m_mode.store(mode); }

  // The trigger table as it is now. It never changes; a rebuild swaps in a
  // new one.
  std::shared_ptr<const TriggerTable> Triggers() const;

  // Compiles all 60 trigger texts into a new table and swaps it in. Posts
  // "\bError in Trigger Packet #n" for every faulty trigger, in row order,
  // and returns the faults. Run after every change to the texts and after
  // every project load.
  std::vector<TriggerTable::Fault> RebuildTriggerTable();

  // Compiles the packet text of row and sends it on port through
  // WritePacket. A failure is posted as a message and returned.
  SendResult SendUserPacket(int row, uint8_t port);

  // The row (1..60) of the lowest trigger that the packet matches in the
  // current mode, or 0.
  uint8_t MatchTriggers(const uint8_t* data, uint16_t length) const;

  // The trigger step: Match is MatchTriggers; React sends row's packet back
  // on port, or toggles RTS and DTR of the selected port when the row has no
  // packet.
  uint8_t Match(const uint8_t* data, uint16_t length) override { return MatchTriggers(data, length); }
  void React(uint8_t row, uint8_t port) override;

 private:
  SendResult Send(int row, uint8_t port, int triggerRow);
  void ToggleSelectedPortLines();

  TWComms& m_comms;
  std::atomic<uint8_t>& m_selectedPort;
  UserMessages& m_messages;
  CalcState& m_calc;
  UserPacketTable m_table;
  std::atomic<TriggerMode> m_mode{TriggerMode::Off};

  // Guards only the pointer: a match copies it and then works on the table
  // without any lock.
  mutable std::mutex m_triggersMutex;
  std::shared_ptr<const TriggerTable> m_triggers;

  // Two triggers on different ports may toggle the lines at once; each
  // toggle must see the other's result.
  std::mutex m_toggleMutex;
};

}  // namespace tapwise
