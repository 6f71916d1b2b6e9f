// The telnet layer without a socket: what goes out for each command, and
// that no stream a server sends, however malformed or however cut into
// reads, changes the data bytes.

#include "core/platform/Rfc2217Codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/TcpStub.h"

namespace tapwise {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240, NOP = 241;
constexpr uint8_t ComPort = 44;

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Report(uint8_t command, Bytes value) { return Bytes{IAC, SB, ComPort, command} + value + Bytes{IAC, SE}; }

// Decodes stream in reads of `chunk` bytes (0: all at once).
Bytes DecodeAll(Rfc2217Codec& codec, const Bytes& stream, size_t chunk = 0) {
  Bytes data;
  size_t step = chunk == 0 ? stream.size() : chunk;
  for (size_t at = 0; at < stream.size(); at += step) {
    size_t size = std::min(step, stream.size() - at);
    Bytes out(size);
    size_t got = codec.Decode(stream.data() + at, size, out.data());
    EXPECT_LE(got, size);
    data.insert(data.end(), out.begin(), out.begin() + static_cast<std::ptrdiff_t>(got));
  }
  return data;
}

// A codec whose server has agreed to the COM-PORT-OPTION, output emptied.
void Agree(Rfc2217Codec& codec) {
  codec.Begin();
  DecodeAll(codec, {IAC, DO, ComPort});
  ASSERT_TRUE(codec.ComPortAgreed());
  ASSERT_TRUE(codec.TakeComPortAgreed());
  codec.Output().clear();
}

TEST(Rfc2217Codec, OffersTheComPortOptionBinaryAndNoGoAhead) {
  Rfc2217Codec codec;
  ASSERT_TRUE(codec.Ok());
  codec.Begin();
  const Bytes& out = codec.Output();
  for (const Bytes& offer : {Bytes{IAC, WILL, ComPort}, Bytes{IAC, WILL, 0}, Bytes{IAC, DO, 0}, Bytes{IAC, WILL, 3},
                             Bytes{IAC, DO, 3}}) {
    EXPECT_TRUE(Contains(out, offer)) << int(offer[1]) << " " << int(offer[2]);
  }
  EXPECT_FALSE(codec.ComPortAgreed());
  // Echo and the like are refused, whatever the server wants.
  codec.Output().clear();
  DecodeAll(codec, {IAC, WILL, 1, IAC, DO, 34});
  EXPECT_TRUE(Contains(codec.Output(), {IAC, DONT, 1}));
  EXPECT_TRUE(Contains(codec.Output(), {IAC, WONT, 34}));
}

TEST(Rfc2217Codec, AgreementAndRefusal) {
  Rfc2217Codec agreed;
  Agree(agreed);
  EXPECT_FALSE(agreed.TakeComPortAgreed());  // once only
  Rfc2217Codec refused;
  refused.Begin();
  DecodeAll(refused, {IAC, DONT, ComPort});
  EXPECT_FALSE(refused.ComPortAgreed());
  EXPECT_TRUE(refused.ComPortRefused());
}

TEST(Rfc2217Codec, CommandsAreEncodedWithTheirCodesAndDoubledFF) {
  struct Case {
    LineFormat Format;
    Bytes Baud, DataSize, Parity, StopSize;
  };
  const Case cases[] = {
      {{9600, ParityNone, 8, StopOne}, {1, 0, 0, 0x25, 0x80}, {2, 8}, {3, 1}, {4, 1}},
      {{115200, ParityOdd, 7, StopTwo}, {1, 0, 1, 0xC2, 0}, {2, 7}, {3, 2}, {4, 2}},
      {{300, ParityEven, 5, StopOneAndHalf}, {1, 0, 0, 1, 0x2C}, {2, 5}, {3, 3}, {4, 3}},
      {{255, ParityMark, 6, StopOne}, {1, 0, 0, 0, IAC, IAC}, {2, 6}, {3, 4}, {4, 1}},
      {{0xFFFF, ParitySpace, 8, StopOne}, {1, 0, 0, IAC, IAC, IAC, IAC}, {2, 8}, {3, 5}, {4, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Format.BaudRate);
    Rfc2217Codec codec;
    Agree(codec);
    codec.EncodeLineFormat(c.Format);
    const Bytes expected = Bytes{IAC, SB, ComPort} + c.Baud + Bytes{IAC, SE, IAC, SB, ComPort} + c.DataSize +
                           Bytes{IAC, SE, IAC, SB, ComPort} + c.Parity + Bytes{IAC, SE, IAC, SB, ComPort} +
                           c.StopSize + Bytes{IAC, SE};
    EXPECT_EQ(codec.Output(), expected);
  }

  Rfc2217Codec codec;
  Agree(codec);
  codec.EncodeControlLines(true, false);
  EXPECT_EQ(codec.Output(), (Bytes{IAC, SB, ComPort, 5, 11, IAC, SE, IAC, SB, ComPort, 5, 9, IAC, SE}));
  codec.Output().clear();
  codec.EncodeControlLines(false, true);
  EXPECT_EQ(codec.Output(), (Bytes{IAC, SB, ComPort, 5, 12, IAC, SE, IAC, SB, ComPort, 5, 8, IAC, SE}));
  codec.Output().clear();
  codec.EncodeOpening();
  codec.EncodePurge();
  for (const Bytes& command : {Bytes{5, 1}, Bytes{5, 14}, Bytes{11, 0xBB}, Bytes{10, 0x1E}, Bytes{12, 3}}) {
    EXPECT_TRUE(Contains(codec.Output(), Bytes{IAC, SB, ComPort} + command + Bytes{IAC, SE})) << int(command[0]);
  }
  codec.Output().clear();
  const Bytes data = Text("a\xFF" "b\xFF\xFF");
  codec.EncodeData(data.data(), data.size());
  EXPECT_EQ(codec.Output(), (Bytes{'a', IAC, IAC, 'b', IAC, IAC, IAC, IAC}));
}

TEST(Rfc2217Codec, ReportsBecomeModemLinesErrorsAndConfirmedSettings) {
  Rfc2217Codec codec;
  Agree(codec);
  Bytes data = DecodeAll(codec, Report(107, {0x80 | 0x20 | 0x10 | 0x0B}) + Text("x") + Report(101, {0, 0, 0x4B, 0}) +
                                    Report(102, {7}) + Report(103, {3}) + Report(104, {2}));
  EXPECT_EQ(data, Text("x"));
  EXPECT_EQ(codec.ModemLines(), ModemCTS | ModemDSR | ModemCD);
  EXPECT_EQ(codec.Confirmed().BaudRate, 19200u);
  EXPECT_EQ(codec.Confirmed().DataSize, 7);
  EXPECT_EQ(codec.Confirmed().Parity, 3);
  EXPECT_EQ(codec.Confirmed().StopSize, 2);
  DecodeAll(codec, Report(107, {0x10}));
  EXPECT_EQ(codec.ModemLines(), ModemCTS);

  // Data ready and the transmitter bits are no errors; overrun, parity,
  // framing and break each are.
  DecodeAll(codec, Report(106, {0x01 | 0x20 | 0x40}));
  EXPECT_FALSE(codec.TakeLineError());
  for (uint8_t bit : {uint8_t(0x02), uint8_t(0x04), uint8_t(0x08), uint8_t(0x10)}) {
    DecodeAll(codec, Report(106, {bit}));
    EXPECT_TRUE(codec.TakeLineError()) << int(bit);
    EXPECT_FALSE(codec.TakeLineError());
  }
  // A report of the wrong length is not believed.
  DecodeAll(codec, Report(106, {0x02, 0x02}) + Report(101, {1}));
  EXPECT_FALSE(codec.TakeLineError());
  EXPECT_EQ(codec.Confirmed().BaudRate, 19200u);
  EXPECT_GE(codec.ProtocolErrors(), 2u);
}

size_t Occurrences(const Bytes& haystack, const Bytes& needle) {
  size_t count = 0;
  for (auto at = haystack.begin();
       (at = std::search(at, haystack.end(), needle.begin(), needle.end())) != haystack.end(); ++at) {
    ++count;
  }
  return count;
}

Bytes Repeated(const Bytes& piece, int times) {
  Bytes all;
  for (int i = 0; i < times; ++i) all = all + piece;
  return all;
}

// A server may repeat a request without end; each one changes nothing after
// the first, so only a change of request is answered again.
TEST(Rfc2217Codec, RepeatedOptionRequestsAreAnsweredOnce) {
  struct Case {
    const char* Name;
    Bytes Stream;
    Bytes Answer;
    size_t Answers;
  };
  const Case cases[] = {
      {"DO of a refused option", Repeated({IAC, DO, 1}, 10000), {IAC, WONT, 1}, 1},
      {"WILL of a refused option", Repeated({IAC, WILL, 24}, 10000), {IAC, DONT, 24}, 1},
      {"two options interleaved", Repeated({IAC, DO, 1, IAC, DO, 34}, 5000), {IAC, WONT, 34}, 1},
      {"DO and WILL of one option interleaved", Repeated({IAC, DO, 1, IAC, WILL, 1}, 5000), {IAC, DONT, 1}, 1},
      {"DONT between the requests", Repeated({IAC, DO, 1, IAC, DONT, 1}, 3), {IAC, WONT, 1}, 3},
      {"data between the requests", Repeated({IAC, DO, 1, 'x'}, 100), {IAC, WONT, 1}, 1},
  };
  for (const Case& c : cases) {
    for (size_t chunk : {size_t(0), size_t(1), size_t(2), size_t(4096)}) {
      SCOPED_TRACE(std::string(c.Name) + ", reads of " + std::to_string(chunk));
      Rfc2217Codec codec;
      Agree(codec);
      DecodeAll(codec, c.Stream, chunk);
      EXPECT_EQ(Occurrences(codec.Output(), c.Answer), c.Answers);
      EXPECT_LE(codec.Output().size(), 3 * c.Answers + 3);
      // The option agreed stays agreed, and data still comes through.
      EXPECT_TRUE(codec.ComPortAgreed());
      EXPECT_EQ(DecodeAll(codec, Text("z") + Bytes{IAC, IAC}), Text("z\xFF"));
    }
  }
  // The agreement itself, repeated, is not answered again either.
  Rfc2217Codec codec;
  Agree(codec);
  DecodeAll(codec, Repeated({IAC, DO, ComPort}, 100));
  EXPECT_TRUE(codec.Output().empty());
  EXPECT_FALSE(codec.TakeComPortAgreed());
  EXPECT_EQ(codec.RepeatsDropped(), 100u);
}

TEST(Rfc2217Codec, TheLineFormatCountsAsAnsweredOnceEveryPartIs) {
  Rfc2217Codec codec;
  Agree(codec);
  const Bytes answers[] = {Report(101, {0, 0, 0x25, 0x80}), Report(102, {8}), Report(103, {1}), Report(104, {1})};
  // Answers to other commands, and a malformed one, do not count.
  DecodeAll(codec, Report(105, {11}) + Report(112, {3}) + Report(104, {1, 1}));
  for (const Bytes& answer : answers) {
    EXPECT_FALSE(codec.LineFormatAnswered());
    DecodeAll(codec, answer);
  }
  EXPECT_TRUE(codec.LineFormatAnswered());
}

// Malformed streams: the data bytes that come out are exactly the data
// bytes the stream holds outside commands, for every way of cutting it
// into reads (IAC at the end of a read included).
TEST(Rfc2217Codec, MalformedStreamsNeverChangeTheDataBytes) {
  const Bytes huge(100000, 'h');
  Bytes hugeWithIacs;
  for (int i = 0; i < 5000; ++i) hugeWithIacs = hugeWithIacs + Bytes{'q', IAC, IAC};
  struct Case {
    const char* Name;
    Bytes Stream;
    Bytes Data;
  };
  const Case cases[] = {
      {"doubled FF", Text("a") + Bytes{IAC, IAC} + Text("b") + Bytes{IAC, IAC, IAC, IAC}, Text("a\xFF" "b\xFF\xFF")},
      {"commands between data", Text("ab") + Bytes{IAC, NOP, IAC, WILL, 3, IAC, 0x01} + Text("cd"), Text("abcd")},
      {"report cut short by a command", Text("ab") + Bytes{IAC, SB, ComPort, 106, IAC, WILL, 3} + Text("cd"),
       Text("abcd")},
      {"huge report", Text("ab") + Bytes{IAC, SB, ComPort, 107} + huge + Bytes{IAC, SE} + Text("cd"), Text("abcd")},
      {"huge report with doubled FF", Text("ab") + Bytes{IAC, SB, ComPort, 0} + hugeWithIacs + Bytes{IAC, SE} +
                                          Text("cd"),
       Text("abcd")},
      {"another option's subnegotiation", Text("ab") + Bytes{IAC, SB, 39, 0, 1, 2, IAC, IAC, 3, IAC, SE} + Text("cd"),
       Text("abcd")},
      {"another option's, cut short", Text("ab") + Bytes{IAC, SB, 24, 1, IAC, NOP} + Text("cd"), Text("abcd")},
      {"compression start is not obeyed", Text("ab") + Bytes{IAC, SB, 86, IAC, SE} + Text("cd"), Text("abcd")},
      {"subnegotiation without an option", Text("ab") + Bytes{IAC, SB, IAC, SE} + Text("cd"), Text("abcd")},
      {"end without a start", Text("ab") + Bytes{IAC, SE} + Text("cd"), Text("abcd")},
      {"IAC last", Text("ab") + Bytes{IAC}, Text("ab")},
      {"report never ended", Text("ab") + Bytes{IAC, SB, ComPort, 106, 2} + Text("swallowed"), Text("ab")},
  };
  for (const Case& c : cases) {
    for (size_t chunk : {size_t(0), size_t(1), size_t(2), size_t(3), size_t(7), size_t(4096)}) {
      SCOPED_TRACE(std::string(c.Name) + ", reads of " + std::to_string(chunk));
      Rfc2217Codec codec;
      Agree(codec);
      EXPECT_EQ(DecodeAll(codec, c.Stream, chunk), c.Data);
      // Whatever came before, the codec is back in step for what follows
      // (except after a report that never ended, which swallows the rest).
      if (std::string(c.Name) != "report never ended" && std::string(c.Name) != "IAC last") {
        EXPECT_EQ(DecodeAll(codec, Text("z") + Bytes{IAC, IAC}), Text("z\xFF"));
      }
    }
  }
}

}  // namespace
}  // namespace tapwise
