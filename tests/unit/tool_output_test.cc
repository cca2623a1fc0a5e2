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
      {"blanks around, inner ones kept", " \t\v\fnot a number \r\n", "not a number"},
      {"ideographic space, line separator, NEL", "\u3000right\u2028\u0085", "right"},
      {"the ends of the En Quad to Hair Space run", "\u2000x\u200A", "x"},
      {"no-break spaces alone", "\u00A0\u202F", ""},
      {"zero width space and control characters are kept", "\u200B\x1Cx\x08", "\u200B\x1Cx\x08"},
      {"the first and last character of each length", "\u0080\u07FF\u0800\U00010000\U0010FFFF",
       "\u0080\u07FF\u0800\U00010000\U0010FFFF"},
      {"Latin-1", "caf\xE9\n", ""},
      {"a surrogate", "\xED\xA0\x80x", ""},
      {"overlong in two bytes", "\xC0\xAF", ""},
      {"overlong in three bytes", "\xE0\x80\xAF", ""},
      {"overlong in four bytes", "\xF0\x8F\xBF\xBF", ""},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", ""},
      {"a continuation byte without a lead", "\x80ok", ""},
      {"a lead without its continuation", "\xC3(ok", ""},
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
      {"a fraction", "99.9", 99.9},
      {"nothing", "", std::nullopt},
      {"a leading blank", " 100", std::nullopt},
      {"a leading newline", "\n5", std::nullopt},
      {"a NUL inside", std::string_view("5\0", 2), std::nullopt},
      {"a unit", "1000 s", std::nullopt},
  };
  for (const auto& row : rows) EXPECT_EQ(parseWholeNumber(row.text), row.number) << row.name;
}

// The shortest text that reads back; an exponent only where it is shorter, ".0" after a whole one.
TEST(ToolOutput, FormatsTheShortestTextThatReadsBackAsTheSameNumber) {
  const struct {
    double number;
    std::string text;
  } rows[] = {
      {-0.0, "-0.0"},
      {0.1 + 0.2, "0.30000000000000004"},
      {0.001, "0.001"},  // as long as 1e-03: without an exponent
      {1e-4, "1e-04"},
      {123456, "123456.0"},
      {1e16, "1e+16"},
      {0x1p60, "1152921504606846976.0"},  // past 2^53 the exact value, as printf's %.0f
      {-kInfinity, "-inf"},
      {kNaN, "nan"},
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
