#pragma once
// COM numbers: the one name of a port everywhere, 1..MaxComPorts, whatever
// device stands behind it.

#include <cstdint>
#include <string>

namespace tapwise {

constexpr int MaxComPorts = 128;
static_assert(MaxComPorts < UINT8_MAX, "a COM number and the end of their range fit a byte");

// Every COM number in ascending order, present or not, for the loops that
// must visit each slot (probing, settings, reports): for (uint8_t n : AllComNumbers()).
// A plain counting range rather than std::views::iota: clang 14 (the fuzz
// build) cannot compile libstdc++ 12's iota_view.
struct ComNumberRange {
    struct Iterator {
        uint8_t n;
        constexpr uint8_t operator*() const { return n; }
        constexpr Iterator& operator++() { ++n; return *this; }
        constexpr bool operator!=(const Iterator& other) const { return n != other.n; }
        constexpr bool operator==(const Iterator& other) const { return n == other.n; }
    };
    constexpr Iterator begin() const { return {1}; }
    constexpr Iterator end() const { return {static_cast<uint8_t>(MaxComPorts + 1)}; }
};
constexpr ComNumberRange AllComNumbers() { return {}; }

// "COM" and the number, as tabs, messages and recordings name the port.
std::string ComName(int n);

}  // namespace tapwise
