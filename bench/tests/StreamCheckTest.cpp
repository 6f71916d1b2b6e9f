#include "support/StreamCheck.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Random.h"
#include "support/SentStream.h"

namespace tapwise::bench {
namespace {

// A stream that is all sent and taken: the state once feeding has ended.
class VectorStream final : public SentStream {
 public:
  explicit VectorStream(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}
  uint8_t ByteAt(uint64_t offset) const override { return m_bytes[offset]; }
  uint64_t Offered() const override { return m_bytes.size(); }
  uint64_t Written() const override { return m_bytes.size(); }

 private:
  std::vector<uint8_t> m_bytes;
};

std::vector<uint8_t> Sent(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(Mix(i));
  return bytes;
}

// What came out, as pieces [from, to) of the sent stream.
struct Piece {
  size_t From, To;
};

struct Case {
  const char* Name;
  std::vector<Piece> Received;
  int CorruptAt;  // offset in the received bytes whose value is flipped, or -1
  uint64_t Lost, Reordered, Repeated, Corrupted;
  const char* Note;  // in one of the notes; "" for no notes at all
};

TEST(StreamCheck, TellsLostLateRepeatedAndCorruptedBytesApart) {
  const std::vector<Case> cases = {
      {"intact", {{0, 1000}}, -1, 0, 0, 0, 0, ""},
      {"a gap", {{0, 300}, {400, 1000}}, -1, 100, 0, 0, 0, "COM3: jumped over 100 bytes to offset 400"},
      {"a piece twice", {{0, 500}, {200, 300}, {500, 1000}}, -1, 0, 0, 100, 0, "offset 200 came again or late"},
      {"a piece late", {{0, 200}, {300, 400}, {200, 300}, {400, 1000}}, -1, 0, 100, 0, 0,
       "offset 200 came again or late, after offset 399"},
      {"a byte changed", {{0, 1000}}, 500, 1, 0, 0, 1, "matches nothing sent"},
      {"the end missing", {{0, 900}}, -1, 100, 0, 0, 0, "the last 100 bytes (from offset 900) never came out"},
      {"nothing", {}, -1, 1000, 0, 0, 0, "the last 1000 bytes (from offset 0) never came out"},
  };
  const std::vector<uint8_t> sent = Sent(1000);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    VectorStream stream(sent);
    StreamCheck check(3, stream);
    std::vector<uint8_t> received;
    for (const Piece& piece : c.Received)
      received.insert(received.end(), sent.begin() + piece.From, sent.begin() + piece.To);
    if (c.CorruptAt >= 0) received[c.CorruptAt] ^= 0x5A;
    for (uint8_t byte : received) check.Take(byte);
    check.Finish();
    EXPECT_EQ(check.Received, received.size());
    EXPECT_EQ(check.Lost(), c.Lost);
    EXPECT_EQ(check.Reordered, c.Reordered);
    EXPECT_EQ(check.Repeated, c.Repeated);
    EXPECT_EQ(check.Corrupted, c.Corrupted);
    if (*c.Note == '\0') {
      EXPECT_TRUE(check.Notes.empty()) << check.Notes.front();
    } else {
      bool found = false;
      std::string notes;
      for (const std::string& note : check.Notes) {
        found = found || note.find(c.Note) != std::string::npos;
        notes += note + "\n";
      }
      EXPECT_TRUE(found) << notes;
    }
  }
}

TEST(StreamCheck, KeepsOnlyTheFirstFewNotes) {
  const std::vector<uint8_t> sent = Sent(4000);
  VectorStream stream(sent);
  StreamCheck check(1, stream);
  // Every other 100 bytes missing: 20 gaps.
  for (size_t from = 0; from < sent.size(); from += 200)
    for (size_t i = from; i < from + 100; ++i) check.Take(sent[i]);
  check.Finish();
  EXPECT_EQ(check.Lost(), 2000u);
  EXPECT_EQ(check.Notes.size(), MaxNotes);
}

}  // namespace
}  // namespace tapwise::bench
