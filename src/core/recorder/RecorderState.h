#pragma once
// What the record file is doing. One byte, shared by the window (which
// changes it), the packet fan-out (which records by it) and the playback
// thread (which plays by it).

#include <cstdint>

namespace tapwise {

enum class RecorderState : uint8_t {
  Idle = 0,
  PlayPacketData = 1,
  PlayHex = 2,
  PlayRaw = 3,
  RecordPacketData = 4,
  RecordRaw = 5,
  RecordPcapng = 6,
};

inline bool IsPlayingState(RecorderState state) {
  return state >= RecorderState::PlayPacketData && state <= RecorderState::PlayRaw;
}
inline bool IsRecordingState(RecorderState state) {
  return state == RecorderState::RecordPacketData || state == RecorderState::RecordRaw ||
         state == RecorderState::RecordPcapng;
}

}  // namespace tapwise
