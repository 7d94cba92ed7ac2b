// What a piece of code writes to standard error while it runs.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace trackertest {

template <typename F>
std::string StderrOf(F&& f) {
  testing::internal::CaptureStderr();
  f();
  return testing::internal::GetCapturedStderr();
}

}  // namespace trackertest
