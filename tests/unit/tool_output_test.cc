// Round trips over every double are the whole-number fuzzer's; these are the
// forms a person can check by eye.
#include "dock/tool_output.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace velmoryn {
namespace {

TEST(TrimToolOutput, RemovesUnicodeWhiteSpaceAroundTheTextAndGivesNothingForNonUtf8) {
  struct Row {
    std::string bytes, text;
  };
  for (const Row& row :
       {Row{"left\n", "left"}, Row{" \t\r\n two words \n\n", "two words"}, Row{"\n\n", ""},
        // U+3000, U+00A0, U+0085, U+2028 are white space; U+200B is not.
        Row{"\u3000\u00a0right\u0085\u2028", "right"}, Row{"\u200bx", "\u200bx"},
        Row{"\xe6\x97\xa5", "\u65e5"}, Row{"left\xff", ""}, Row{"\xc3", ""}, Row{"\xc0\xaf", ""},
        Row{"\xed\xa0\x80", ""}, Row{"\xf4\x90\x80\x80", ""}}) {
    EXPECT_EQ(trimToolOutput(row.bytes), row.text) << row.bytes;
  }
}

TEST(ParseWholeNumber, AcceptsWhatStrtodReadsWithNothingLeftOver) {
  for (const auto& [text, value] : std::vector<std::pair<std::string, double>>{
           {"1000", 1000}, {"0.5", 0.5}, {"1e3", 1000}, {"0x10", 16}, {"-2", -2}, {"+7", 7}}) {
    EXPECT_EQ(parseWholeNumber(text), value) << text;
  }
  EXPECT_TRUE(std::isnan(*parseWholeNumber("nan")));
  for (const std::string& text :
       std::vector<std::string>{"", " 5", "\t5", "\n5", "5 ", "1.5x", "1000s", ".",
                                std::string("5\0"
                                            "0",
                                            3)}) {
    EXPECT_FALSE(parseWholeNumber(text).has_value()) << '"' << text << '"';
  }
}

TEST(FormatFloat, IsTheShortestTextThatReadsBackWithIntegralValuesMarked) {
  for (const auto& [value, text] :
       std::vector<std::pair<double, std::string>>{{1000, "1000.0"},
                                                   {0.5, "0.5"},
                                                   {2, "2.0"},
                                                   {-0.0, "-0.0"},
                                                   {0.001, "0.001"},
                                                   {123456, "123456.0"},
                                                   {99.9, "99.9"},
                                                   {1e-05, "1e-05"},
                                                   {0.0001, "1e-04"},
                                                   {-2.5e-07, "-2.5e-07"},
                                                   {1e22, "1e+22"},
                                                   {1.5e300, "1.5e+300"},
                                                   {0x1p60, "1152921504606846976.0"},
                                                   {5e-324, "5e-324"}}) {
    EXPECT_EQ(formatFloat(value), text) << text;
  }
}

}  // namespace
}  // namespace velmoryn
