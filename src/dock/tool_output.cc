#include "dock/tool_output.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace velmoryn {
namespace {

// Decodes one UTF-8 sequence at `pos`; false for anything malformed, overlong,
// a surrogate or beyond U+10FFFF.
bool decodeOne(std::string_view bytes, std::size_t& pos, char32_t& out) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(pos);
  std::size_t length = 0;
  char32_t min = 0;
  if (lead < 0x80) {
    out = lead;
    pos += 1;
    return true;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, out = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, out = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, out = lead & 0x07, min = 0x10000;
  } else {
    return false;
  }
  if (pos + length > bytes.size()) return false;
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char next = byte(pos + i);
    if ((next & 0xC0) != 0x80) return false;
    out = (out << 6) | (next & 0x3F);
  }
  if (out < min || out > 0x10FFFF || (out >= 0xD800 && out <= 0xDFFF)) return false;
  pos += length;
  return true;
}

// Unicode white space and line breaks: the Z categories, U+0009 to U+000D and U+0085.
bool isWhiteSpaceOrNewline(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

}  // namespace

std::string trimToolOutput(std::string_view bytes) {
  std::size_t first = std::string_view::npos;  // start of the first kept character
  std::size_t end = 0;                         // end of the last kept character
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const std::size_t start = pos;
    char32_t c = 0;
    if (!decodeOne(bytes, pos, c)) return {};
    if (!isWhiteSpaceOrNewline(c)) {
      if (first == std::string_view::npos) first = start;
      end = pos;
    }
  }
  if (first == std::string_view::npos) return {};
  return std::string(bytes.substr(first, end - first));
}

std::optional<double> parseWholeNumber(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const unsigned char lead = static_cast<unsigned char>(text.front());
  if (lead == ' ' || (lead >= '\t' && lead <= '\r')) return std::nullopt;
  // strtod needs a terminated string; a NUL inside the text leaves something over.
  const std::string copy(text);
  char* end = nullptr;
  const double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || end == copy.c_str()) return std::nullopt;
  return value;
}

namespace {

// The text std::to_chars(value) gives, built with printf and strtod: Apple's
// libc++ offers floating-point to_chars only from macOS 13.3 on. Both assume
// the "C" locale, which the program never changes.
std::string shortestRoundTrip(double value) {
  if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";

  // The fewest significant digits that read back as the same number.
  char scientific[32];
  for (int precision = 0; precision < 17; ++precision) {
    std::snprintf(scientific, sizeof scientific, "%.*e", precision, value);
    if (std::strtod(scientific, nullptr) == value) break;
  }
  const std::string_view text(scientific);
  const std::size_t e = text.find('e');
  const bool negative = text.front() == '-';
  std::string digits;
  for (char c : text.substr(negative ? 1 : 0, e - (negative ? 1 : 0))) {
    if (c != '.') digits += c;
  }
  const int exponent = std::atoi(scientific + e + 1);
  const int count = static_cast<int>(digits.size());

  // The same digits without an exponent; to_chars takes it unless it is longer.
  std::string fixed = negative ? "-" : "";
  if (exponent < 0) {
    fixed += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  } else if (exponent + 1 >= count) {
    fixed += digits + std::string(static_cast<std::size_t>(exponent + 1 - count), '0');
  } else {
    fixed += digits.substr(0, static_cast<std::size_t>(exponent) + 1) + "." +
             digits.substr(static_cast<std::size_t>(exponent) + 1);
  }
  if (fixed.size() > text.size()) return std::string(text);
  // Whole numbers past 2^53 print their exact value, as %.0f does.
  if (std::fabs(value) >= 0x1p53) {
    char exact[32];
    std::snprintf(exact, sizeof exact, "%.0f", value);
    return exact;
  }
  return fixed;
}

}  // namespace

std::string formatFloat(double value) {
  std::string text = shortestRoundTrip(value);
  if (text.find_first_of(".eni") == std::string::npos) text += ".0";
  return text;
}

}  // namespace velmoryn
