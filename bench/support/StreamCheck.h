#pragma once
// Places each byte that came out of the program at its position in what was
// sent down its port. A byte that continues the stream is taken at once;
// after a mismatch a window of bytes is collected and searched for near the
// expected position, which tells lost bytes (a jump forward), late or
// repeated ones (a jump back) and bytes that match nothing that was sent
// (corrupted) apart. Notes say where, for the first few faults.
//
// Take runs on one thread (the one parsing the output); Distinct may be
// read from another while it runs.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/SentStream.h"

namespace tapwise::bench {

// At most this many notes per check and per parser: the first faults tell
// the story, thousands more would bury it.
constexpr size_t MaxNotes = 5;

class StreamCheck {
 public:
  StreamCheck(int port, const SentStream& stream) : m_port(port), m_stream(stream) {}

  std::string Where;  // set by the parser: where in the output the bytes are
  std::atomic<uint64_t> Distinct{0};
  uint64_t Received = 0, Reordered = 0, Repeated = 0, Corrupted = 0;
  std::vector<std::string> Notes;

  void Take(uint8_t byte);
  // Places what is still in the window; call once no more output will come.
  void Finish();
  uint64_t Lost() const { return m_stream.Written() - Distinct.load(); }

 private:
  static constexpr size_t Window = 32;
  static constexpr size_t MinMatch = 8;

  void Note(const std::string& text);
  void Assign(uint64_t position);
  size_t MatchLength(uint64_t at, uint64_t limit) const;
  void Resync(bool final);

  int m_port;
  const SentStream& m_stream;
  uint64_t m_cursor = 0;
  uint64_t m_maxSeen = 0;
  uint64_t m_resyncs = 0;
  std::vector<bool> m_seen;
  std::vector<uint8_t> m_window;
};

// One check per port, index = port - the parser's first port.
using PortChecks = std::vector<std::unique_ptr<StreamCheck>>;

}  // namespace tapwise::bench
