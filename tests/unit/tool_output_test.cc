// What the preference tools print, read and written back as the Dock's reads and writes need it.
#include "dock/tool_output.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace velmoryn {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// UTF-8 less its outer white space and line breaks (the Unicode set); nothing when not UTF-8.
TEST(ToolOutput, TrimsUnicodeWhiteSpaceAroundUtf8AndGivesNothingForOtherBytes) {
  const struct {
    const char* name;
    std::string_view bytes;
    std::string trimmed;
  } rows[] = {
      {.name = "blanks around, inner ones kept",
       .bytes = " \t\v\fnot a number \r\n",
       .trimmed = "not a number"},
      {.name = "ideographic space, line separator, NEL",
       .bytes = "\u3000right\u2028\u0085",
       .trimmed = "right"},
      {.name = "the ends of the En Quad to Hair Space run",
       .bytes = "\u2000x\u200A",
       .trimmed = "x"},
      {.name = "no-break spaces alone", .bytes = "\u00A0\u202F", .trimmed = ""},
      {.name = "zero width space and control characters are kept",
       .bytes = "\u200B\x1Cx\x08",
       .trimmed = "\u200B\x1Cx\x08"},
      {.name = "the first and last character of each length",
       .bytes = "\u0080\u07FF\u0800\U00010000\U0010FFFF",
       .trimmed = "\u0080\u07FF\u0800\U00010000\U0010FFFF"},
      {.name = "Latin-1", .bytes = "caf\xE9\n", .trimmed = ""},
      {.name = "the first surrogate", .bytes = "\xED\xA0\x80x", .trimmed = ""},
      {.name = "the last surrogate", .bytes = "\xED\xBF\xBFx", .trimmed = ""},
      {.name = "overlong in two bytes", .bytes = "\xC0\xAF", .trimmed = ""},
      {.name = "overlong in three bytes", .bytes = "\xE0\x80\xAF", .trimmed = ""},
      {.name = "overlong in four bytes", .bytes = "\xF0\x8F\xBF\xBF", .trimmed = ""},
      {.name = "beyond U+10FFFF", .bytes = "\xF4\x90\x80\x80", .trimmed = ""},
      {.name = "a continuation byte without a lead", .bytes = "\x80ok", .trimmed = ""},
      {.name = "a lead followed by another lead", .bytes = "\xC3\xC3ok", .trimmed = ""},
  };
  for (const auto& row : rows) EXPECT_EQ(trimToolOutput(row.bytes), row.trimmed) << row.name;
}

// As strtod reads the whole text in the POSIX locale, with nothing left over and no leading blank.
TEST(ToolOutput, ParsesAWholeNumberOnlyFromTheWholeText) {
  const struct {
    const char* name;
    std::string_view text;
    std::optional<double> number;
  } rows[] = {
      {.name = "a fraction", .text = "99.9", .number = 99.9},
      {.name = "nothing", .text = "", .number = std::nullopt},
      {.name = "a leading blank", .text = " 100", .number = std::nullopt},
      {.name = "a leading tab", .text = "\t5", .number = std::nullopt},
      {.name = "a leading carriage return", .text = "\r5", .number = std::nullopt},
      {.name = "a NUL inside", .text = std::string_view("5\0", 2), .number = std::nullopt},
      {.name = "a unit", .text = "1000 s", .number = std::nullopt},
  };
  for (const auto& row : rows) EXPECT_EQ(parseWholeNumber(row.text), row.number) << row.name;
}

// The shortest text that reads back; an exponent only where it is shorter, ".0" after a whole one.
TEST(ToolOutput, FormatsTheShortestTextThatReadsBackAsTheSameNumber) {
  const struct {
    double number;
    std::string text;
  } rows[] = {
      {.number = -0.0, .text = "-0.0"},
      {.number = 0.1 + 0.2, .text = "0.30000000000000004"},
      {.number = 0.001, .text = "0.001"},  // as long as 1e-03: without an exponent
      {.number = 1.5, .text = "1.5"},
      {.number = 1e-4, .text = "1e-04"},
      {.number = 120000, .text = "120000.0"},
      {.number = 1e16, .text = "1e+16"},
      // Past 2^53 the exact value, as printf's %.0f.
      {.number = 0x1p60, .text = "1152921504606846976.0"},
      {.number = -kInfinity, .text = "-inf"},
      {.number = kNaN, .text = "nan"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(formatFloat(row.number), row.text) << row.text;
    if (!std::isnan(row.number)) {
      EXPECT_EQ(parseWholeNumber(row.text), row.number) << row.text;
    }
  }
}

}  // namespace
}  // namespace velmoryn
