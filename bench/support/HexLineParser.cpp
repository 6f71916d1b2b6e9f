#include "support/HexLineParser.h"

#include <algorithm>
#include <cstring>

namespace tapwise::bench {

namespace {

constexpr size_t LineWidth = 80;
constexpr size_t FullPacket = 4096;

bool HeaderOk(const unsigned char* p) {
  auto digit = [&](int i) { return p[i] >= '0' && p[i] <= '9'; };
  return (std::memcmp(p, "COM", 3) == 0 || std::memcmp(p, "ERR", 3) == 0) && (p[4] == ' ' || p[4] == '*') &&
         digit(5) && digit(6) && p[7] == ':' && digit(8) && digit(9) && p[10] == '.' && digit(11);
}

// '1'..'9', then 'a' for 10 and on through the character set (port + 87).
int PortOfCharacter(unsigned char c) { return c >= '1' && c <= '9' ? c - '0' : c >= 'a' ? c - 87 : 0; }

}  // namespace

void HexLineParser::Feed(const char* data, size_t size) {
  m_pending.append(data, size);
  size_t start = 0;
  for (size_t end; (end = m_pending.find('\n', start)) != std::string::npos; start = end + 1) {
    if (end - start == LineWidth + 1 && m_pending[end - 1] == '\r') {
      Line(reinterpret_cast<const unsigned char*>(m_pending.data() + start));
    } else {
      Bad("a line of " + std::to_string(end - start) + " bytes before LF", m_pending.substr(start, end - start));
    }
  }
  m_pending.erase(0, start);
}

void HexLineParser::Finish() {
  if (!m_pending.empty()) Bad("an unfinished last line", m_pending);
  ClosePacket();
}

void HexLineParser::Bad(const std::string& what, const std::string& line) {
  ++Malformed;
  if (Notes.size() >= MaxNotes) return;
  std::string shown;
  for (unsigned char c : line.substr(0, LineWidth)) shown += (c >= 32 && c < 127) ? static_cast<char>(c) : '?';
  Notes.push_back("output line " + std::to_string(Lines) + ": " + what + ": \"" + shown + "\"");
}

void HexLineParser::ClosePacket() {
  if (m_port == 0) return;
  ++Packets;
  if (m_length == FullPacket) ++FullPackets;
  if (m_length > FullPacket) ++Oversize;
  m_port = 0;
}

void HexLineParser::Line(const unsigned char* p) {
  ++Lines;
  auto bad = [&](const char* what) { Bad(what, std::string(reinterpret_cast<const char*>(p), LineWidth)); };
  bool continuation = std::all_of(p, p + 12, [](unsigned char c) { return c == ' '; });
  if (continuation) {
    if (m_port == 0 || m_lastLineShort) return bad("a continuation line without a full line before it");
  } else {
    if (!HeaderOk(p)) return bad("a header that does not parse");
    int port = PortOfCharacter(p[3]);
    if (port < m_firstPort || port >= m_firstPort + static_cast<int>(m_checks.size()))
      return bad("a port that was not fed");
    ClosePacket();
    m_port = port;
    m_length = 0;
    ErrorPackets += p[0] == 'E';
    SentPackets += p[4] == '*';
    m_checks[port - m_firstPort]->Where = "packet " + std::to_string(Packets + 1) + " of the output, header \"" +
                                          std::string(reinterpret_cast<const char*>(p), 12) + "\", line " +
                                          std::to_string(Lines);
  }
  uint8_t bytes[16];
  int count = 0;
  for (int j = 0; j < 16; ++j) {
    const unsigned char* cell = p + 12 + 3 * j + j / 4;
    int high = HexDigitValue(cell[1]), low = HexDigitValue(cell[2]);
    if (cell[0] != ' ' || (j % 4 == 3 && cell[3] != ' ')) return bad("the hex cells are not spaced right");
    if (high >= 0 && low >= 0 && count == j) {
      bytes[count++] = static_cast<uint8_t>(high * 16 + low);
    } else if (cell[1] != ' ' || cell[2] != ' ') {
      return bad("a hex cell that does not parse");
    }
  }
  for (int j = 0; j < 16; ++j) {
    unsigned char expected = j >= count ? ' ' : bytes[j] < 32 ? 183 : bytes[j];
    if (p[64 + j] != expected) return bad("the text column disagrees with the hex");
  }
  if (count == 0) {
    if (continuation) return bad("an empty continuation line");
    return ClosePacket();  // an empty packet: one line, header only
  }
  m_lastLineShort = count < 16;
  m_length += static_cast<size_t>(count);
  StreamCheck& check = *m_checks[m_port - m_firstPort];
  for (int j = 0; j < count; ++j) check.Take(bytes[j]);
}

}  // namespace tapwise::bench
