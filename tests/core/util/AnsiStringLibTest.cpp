#include "core/util/AnsiStringLib.h"

#include <gtest/gtest.h>

#include <thread>
#include <tuple>
#include <vector>

namespace tapwise {
namespace {

TEST(AnsiStringLib, FoldsOnlyAsciiLetters) {
  // '[' '{' and '@' '`' differ only in bit 5, like upper and lower letters.
  EXPECT_FALSE(SameTextAscii("[@", "{`"));
  EXPECT_EQ(UpperCaseAscii("az{\xE4\xFF"), "AZ{\xE4\xFF");
  for (auto [a, b, expected] : std::vector<std::tuple<const char*, const char*, int>>{
           {"abc", "ABC", 0}, {"abc", "ABD", 'C' - 'D'}, {"ab", "ABCD", -2}, {"\xE9", "a", 0xE9 - 'A'}}) {
    EXPECT_EQ(CompareTextAscii(a, b), expected) << a << " / " << b;
  }
}

TEST(AnsiStringLib, Searches) {
  for (auto [start, pattern, text, expected] : std::vector<std::tuple<size_t, const char*, std::string, size_t>>{
           {1, "#.#", "Release 2.5", 9}, {1, "ok", "Cancel,OK", 8}, {1, "ab", "aab", 2}, {3, "a", "aXaa", 3},
           {0, "x", "x", 1}, {1, "abc", "ab", 0}, {1, "?", std::string("\x1F\x80", 2), 2}, {1, "#", "a b", 0},
           {3, "", "ab", 3}, {4, "", "ab", 0}, {5, "a", "aaaa", 0}}) {
    EXPECT_EQ(FindPattern(start, pattern, text), expected) << pattern << " from " << start << " in " << text;
  }
  EXPECT_EQ(PosFrom(3, ',', "a,b,c"), 4u);
  EXPECT_EQ(PosFrom(9, ',', "a,b,c"), 0u);
  for (auto [text, n, field] : std::vector<std::tuple<const char*, size_t, const char*>>{
           {"a\tb\tc", 1, "b"}, {"a\tb\tc", 2, "c"}, {"a", 0, "a"}, {"a", 3, ""}, {"a\t\tc", 1, ""}}) {
    EXPECT_EQ(TabField(text, n), field) << text << " field " << n;
  }
}

TEST(AnsiStringLib, NumbersToText) {
  EXPECT_EQ(IntToText(INT32_MIN), "-2147483648");
  EXPECT_EQ(IntToText(0), "0");
  EXPECT_EQ(UIntToText(UINT32_MAX), "4294967295");
  EXPECT_EQ(HexByte(10), "0A");
  EXPECT_EQ(HexDigit(31), 'F');
  // Outside 0..99 the number is shown whole, never as two wrong characters.
  EXPECT_EQ(TwoDigits(7) + TwoDigits(100) + TwoDigits(-5), "07100-5");
}

enum class Reader { Hex, Unsigned, Signed };

TEST(AnsiStringLib, ReadsNumbersAndAdvances) {
  struct Row { Reader Kind; const char* Text; size_t Pos; int64_t Value; size_t EndPos; bool Error; };
  for (const Row& row : std::vector<Row>{
           {Reader::Hex, "  1a,2B", 1, 0x1A, 6, false}, {Reader::Hex, "  1a,2B", 6, 0x2B, 8, false},
           {Reader::Hex, "x1", 1, 0, 1, true}, {Reader::Hex, " \t\r\n,", 1, 0, 6, false},
           {Reader::Hex, "", 1, 0, 1, true}, {Reader::Hex, " x", 1, 0, 2, true},
           {Reader::Hex, "ffffFFFF", 1, 0xFFFFFFFF, 9, false}, {Reader::Hex, "123456789", 1, 0x23456789, 10, false},
           {Reader::Unsigned, "4294967297", 1, 1, 11, false}, {Reader::Unsigned, "12 ,x", 1, 12, 5, false},
           {Reader::Unsigned, "1A", 1, 1, 2, false}, {Reader::Signed, "-2147483648", 1, INT32_MIN, 12, false},
           {Reader::Signed, "- 5", 1, -5, 4, false}, {Reader::Signed, "- ", 1, 0, 3, true},
           {Reader::Signed, "  ", 1, 0, 3, false}, {Reader::Signed, "+-1", 1, 0, 2, true}}) {
    ParseError = false;
    size_t pos = row.Pos;
    int64_t value = row.Kind == Reader::Hex        ? int64_t{ReadHex(row.Text, pos)}
                    : row.Kind == Reader::Unsigned ? int64_t{ReadUnsigned(row.Text, pos)}
                                                   : int64_t{ReadSigned(row.Text, pos)};
    EXPECT_EQ(std::tuple(value, pos, ParseError), std::tuple(row.Value, row.EndPos, row.Error)) << row.Text;
  }
}

TEST(AnsiStringLib, HexDigitsAreExactlySixteenCharactersInEitherCase) {
  // Every byte value: the neighbours of each digit range ('/', ':', '@', 'G',
  // '`', 'g'), the upper half (a sign-extended char must not alias a digit)
  // and NUL all decode to -1; HexValue agrees, flagging just those.
  constexpr std::string_view Lower = "0123456789abcdef";
  constexpr std::string_view Upper = "0123456789ABCDEF";
  for (int byte = 0; byte < 256; ++byte) {
    const char c = static_cast<char>(byte);
    const size_t at = Lower.find(c) != std::string_view::npos ? Lower.find(c) : Upper.find(c);
    const int expected = at == std::string_view::npos ? -1 : static_cast<int>(at);
    EXPECT_EQ(HexDigitValue(c), expected) << "byte " << byte;
    ParseError = false;
    EXPECT_EQ(std::tuple(int{HexValue(c)}, ParseError), std::tuple(expected < 0 ? 0 : expected, expected < 0))
        << "byte " << byte;
  }
  static_assert(HexDigitValue('F') == 15 && HexDigitValue('G') == -1, "usable in constant expressions");
}

TEST(AnsiStringLib, HexFieldsPastTheEndAreErrors) {
  for (auto [text, pos, value, error] : std::vector<std::tuple<const char*, size_t, int, bool>>{
           {"x0dF", 3, 0xDF, false}, {"A", 1, 0xA0, true}, {"AB", 0, 0x0A, true}, {"g1", 1, 0x01, true}}) {
    ParseError = false;
    EXPECT_EQ(std::tuple(int{HexByteAt(text, pos)}, ParseError), std::tuple(value, error)) << text << " at " << pos;
  }
}

TEST(AnsiStringLib, TextToIntStrictNeedsTheWholeText) {
  for (auto [text, value, error] : std::vector<std::tuple<const char*, int32_t, bool>>{
           {"12", 12, false}, {" 12 ", 12, false}, {"-7", -7, false}, {"", 0, false},
           {"12a", 0, true}, {"1,2", 0, true}, {"+", 0, true}}) {
    ParseError = false;
    EXPECT_EQ(std::tuple(TextToIntStrict(text), ParseError), std::tuple(value, error)) << '"' << text << '"';
  }
  ParseError = true;  // left set by an earlier read: kept, and no reason to fail
  EXPECT_EQ(std::tuple(TextToIntStrict("5"), ParseError), std::tuple(5, true));
}

TEST(AnsiStringLib, ReadsHexByteLists) {
  for (auto [text, count, stored] : std::vector<std::tuple<const char*, ptrdiff_t, std::vector<uint8_t>>>{
           {"01,02 03", 3, {1, 2, 3}}, {"01 02 1FF", -1, {}}, {" ,\r\n", 0, {}}, {"1 x", -1, {}},
           {"100000000", -1, {}}, {"a b c d e", 5, {0xA, 0xB, 0xC, 0xD}}}) {
    ParseError = true;  // cleared by the list reader itself
    std::vector<uint8_t> out(5, 0xEE);
    size_t pos = 1;
    EXPECT_EQ(std::tuple(ReadHexBytes(text, pos, out.data(), 4), ParseError), std::tuple(count, count < 0)) << text;
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), out.begin())) << text;
    EXPECT_EQ(out[4], 0xEE) << "wrote past capacity for " << text;
  }
}

TEST(AnsiStringLib, FileNames) {
  for (auto [name, ext, expected] : std::vector<std::tuple<const char*, const char*, const char*>>{
           {"C:\\A\\proj.tw", "TW", "C:\\A\\proj.TW"}, {"Default", ".bak", "Default.bak"},
           {"C:\\Tools 1.2\\proj", "TW", "C:\\Tools 1.2\\proj.TW"},
           {"/home/u/tools 1.2/capture", "DAT", "/home/u/tools 1.2/capture.DAT"},
           {"/tmp/.profile", "bak", "/tmp/.profile.bak"}, {"a.b.c", "", "a.b"}}) {
    EXPECT_EQ(ReplaceFileExt(name, ext), expected) << name;
  }
  EXPECT_EQ(StripTrailingBackslash("C:\\dir\\") + StripTrailingBackslash("/tmp/"), "C:\\dir/tmp");
  EXPECT_EQ(StripTrailingBackslash("/"), "/");
}

TEST(AnsiStringLib, ParseErrorBelongsToItsThread) {
  ParseError = true;
  bool otherSaw = true;
  std::thread([&] { otherSaw = ParseError; }).join();
  EXPECT_FALSE(otherSaw);
}

}  // namespace
}  // namespace tapwise
