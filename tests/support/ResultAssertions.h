#pragma once
// GoogleTest conditions on a Result, so that a check that fails shows the
// message the user would have seen:
//   EXPECT_TRUE(Succeeded(store.Save()));
//   EXPECT_TRUE(FailedWith(map.ApplyOption("-pair:7,7"), "Bad option …"));

#include <gtest/gtest.h>

#include <string_view>

#include "core/util/Result.h"

namespace tapwise {

inline ::testing::AssertionResult Succeeded(const Result& result) {
  if (result) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "failed with code " << result.Code() << ": " << result.Message();
}

// A failure whose message is exactly `message`.
inline ::testing::AssertionResult FailedWith(const Result& result, std::string_view message) {
  if (result) return ::testing::AssertionFailure() << "succeeded; expected the failure \"" << message << "\"";
  if (result.Message() != message) {
    return ::testing::AssertionFailure() << "failed with \"" << result.Message() << "\"; expected \"" << message
                                         << "\"";
  }
  return ::testing::AssertionSuccess();
}

}  // namespace tapwise
