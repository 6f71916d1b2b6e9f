// Highlight rules in the project file: written as H lines that keep each
// rule's place and colour, read back whole, and passed over by a reader
// that knows only the older lines, which then reads everything else the
// same.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/config/ProjectFile.h"

namespace tapwise {
namespace {

ProjectData WithRules() {
  ProjectData data;
  data.Ports[3].BaudRate = 19200;
  data.Names[3] = "Meter";
  data.Rows[2] = {"\"PING\"", "02 30"};
  data.Highlights[0] = {"02 30 31", 0xFFFF80};
  data.Highlights[2] = {"\"ERR\" 0D", 0x123456};
  // A control byte inside quotes would end the line early; it is written
  // in a form that compiles to the same bytes.
  data.Highlights[7] = {"\"a\tb\"", 0xABCDEF};
  return data;
}

// Every line of text that does not begin with one of the given letters.
std::string WithoutLines(const std::string& text, char first) {
  std::string kept;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start) + 2;
    if (text[start] != first) kept += text.substr(start, end - start);
    start = end;
  }
  return kept;
}

TEST(ProjectHighlights, WrittenAsHLinesInPlaceOrder) {
  const std::string text = FormatProjectText(WithRules());
  EXPECT_NE(text.find("\r\nH1FFFF8002 30 31\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nH3123456\"ERR\" 0D\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nH8ABCDEF\"a\"09\"b\"\r\n"), std::string::npos) << text;
  // Unused rules write nothing, and the rules come after every older line.
  EXPECT_EQ(text.find("\r\nH2"), std::string::npos);
  EXPECT_LT(text.rfind("\r\nUT"), text.find("\r\nH1"));
  EXPECT_EQ(FormatProjectText(ProjectData{}).find('H'), std::string::npos);
}

TEST(ProjectHighlights, ReadBackWhole) {
  const ProjectData written = WithRules();
  ProjectData read;
  read.Highlights[4] = {"\"old\"", 0x010203};  // a project read before: replaced
  ReadProjectBytes(FormatProjectText(written), read);
  ProjectData expected = written;
  expected.Highlights[7].Pattern = "\"a\"09\"b\"";
  EXPECT_EQ(read, expected);
  // A project without rules leaves none from the project before.
  ReadProjectBytes(FormatProjectText(ProjectData{}), read);
  EXPECT_EQ(read.Highlights, DefaultHighlightRules());
}

// The reader of the older program goes by each line's first letter (C, S,
// U) and passes over every other: its reading of a file with rules is its
// reading of the file without the H lines, and that is what this reader
// makes of everything but the rules.
TEST(ProjectHighlights, OlderReadersPassOverTheRules) {
  const std::string text = FormatProjectText(WithRules());
  const std::string older = WithoutLines(text, 'H');
  ASSERT_NE(older, text);
  ProjectData withRules;
  ReadProjectBytes(text, withRules);
  ProjectData withoutRules;
  ReadProjectBytes(older, withoutRules);
  withRules.Highlights = DefaultHighlightRules();
  EXPECT_EQ(withRules, withoutRules);
}

TEST(ProjectHighlights, MalformedLinesArePassedOver) {
  const std::vector<std::string> lines = {
      "H0FFFFFF\"zero\"",  // no rule 0
      "H9FFFFFF\"nine\"",  // nor 9
      "H1FFFFF",           // colour cut short
      "H2FFGGFF\"x\"",     // not hex
      "H",
  };
  for (const std::string& line : lines) {
    ProjectData read;
    ReadProjectBytes(";TAPWISE PROJECT\r\n" + line + "\r\n", read);
    EXPECT_EQ(read.Highlights, DefaultHighlightRules()) << line;
  }
  // A rule read with an empty pattern is unused, and keeps its colour.
  ProjectData read;
  ReadProjectBytes("H4C0C0C0\r\nH5\r\n", read);
  EXPECT_EQ(read.Highlights[3].Colour, 0xC0C0C0u);
  EXPECT_TRUE(read.Highlights[3].Pattern.empty());
}

}  // namespace
}  // namespace tapwise
