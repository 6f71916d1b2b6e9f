#pragma once
// The headless front end's view of the traffic: every 50 ms it takes all
// packets from the queue and writes each one's hex lines to a descriptor in
// one write. To a file or pipe the bytes are exactly a packet data file (8-bit
// characters, CR LF); to a terminal the characters are shown in UTF-8 with LF.

#include <cstdint>
#include <string>

#include "capture/PacketRecord.h"

namespace tapwise {

class TWComms;

class HeadlessMonitor {
 public:
  HeadlessMonitor(TWComms& comms, int outFd, bool terminal);

  // One timer tick: drains the queue. False once the output cannot be
  // written any more (closed pipe, full disk); LastError then says why.
  bool Tick();

  std::string FormatPacket(const PacketRecord& record) const;
  uint16_t PacketCounter() const { return m_packetCounter; }
  const std::string& LastError() const { return m_lastError; }

 private:
  bool WriteAll(const std::string& bytes);

  TWComms& m_comms;
  int m_outFd;
  bool m_terminal;
  uint16_t m_packetCounter = 0;
  std::string m_lastError;
};

}  // namespace tapwise
