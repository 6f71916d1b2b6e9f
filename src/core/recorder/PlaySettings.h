#pragma once
// How files are played back: one packet per release of Pause, or
// continuously with a gap; whether the file starts again at its end; and
// where a raw file's packets end. Kept in the project file and edited in the
// Options window.

#include <cstdint>

namespace tapwise {

struct PlaySettings {
  uint8_t OneShot = 1;           // 1: one packet per release of Pause
  uint8_t PlayGap = 10;          // 0..100, in units of 100 ms
  uint8_t Repeat = 0;            // 1: start again at the end of the file
  uint8_t TerminatorChar = 0;    // raw files: the byte that ends a packet...
  uint16_t TerminatorCount = 1;  // ...when it comes this many times in a row
  bool operator==(const PlaySettings&) const = default;
};

}  // namespace tapwise
