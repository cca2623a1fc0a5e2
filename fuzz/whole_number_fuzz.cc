// The whole-text number rule, checked against independent answers: empty text,
// text that starts with white space and text with a NUL inside never parse; a
// plain decimal text that from_chars reads whole parses to the same number; and
// formatFloat gives, for every double, a text that reads back as that number, in
// the form to_chars chooses, with ".0" after an integral value.
#include <algorithm>
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
  // This build has the floating-point to_chars that the Mac's minimum system lacks.
  char reference[64];
  const std::string_view shortest(reference, std::to_chars(reference, reference + 64, value).ptr);
  const auto exponent = [](std::string_view t) {
    return t.substr(std::min(t.find('e'), t.size()));
  };
  FUZZ_CHECK(exponent(text) == exponent(shortest),
             "formatFloat must write an exponent where to_chars does, and the same one");
  if (shortest.find_first_not_of("-0123456789") == std::string_view::npos)
    FUZZ_CHECK(text == std::string(shortest) + ".0", "an integral value must end in \".0\"");
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
