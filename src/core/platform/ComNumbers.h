#pragma once
// COM numbers: the one name of a port everywhere, 1..MaxComPorts, whatever
// device stands behind it.

#include <cstdint>
#include <ranges>
#include <string>

namespace tapwise {

constexpr int MaxComPorts = 128;
static_assert(MaxComPorts < UINT8_MAX, "a COM number and the end of their range fit a byte");

// Every COM number in ascending order, present or not, for the loops that
// must visit each slot (probing, settings, reports): for (uint8_t n : AllComNumbers()).
constexpr auto AllComNumbers() { return std::views::iota(uint8_t{1}, static_cast<uint8_t>(MaxComPorts + 1)); }

// "COM" and the number, as tabs, messages and recordings name the port.
std::string ComName(int n);

}  // namespace tapwise
