#include "dock/tool_output.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace velmoryn {
namespace {

TEST(TrimToolOutput, RemovesSurroundingWhiteSpaceAndLineBreaksButKeepsInnerSpace) {
  EXPECT_EQ(trimToolOutput("left\n"), "left");
  EXPECT_EQ(trimToolOutput(" \t\r\n left \n\n"), "left");
  EXPECT_EQ(trimToolOutput("two words\n"), "two words");
  EXPECT_EQ(trimToolOutput("\n\n"), "");
  EXPECT_EQ(trimToolOutput(""), "");
}

TEST(TrimToolOutput, TrimsUnicodeSpacesAndLineSeparators) {
  // U+3000 ideographic space, U+00A0 no-break space, U+0085 next line, U+2028 line separator.
  EXPECT_EQ(trimToolOutput("\u3000\u00a0right\u0085\u2028"), "right");
  // A zero-width space is not white space.
  EXPECT_EQ(trimToolOutput("\u200bx"), "\u200bx");
}

TEST(TrimToolOutput, AnythingThatIsNotUtf8GivesTheEmptyText) {
  EXPECT_EQ(trimToolOutput("left\xff"), "");
  EXPECT_EQ(trimToolOutput("\xc3"), "");              // truncated sequence
  EXPECT_EQ(trimToolOutput("\xc0\xaf"), "");          // overlong
  EXPECT_EQ(trimToolOutput("\xed\xa0\x80"), "");      // surrogate
  EXPECT_EQ(trimToolOutput("\xf4\x90\x80\x80"), "");  // beyond U+10FFFF
  EXPECT_EQ(trimToolOutput("\xe6\x97\xa5"), "\u65e5");
}

TEST(ParseWholeNumber, AcceptsWhatStrtodReadsWithNothingLeftOver) {
  struct Case {
    const char* text;
    double value;
  };
  for (const Case& c : {Case{"1000", 1000}, Case{"0.5", 0.5}, Case{"1e3", 1000}, Case{"0x10", 16},
                        Case{"-2", -2}, Case{"+7", 7}, Case{"99.9", 99.9}}) {
    const auto parsed = parseWholeNumber(c.text);
    ASSERT_TRUE(parsed.has_value()) << c.text;
    EXPECT_EQ(*parsed, c.value) << c.text;
  }
  EXPECT_TRUE(std::isinf(*parseWholeNumber("inf")));
  EXPECT_TRUE(std::isnan(*parseWholeNumber("nan")));
}

TEST(ParseWholeNumber, RejectsEmptyLeadingSpaceAndLeftovers) {
  for (const char* text : {"", " 5", "\t5", "\n5", "5 ", "abc", "1.5x", "1000s", "."}) {
    EXPECT_FALSE(parseWholeNumber(text).has_value()) << '"' << text << '"';
  }
  EXPECT_FALSE(parseWholeNumber(std::string_view("5\0"
                                                 "0",
                                                 3))
                   .has_value());
}

TEST(FormatFloat, IsTheShortestTextThatReadsBackAndMarksIntegralValues) {
  EXPECT_EQ(formatFloat(0.5), "0.5");
  EXPECT_EQ(formatFloat(2), "2.0");
  EXPECT_EQ(formatFloat(1000), "1000.0");
  EXPECT_EQ(formatFloat(0.1), "0.1");
  EXPECT_EQ(formatFloat(-0.0), "-0.0");

  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> any(-1e6, 1e6);
  for (int i = 0; i < 1000; ++i) {
    const double value = any(random);
    EXPECT_EQ(*parseWholeNumber(formatFloat(value)), value);
  }
}

}  // namespace
}  // namespace velmoryn
