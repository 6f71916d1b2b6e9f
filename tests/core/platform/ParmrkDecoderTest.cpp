#include "core/platform/ParmrkDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace tapwise {
namespace {

using Bytes = std::vector<uint8_t>;

struct DecodeCase {
  const char* Name;
  Bytes Raw;
  Bytes Data;
  bool Error;
};

const DecodeCase Cases[] = {
    {"plain", {0x41, 0x00, 0x42}, {0x41, 0x00, 0x42}, false},
    {"doubled FF", {0x41, 0xFF, 0xFF, 0x42}, {0x41, 0xFF, 0x42}, false},
    {"run of doubled FF", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF}, false},
    {"bad byte", {0x41, 0xFF, 0x00, 0x42, 0x43}, {0x41, 0x42, 0x43}, true},
    {"bad FF byte", {0xFF, 0x00, 0xFF, 0x44}, {0xFF, 0x44}, true},
    {"break", {0xFF, 0x00, 0x00}, {0x00}, true},
    {"lone FF", {0x41, 0xFF, 0x42, 0x43}, {0x41, 0xFF, 0x42, 0x43}, false},
    {"lone FF before 00 data", {0xFF, 0x7F, 0x00, 0x00}, {0xFF, 0x7F, 0x00, 0x00}, false},
    {"everything",
     {0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0x41, 0xFF, 0x42, 0xFF, 0xFF},
     {0x00, 0xFF, 0x00, 0x41, 0xFF, 0x42, 0xFF},
     true},
};

// Feeds raw through the decoder in reads of at most room bytes, each read
// stopping at the next of the given cut positions, and checks that no read
// writes past its room or yields more than has come in so far.
Bytes DecodeInReads(ParmrkDecoder& decoder, const Bytes& raw, const std::vector<size_t>& cuts, size_t room) {
  constexpr uint8_t Guard = 0xA5;
  size_t fed = 0;
  Bytes data;
  int idleReads = 0;
  // Two reads with nothing new flush the byte a one-byte read may hold.
  while (idleReads < 2) {
    size_t cut = raw.size();
    for (size_t c : cuts) {
      if (c > fed) {
        cut = c;
        break;
      }
    }
    auto reader = [&](uint8_t* into, size_t max) {
      size_t n = std::min(max, cut - fed);
      std::copy_n(raw.begin() + static_cast<long>(fed), n, into);
      fed += n;
      return n;
    };
    Bytes buffer(room + 4, Guard);
    size_t before = fed;
    size_t got = decoder.Read(buffer.data(), room, reader);
    EXPECT_LE(got, room);
    EXPECT_TRUE(std::all_of(buffer.begin() + static_cast<long>(room), buffer.end(), [](uint8_t b) { return b == Guard; }));
    data.insert(data.end(), buffer.begin(), buffer.begin() + static_cast<long>(got));
    EXPECT_LE(data.size(), fed);
    idleReads = (fed == before && got == 0) ? idleReads + 1 : 0;
  }
  EXPECT_EQ(fed, raw.size());
  return data;
}

TEST(ParmrkDecoderTest, DecodesEveryCaseCutAtEverySplitPoint) {
  for (const DecodeCase& c : Cases) {
    for (size_t split = 0; split <= c.Raw.size(); ++split) {
      SCOPED_TRACE(std::string(c.Name) + ", cut at " + std::to_string(split));
      ParmrkDecoder decoder;
      EXPECT_EQ(DecodeInReads(decoder, c.Raw, {split}, 64), c.Data);
      EXPECT_EQ(decoder.TakeError(), c.Error);
      EXPECT_FALSE(decoder.TakeError());
    }
  }
}

TEST(ParmrkDecoderTest, DecodesEveryCaseByteByByteAndInTinyReads) {
  for (const DecodeCase& c : Cases) {
    std::vector<size_t> everyByte;
    for (size_t i = 1; i <= c.Raw.size(); ++i) everyByte.push_back(i);
    for (size_t room : {1, 2, 3}) {
      SCOPED_TRACE(std::string(c.Name) + ", room " + std::to_string(room));
      ParmrkDecoder cutEverywhere;
      EXPECT_EQ(DecodeInReads(cutEverywhere, c.Raw, everyByte, room), c.Data);
      EXPECT_EQ(cutEverywhere.TakeError(), c.Error);
      ParmrkDecoder uncut;
      EXPECT_EQ(DecodeInReads(uncut, c.Raw, {}, room), c.Data);
      EXPECT_EQ(uncut.TakeError(), c.Error);
    }
  }
}

TEST(ParmrkDecoderTest, KeepsATrailingFFUntilTheNextByteSettlesIt) {
  ParmrkDecoder decoder;
  Bytes first = {0x41, 0xFF};
  EXPECT_EQ(DecodeInReads(decoder, first, {}, 16), Bytes({0x41}));
  Bytes second = {0xFF, 0x42};
  EXPECT_EQ(DecodeInReads(decoder, second, {}, 16), Bytes({0xFF, 0x42}));
  EXPECT_FALSE(decoder.TakeError());
}

TEST(ParmrkDecoderTest, ABreakMarkIsToldFromAMarkedByte) {
  ParmrkDecoder decoder;
  DecodeInReads(decoder, {0xFF, 0x00, 0x00}, {}, 16);
  EXPECT_EQ(decoder.TakeErrors(), LineErrorBreak);
  DecodeInReads(decoder, {0xFF, 0x00, 0x41}, {}, 16);
  EXPECT_EQ(decoder.TakeErrors(), LineErrorOther);
  DecodeInReads(decoder, {0xFF, 0x00, 0x41, 0xFF, 0x00, 0x00, 0xFF, 0xFF}, {}, 16);
  EXPECT_EQ(decoder.TakeErrors(), LineErrorOther | LineErrorBreak);
  EXPECT_EQ(decoder.TakeErrors(), 0);
}

TEST(ParmrkDecoderTest, AnErrorStaysReportedUntilTaken) {
  ParmrkDecoder decoder;
  DecodeInReads(decoder, {0xFF, 0x00, 0x41}, {}, 16);
  DecodeInReads(decoder, {0x42, 0x43}, {}, 16);
  EXPECT_TRUE(decoder.TakeError());
  DecodeInReads(decoder, {0x44}, {}, 16);
  EXPECT_FALSE(decoder.TakeError());
}

}  // namespace
}  // namespace tapwise
