#pragma once
// Runs a test body under a time zone given as a POSIX rule (which needs no
// zone files), and puts the old one back.

#include <gtest/gtest.h>

#include <time.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "core/util/Clock.h"

namespace tapwise {

class InTimeZone : public ::testing::Test {
 protected:
  static constexpr int64_t Second = 1'000'000;

  void Use(const char* rule) {
    setenv("TZ", rule, 1);
    tzset();
  }
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) m_saved = tz;
  }
  void TearDown() override {
    if (m_saved) {
      setenv("TZ", m_saved->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

  // What Now() records for an instant: the local time.
  static DateTime LocalAt(int64_t unixUs) {
    const time_t seconds = static_cast<time_t>(unixUs / Second);
    tm local{};
    localtime_r(&seconds, &local);
    return DateTimeFromMicroseconds(unixUs + local.tm_gmtoff * Second);
  }

 private:
  std::optional<std::string> m_saved;
};

}  // namespace tapwise
