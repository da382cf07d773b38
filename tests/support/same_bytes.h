// Comparing file contents in tests without printing whole files: a failure
// names the first offset where the bytes differ, with a short window of each.
#pragma once

#include <gtest/gtest.h>

#include <string_view>

namespace tarnwick::test {

// EXPECT_TRUE(SameBytes(expected, actual)): on a difference, both sizes, the
// first differing offset and the bytes around it, escaped.
testing::AssertionResult SameBytes(std::string_view expected, std::string_view actual);

}  // namespace tarnwick::test
