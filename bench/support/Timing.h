#pragma once
// Wall-clock time as the benchmarks measure it: a steady clock, in seconds
// or milliseconds as doubles, since that is how every figure is printed.

#include <chrono>
#include <thread>

namespace tapwise::bench {

using BenchClock = std::chrono::steady_clock;

inline double Seconds(BenchClock::duration d) { return std::chrono::duration<double>(d).count(); }
inline double Milliseconds(BenchClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }
inline double SecondsSince(BenchClock::time_point start) { return Seconds(BenchClock::now() - start); }
inline void SleepSeconds(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

}  // namespace tapwise::bench
