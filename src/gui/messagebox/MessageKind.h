#pragma once
// What a message box says about its message; it picks the icon. A value
// outside these three shows no icon.

#include <cstdint>

namespace tapwise {

enum TMessageKind : uint8_t {
  mkInformation = 0,
  mkError = 1,
  mkQuestion = 2,
};

}  // namespace tapwise
