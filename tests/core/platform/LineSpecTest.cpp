// Line settings and port lists as the user types them after an option.

#include "core/platform/LineSpec.h"

#include <gtest/gtest.h>

#include "core/platform/PortList.h"

namespace tapwise {
namespace {

TEST(LineSpec, SoundSpecsSetWhatTheyNameAndKeepTheRest) {
  struct Case {
    const char* text;
    LineFormat expected;  // applied over 9600,8N1
  };
  const Case cases[] = {
      {"115200,8N1", {115200, ParityNone, 8, StopOne}},
      {"9600", {9600, ParityNone, 8, StopOne}},
      {"250000", {250000, ParityNone, 8, StopOne}},
      {"7E1", {9600, ParityEven, 7, StopOne}},
      {"19200,7o2", {19200, ParityOdd, 7, StopTwo}},
      {"300,8M1", {300, ParityMark, 8, StopOne}},
      {"300,8S1", {300, ParitySpace, 8, StopOne}},
      {"110,5N1.5", {110, ParityNone, 5, StopOneAndHalf}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const LineSpecParse parsed = ParseLineSpec(c.text);
    ASSERT_TRUE(parsed.Line) << parsed.Problem;
    const LineFormat format = parsed.Line->AppliedTo(LineFormat{});
    EXPECT_EQ(format.BaudRate, c.expected.BaudRate);
    EXPECT_EQ(format.Parity, c.expected.Parity);
    EXPECT_EQ(format.DataBits, c.expected.DataBits);
    EXPECT_EQ(format.StopBits, c.expected.StopBits);
  }
  // A rate alone leaves a frame set before it.
  const LineFormat kept = ParseLineSpec("4800").Line->AppliedTo(LineFormat{9600, ParityEven, 7, StopTwo});
  EXPECT_EQ(kept.Parity, ParityEven);
  EXPECT_EQ(kept.DataBits, 7);
  EXPECT_EQ(kept.BaudRate, 4800u);
}

TEST(LineSpec, MalformedSpecsSayWhatIsWrong) {
  struct Case {
    const char* text;
    const char* problem;
  };
  const Case cases[] = {
      {"11520x", "11520x is neither a rate nor data bits (5-8), parity (N, E, O, M, S) and stop bits (1, 1.5, 2) such as 8N1"},
      {"", "expected a rate, data bits, parity and stop bits, or both, e.g. 115200,8N1"},
      {"8N1,9600", "the rate comes first, and once"},
      {"9600,9600", "the rate comes first, and once"},
      {"9600,8N1,1", "expected at most a rate and a frame, e.g. 115200,8N1"},
      {"9600,", "an empty part is neither a rate nor data bits (5-8), parity (N, E, O, M, S) and stop bits (1, 1.5, 2) such as 8N1"},
      {"9N1", "9N1 is neither a rate nor data bits (5-8), parity (N, E, O, M, S) and stop bits (1, 1.5, 2) such as 8N1"},
      {"8X1", "8X1 is neither a rate nor data bits (5-8), parity (N, E, O, M, S) and stop bits (1, 1.5, 2) such as 8N1"},
      {"8N3", "8N3 is neither a rate nor data bits (5-8), parity (N, E, O, M, S) and stop bits (1, 1.5, 2) such as 8N1"},
      {"8N1.5", "1.5 stop bits go only with 5 data bits"},
      {"0", "the rate 0 is outside 50 to 16000000"},
      {"99999999", "the rate 99999999 is outside 50 to 16000000"},
      {"9999999999", "9999999999 is neither a rate nor data bits (5-8), parity (N, E, O, M, S) and stop bits (1, 1.5, 2) such as 8N1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const LineSpecParse parsed = ParseLineSpec(c.text);
    EXPECT_FALSE(parsed.Line);
    EXPECT_EQ(parsed.Problem, c.problem);
  }
}

TEST(LineSpec, SuffixOfADeviceIsSplitOffOnlyWhenItIsLineSettings) {
  struct Case {
    const char* target;
    const char* device;
    std::optional<uint32_t> rate;
    std::optional<uint8_t> dataBits;
  };
  const Case cases[] = {
      {"/dev/ttyUSB0,115200,8N1", "/dev/ttyUSB0", 115200, 8},
      {"/dev/ttyUSB0,7E1", "/dev/ttyUSB0", std::nullopt, 7},
      {"pty,57600", "pty", 57600, std::nullopt},
      {"rfc2217://127.0.0.1:7000,9600", "rfc2217://127.0.0.1:7000", 9600, std::nullopt},
      {"/dev/ttyUSB0,115200,link=/tmp/app", "/dev/ttyUSB0,link=/tmp/app", 115200, std::nullopt},
      {"/dev/ttyUSB0,link=/tmp/a,9600", "/dev/ttyUSB0,link=/tmp/a,9600", std::nullopt, std::nullopt},
      {"/dev/serial/by-id/usb-x,y", "/dev/serial/by-id/usb-x,y", std::nullopt, std::nullopt},
      {"/dev/ttyUSB0", "/dev/ttyUSB0", std::nullopt, std::nullopt},
      {",9600", ",9600", std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    const SplitTarget split = SplitLineSuffix(c.target);
    EXPECT_EQ(split.Target, c.device);
    EXPECT_TRUE(split.Problem.empty()) << split.Problem;
    ASSERT_EQ(split.Line.has_value(), c.rate.has_value() || c.dataBits.has_value());
    if (!split.Line) continue;
    EXPECT_EQ(split.Line->BaudRate, c.rate);
    EXPECT_EQ(split.Line->DataBits, c.dataBits);
  }
  EXPECT_EQ(SplitLineSuffix("/dev/ttyUSB0,8N1,9600").Problem, "the rate comes first, and once");
}

TEST(LineSpec, FormatTextReadsAsTheOptionTakesIt) {
  EXPECT_EQ(LineFormatText({115200, ParityNone, 8, StopOne}), "115200,8N1");
  EXPECT_EQ(LineFormatText({110, ParitySpace, 5, StopOneAndHalf}), "110,5S1.5");
  EXPECT_EQ(LineFormatText({9600, ParityEven, 7, StopTwo}), "9600,7E2");
}

TEST(PortList, NumbersAndRanges) {
  const PortListParse parsed = ParsePortList("1,33-40,97");
  ASSERT_TRUE(parsed.Problem.empty()) << parsed.Problem;
  EXPECT_EQ(parsed.Ports.count(), 10u);
  for (int n : {1, 33, 36, 40, 97}) EXPECT_TRUE(parsed.Ports.test(n)) << n;
  for (int n : {0, 2, 32, 41, 96, 128}) EXPECT_FALSE(parsed.Ports.test(n)) << n;
  EXPECT_EQ(ParsePortList("128").Ports.count(), 1u);
  EXPECT_EQ(ParsePortList("1-128").Ports.count(), 128u);

  struct Case {
    const char* text;
    const char* problem;
  };
  const Case bad[] = {
      {"", "expected COM numbers and ranges, e.g. 1,33-40,97"},
      {"0", "\"0\" is not a COM number (1 to 128) or a range such as 33-40"},
      {"129", "\"129\" is not a COM number (1 to 128) or a range such as 33-40"},
      {"1,,2", "an empty entry is not a COM number (1 to 128) or a range such as 33-40"},
      {"40-33", "the range 40-33 runs backwards"},
      {"COM5", "\"COM5\" is not a COM number (1 to 128) or a range such as 33-40"},
      {"3-", "\"3-\" is not a COM number (1 to 128) or a range such as 33-40"},
  };
  for (const Case& c : bad) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParsePortList(c.text).Problem, c.problem);
  }
}

}  // namespace
}  // namespace tapwise
