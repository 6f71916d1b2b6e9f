#include "core/recorder/RecordFormats.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/recorder/Recorder.h"

namespace tapwise {
namespace {

// The settings keep the filter index a file was last chosen with: each
// dialog's entries keep their places, and their labels what users saw.
TEST(RecordFormats, TheDialogsOfferTheFormatsWhereTheStoredRecordTypeExpectsThem) {
  EXPECT_EQ(DialogFilter(true),
            "Packet Data File  (*.DAT)|*.dat|Raw Data File  (*.*)|*.*|pcapng Files (*.pcapng)|*.pcapng");
  EXPECT_EQ(DialogFilter(false),
            "Packet Data File  (*.DAT)|*.dat|Hex Data File  (*.*)|*.*|Raw Data File  (*.*)|*.*");
  struct Case {
    bool record;
    int index;
    RecorderState state;
  };
  const Case cases[] = {
      {true, 1, RecorderState::RecordPacketData}, {true, 2, RecorderState::RecordRaw},
      {true, 3, RecorderState::RecordPcapng},     {true, 0, RecorderState::RecordRaw},
      {true, 9, RecorderState::RecordRaw},        {false, 1, RecorderState::PlayPacketData},
      {false, 2, RecorderState::PlayHex},         {false, 3, RecorderState::PlayRaw},
      {false, 0, RecorderState::PlayRaw},         {false, -1, RecorderState::PlayRaw},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.record) + " " + std::to_string(c.index));
    EXPECT_EQ(DialogRecordFormat(c.record, c.index).State, c.state);
    EXPECT_EQ(c.record ? Recorder::RecordingStateFor(c.index) : Recorder::PlayingStateFor(c.index), c.state);
  }
}

TEST(RecordFormats, EveryStateHasOneRowWithItsOwnOptionAndFilterIndex) {
  std::set<std::string> options;
  for (const RecordFormat& format : RecordFormats()) {
    SCOPED_TRACE(format.Option);
    EXPECT_TRUE(IsRecordingState(format.State) || IsPlayingState(format.State));
    EXPECT_EQ(FindRecordFormat(format.State), &format);
    const bool record = IsRecordingState(format.State);
    EXPECT_EQ(&DialogRecordFormat(record, DialogFilterIndex(format.State)), &format);
    const std::string option = format.Option;
    EXPECT_EQ(option.front(), '-');
    EXPECT_EQ(option.back(), ':');
    EXPECT_TRUE(options.insert(option).second);
    EXPECT_FALSE(std::string(format.Usage).empty());
  }
  EXPECT_EQ(FindRecordFormat(RecorderState::Idle), nullptr);
  EXPECT_EQ(DialogFilterIndex(RecorderState::Idle), 0);
  for (uint8_t value = 1; value <= static_cast<uint8_t>(RecorderState::RecordPcapng); ++value) {
    EXPECT_NE(FindRecordFormat(static_cast<RecorderState>(value)), nullptr) << int{value};
  }
}

}  // namespace
}  // namespace tapwise
