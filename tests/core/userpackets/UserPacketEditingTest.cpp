// What the user packets window relies on without being a window: keys and
// their labels, trimming and pasting, moving rows, and turning the messages
// into plain text for the headless program.

#include "core/userpackets/UserPacketEditing.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "core/userpackets/UserPacketKeys.h"
#include "core/userpackets/UserPacketTable.h"
#include "core/util/MarkupText.h"
#include "core/util/UserMessages.h"

namespace tapwise {
namespace {

TEST(UserPacketKeys, MapFunctionKeysToRowsAndLabels) {
  for (auto [fkey, ctrl, shift, alt, row] : std::vector<std::tuple<int, bool, bool, bool, int>>{
           {5, false, false, false, 5}, {5, true, false, false, 17}, {5, false, true, false, 29},
           {5, true, true, false, 41}, {5, false, false, true, 0}, {5, true, true, true, 0},
           {1, false, false, false, 1}, {12, true, true, false, 48}, {13, false, false, false, 0},
           {0, false, false, false, 0}}) {
    EXPECT_EQ(FunctionKeyRow(fkey, ctrl, shift, alt), row) << "F" << fkey << " " << ctrl << shift << alt;
  }
  for (auto [row, label] : std::vector<std::pair<int, const char*>>{
           {1, "F1"}, {12, "F12"}, {13, "^F1"}, {24, "^F12"}, {29, "Sh F5"}, {37, "^Sh F1"},
           {48, "^Sh F12"}, {49, ""}, {60, ""}, {0, ""}}) {
    EXPECT_EQ(KeyLabel(row), label) << row;
  }
}

TEST(UserPacketEditing, TrimsAndPastes) {
  EXPECT_EQ(TrimPacketText(std::string(" \x01\t01 02\r\n\0", 11)), "01 02");
  EXPECT_EQ(CleanPastedText("  01 02\r\n"), "01 02");
  EXPECT_EQ(CleanPastedText("01\r\n02\t03"), "01  02 03");
  for (auto [clipboard, cell] : std::vector<std::pair<const char*, const char*>>{
           {"48 65 6C 6C 6F 0D 0A", "\"Hello\" 0D 0A "},
           {"41 42 43", "\"ABC\""},
           {"01 41", "01 \"A\""},
           {"41 01", "\"A\" 01 "},
           {"41 4", "\"A\" 04 "},
           {"A", "0A "},
           {"41 XY", "41 XY"},
           {"1FF,20", "FF \" \""},
           {"41 22 27 42", "\"A\" 22 27 \"B\""},  // quotes in hex, or they would end the run
           {"", ""}}) {
    EXPECT_EQ(HexListToPacketText(clipboard), cell) << clipboard;
  }
}

TEST(UserPacketTable, MovesRowsLikeTheGridDoes) {
  UserPacketTable table;
  for (int row = 1; row <= 5; ++row) table.SetPacketText(row, std::to_string(row));
  table.MoveRow(1, 3);
  EXPECT_EQ(table.PacketText(1) + table.PacketText(2) + table.PacketText(3) + table.PacketText(4), "2314");
  table.MoveRow(4, 1);
  EXPECT_EQ(table.PacketText(1) + table.PacketText(2) + table.PacketText(3) + table.PacketText(4), "4231");
  table.MoveRow(0, 2);
  table.MoveRow(2, 61);
  table.SetTriggerText(61, "x");
  EXPECT_EQ(table.PacketText(1) + table.PacketText(2) + table.PacketText(3) + table.PacketText(4), "4231");
  EXPECT_EQ(table.TriggerText(61), "");
}

TEST(UserMessages, PlainTextDropsEscapes) {
  for (auto [markup, plain] : std::vector<std::pair<const char*, const char*>>{
           {"\\bError in User Packet", "Error in User Packet"},
           {"\\b\\1Configuration has changed\\nSave Changes?", "Configuration has changed\nSave Changes?"},
           {"a\\tb\\Tc\\Nd", "a\tb\tc\nd"},
           {"\\\\x\\", "x"},
           {"\\|big\\]\\[\\d", "big"}}) {
    EXPECT_EQ(MarkupToPlainText(markup), plain) << markup;
  }
}

TEST(UserMessages, KeepsOrderAndBoundsTheQueue) {
  UserMessages messages;
  for (size_t i = 0; i < UserMessages::Capacity + 7; ++i) messages.Post("m" + std::to_string(i));
  std::vector<std::string> taken = messages.TakeAll();
  ASSERT_EQ(taken.size(), UserMessages::Capacity + 1);
  EXPECT_EQ(taken.front(), "m0");
  EXPECT_EQ(taken[UserMessages::Capacity - 1], "m" + std::to_string(UserMessages::Capacity - 1));
  EXPECT_NE(taken.back().find("7 more messages"), std::string::npos) << taken.back();
  EXPECT_TRUE(messages.Empty());
  EXPECT_TRUE(messages.TakeAll().empty());
}

}  // namespace
}  // namespace tapwise
