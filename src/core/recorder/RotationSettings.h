#pragma once
// When a recording moves on to a new file, and how many of its files are
// kept: the value of -rotate: and of the project's record line.
//
//   SIZE[,COUNT]        a new file before a packet would take the file past
//                       SIZE bytes (K, M and G multiply by 1024 each)
//   every=TIME[,COUNT]  a new file at each multiple of TIME on the local
//                       clock (s, m, h or d; a bare number is seconds), so
//                       every=1h starts one on the hour
//
// COUNT (1 or more) is how many files of the set are kept, the one being
// written included; without it none is removed for being old.

#include <cstdint>
#include <string>

#include "core/util/Result.h"

namespace tapwise {

struct RotationSettings {
  uint64_t MaxBytes = 0;     // 0: no size limit
  int64_t EverySeconds = 0;  // 0: no time limit
  uint32_t Keep = 0;         // 0: every file is kept

  bool Rotates() const { return MaxBytes > 0 || EverySeconds > 0; }
  bool operator==(const RotationSettings&) const = default;
};

// Reads the text after "-rotate:". A failure says what is wrong with it, in
// plain text, without the option's name (the caller puts that in front).
[[nodiscard]] Result ParseRotation(const std::string& text, RotationSettings& settings);

// The text ParseRotation reads back to the same settings; "" when the
// settings do not rotate.
std::string RotationText(const RotationSettings& settings);

}  // namespace tapwise
