// The whole-text number rule, checked against independent answers: empty text,
// text that starts with white space and text with a NUL inside never parse; a
// plain decimal text that from_chars reads whole parses to the same number; and
// formatFloat gives, for every double, a text that reads back as that number.
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "dock/tool_output.h"
#include "fuzz_check.h"

namespace {

bool sameNumber(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) ||
         std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

void checkRoundTrip(double value) {
  const std::string text = velmoryn::formatFloat(value);
  FUZZ_CHECK(!text.empty(), "every double must have a text");
  const auto back = velmoryn::parseWholeNumber(text);
  FUZZ_CHECK(back.has_value(), "formatFloat must give a text that parses");
  FUZZ_CHECK(sameNumber(*back, value), "formatFloat must read back as the same number");
  // The decimal point rule: an integral value keeps one decimal place.
  if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15)
    FUZZ_CHECK(text.find('.') != std::string::npos || text.find('e') != std::string::npos,
               "an integral value must carry a decimal place");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The view covers exactly the fuzzer's buffer: a read past the text is caught.
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto parsed = velmoryn::parseWholeNumber(text);
  if (parsed) {
    FUZZ_CHECK(!text.empty() && !std::isspace(static_cast<unsigned char>(text.front())),
               "empty text and text that starts with white space must not parse");
    FUZZ_CHECK(text.find('\0') == std::string_view::npos, "a text with a NUL must not parse");
  }

  // Plain decimal text, which from_chars reads too.
  double plain = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), plain);
  if (error == std::errc() && end == text.data() + text.size() && !text.empty() &&
      text.find_first_of("xXpP") == std::string_view::npos) {
    FUZZ_CHECK(parsed.has_value(), "a decimal text that from_chars reads whole must parse");
    FUZZ_CHECK(sameNumber(*parsed, plain), "parseWholeNumber must agree with from_chars");
  }

  // Every 8 bytes read as a double must survive formatting and parsing.
  if (size >= sizeof(double)) {
    double value = 0;
    std::memcpy(&value, data, sizeof value);
    checkRoundTrip(value);
  }
  if (parsed) checkRoundTrip(*parsed);
  return 0;
}
