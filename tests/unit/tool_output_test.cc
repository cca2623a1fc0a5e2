#include "dock/tool_output.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <random>
#include <string>

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
  struct Case {
    double value;
    const char* text;
  };
  for (const Case& c :
       {Case{1000, "1000.0"}, Case{0.5, "0.5"}, Case{1e-05, "1e-05"}, Case{2, "2.0"},
        Case{0.1, "0.1"}, Case{-0.0, "-0.0"}, Case{0.0001, "1e-04"}, Case{0.001, "0.001"},
        Case{123456, "123456.0"}, Case{1e22, "1e+22"}, Case{99.9, "99.9"}, Case{0.25, "0.25"},
        Case{1.5e300, "1.5e+300"}, Case{0x1p60, "1152921504606846976.0"}}) {
    EXPECT_EQ(formatFloat(c.value), c.text) << c.text;
  }

  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> any(-1e6, 1e6);
  for (int i = 0; i < 2000; ++i) {
    // Ordinary values and arbitrary bit patterns, subnormals and huge ones included.
    const double value = i % 2 ? any(random) : std::bit_cast<double>(random());
    if (std::isnan(value)) continue;
    const std::string text = formatFloat(value);
    EXPECT_EQ(*parseWholeNumber(text), value) << text;
#if defined(__cpp_lib_to_chars)  // the library's own shortest form, where it has one
    char expected[64];
    const auto end = std::to_chars(expected, expected + sizeof expected, value).ptr;
    EXPECT_EQ(text.substr(0, static_cast<std::size_t>(end - expected)),
              std::string_view(expected, end))
        << text;
#endif
  }
}

}  // namespace
}  // namespace velmoryn
