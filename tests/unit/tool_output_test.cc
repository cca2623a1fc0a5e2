// Trimming, parsing and round trips are the fuzzers' (fuzz/); the delay rules
// read numbers in the Dock's tests. Here: the exact forms a person can check.
#include "dock/tool_output.h"

#include <gtest/gtest.h>

#include <string>

namespace velmoryn {
namespace {

// Each text is the shortest that reads back; an exponent only where it is shorter.
TEST(FormatFloat, WritesBackEveryShortestTextAsItWas) {
  for (const char* text : {"2.0", "-0.0", "0.001", "1e-05", "1e-04", "-2.5e-07", "1e+22",
                           "1.5e+300", "5e-324", "1152921504606846976.0"}) {
    EXPECT_EQ(formatFloat(*parseWholeNumber(text)), text);
  }
}

}  // namespace
}  // namespace velmoryn
