#pragma once
// Reads the program's 80-column hex lines back, strictly, as the headless
// monitor prints them and as a packet data recording holds them: exactly 80
// characters and CR LF; a 12-character header ("COM" or "ERR", the port
// character, ' ' received or '*' sent, mm:ss.t) on a packet's first line and
// 12 spaces on the rest; 16 bytes in hex in groups of four; a text column
// that must agree with the hex. Each byte goes to its port's StreamCheck.
//
// It is written apart from the program's own reader on purpose: a benchmark
// that checked the output with the code that wrote it would miss the faults
// the two share.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support/StreamCheck.h"

namespace tapwise::bench {

// 0..15 for '0'..'9' and 'A'..'F' (the program writes upper case), else -1.
inline int HexDigitValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class HexLineParser {
 public:
  // checks[i] takes the bytes of COM(firstPort + i); a line naming any other
  // port does not parse.
  explicit HexLineParser(PortChecks& checks, int firstPort = 1) : m_checks(checks), m_firstPort(firstPort) {}

  uint64_t Lines = 0, Packets = 0, FullPackets = 0, Oversize = 0, ErrorPackets = 0, SentPackets = 0;
  uint64_t Malformed = 0;  // lines that did not parse
  std::vector<std::string> Notes;

  // Output as it comes, in pieces of any size.
  void Feed(const char* data, size_t size);
  // The output has ended: a line still open is malformed.
  void Finish();

 private:
  void Bad(const std::string& what, const std::string& line);
  void ClosePacket();
  void Line(const unsigned char* p);

  PortChecks& m_checks;
  int m_firstPort;
  std::string m_pending;
  int m_port = 0;  // of the open packet; 0 when none is open
  size_t m_length = 0;
  bool m_lastLineShort = false;
};

}  // namespace tapwise::bench
