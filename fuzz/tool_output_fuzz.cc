// What a preference tool prints, trimmed and decoded: the result must be the
// input less its leading and trailing white space when the input is UTF-8,
// and empty otherwise. UTF-8 validity is checked here by the byte ranges of
// the well-formed sequences (Unicode, table 3-7), not by decoding, so the two
// checks cannot share a mistake.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dock/tool_output.h"
#include "fuzz_check.h"

namespace {

// Length of the well-formed sequence at `pos`, or none.
std::optional<std::size_t> wellFormedLength(std::string_view s, std::size_t pos) {
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const auto in = [&](std::size_t i, unsigned lo, unsigned hi) {
    return i < s.size() && at(i) >= lo && at(i) <= hi;
  };
  const unsigned b0 = at(pos);
  if (b0 <= 0x7F) return 1;
  if (b0 >= 0xC2 && b0 <= 0xDF)
    return in(pos + 1, 0x80, 0xBF) ? std::optional<std::size_t>(2) : std::nullopt;
  auto tail = [&](std::size_t from, std::size_t count) {
    for (std::size_t k = 0; k < count; ++k)
      if (!in(from + k, 0x80, 0xBF)) return false;
    return true;
  };
  if (b0 == 0xE0)
    return in(pos + 1, 0xA0, 0xBF) && tail(pos + 2, 1) ? std::optional<std::size_t>(3)
                                                       : std::nullopt;
  if ((b0 >= 0xE1 && b0 <= 0xEC) || b0 == 0xEE || b0 == 0xEF)
    return tail(pos + 1, 2) ? std::optional<std::size_t>(3) : std::nullopt;
  if (b0 == 0xED)
    return in(pos + 1, 0x80, 0x9F) && tail(pos + 2, 1) ? std::optional<std::size_t>(3)
                                                       : std::nullopt;
  if (b0 == 0xF0)
    return in(pos + 1, 0x90, 0xBF) && tail(pos + 2, 2) ? std::optional<std::size_t>(4)
                                                       : std::nullopt;
  if (b0 >= 0xF1 && b0 <= 0xF3)
    return tail(pos + 1, 3) ? std::optional<std::size_t>(4) : std::nullopt;
  if (b0 == 0xF4)
    return in(pos + 1, 0x80, 0x8F) && tail(pos + 2, 2) ? std::optional<std::size_t>(4)
                                                       : std::nullopt;
  return std::nullopt;
}

// The input split into its sequences, or none when it is not UTF-8.
std::optional<std::vector<std::string_view>> sequences(std::string_view s) {
  std::vector<std::string_view> out;
  for (std::size_t pos = 0; pos < s.size();) {
    auto length = wellFormedLength(s, pos);
    if (!length) return std::nullopt;
    out.push_back(s.substr(pos, *length));
    pos += *length;
  }
  return out;
}

// The platform's white-space-and-newline set, as UTF-8 texts: U+0009 to U+000D,
// U+0085 and the separators (Zs, Zl, Zp).
bool isWhiteSpace(std::string_view sequence) {
  static const std::vector<std::string> set = [] {
    std::vector<std::string> texts = {"\t", "\n", "\v", "\f", "\r", " "};
    for (const char* text : {"\u0085", "\u00A0", "\u1680", "\u2000", "\u2001", "\u2002", "\u2003",
                             "\u2004", "\u2005", "\u2006", "\u2007", "\u2008", "\u2009", "\u200A",
                             "\u2028", "\u2029", "\u202F", "\u205F", "\u3000"})
      texts.emplace_back(text);
    return texts;
  }();
  for (const auto& text : set)
    if (sequence == text) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The view covers exactly the fuzzer's buffer, so a read past it is caught.
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string result = velmoryn::trimToolOutput(input);

  const auto parts = sequences(input);
  if (!parts) {
    FUZZ_CHECK(result.empty(), "text that is not UTF-8 must give the empty text");
    return 0;
  }
  std::size_t first = 0;
  std::size_t last = parts->size();
  while (first < last && isWhiteSpace((*parts)[first])) ++first;
  while (last > first && isWhiteSpace((*parts)[last - 1])) --last;
  std::string expected;
  for (std::size_t k = first; k < last; ++k) expected += (*parts)[k];

  FUZZ_CHECK(result == expected, "the result must be the input less its outer white space");
  // The same, said as the properties the callers rely on.
  FUZZ_CHECK(sequences(result).has_value(), "the result must be UTF-8");
  FUZZ_CHECK(input.find(result) != std::string_view::npos, "the result must come from the input");
  if (!result.empty()) {
    const auto kept = *sequences(result);
    FUZZ_CHECK(!isWhiteSpace(kept.front()) && !isWhiteSpace(kept.back()),
               "the result must not begin or end with white space");
  }
  // Trimming is idempotent.
  FUZZ_CHECK(velmoryn::trimToolOutput(result) == result, "trimming twice must change nothing");
  return 0;
}
