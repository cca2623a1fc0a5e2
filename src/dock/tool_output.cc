#include "dock/tool_output.h"

#include <charconv>
#include <cstdint>
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

std::string formatFloat(double value) {
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, error == std::errc() ? end : buffer);
  if (text.find_first_of(".eni") == std::string::npos) text += ".0";
  return text;
}

}  // namespace velmoryn
