// The control language of the simulated desktop: whatever the line, an error
// is one line of valid UTF-8 and escaping keeps valid text as it is. What a
// line means, and how long it may be, the integration tests check.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "fuzz_check.h"
#include "sim/control_command.h"

namespace {

namespace control = velmoryn::control;

// Well-formed UTF-8 without control characters, checked code point by code
// point: a second way to the answer, beside the table the escaping uses.
bool printableUtf8(std::string_view text) {
  static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  static constexpr unsigned char kLeadBits[] = {0x7F, 0x1F, 0x0F, 0x07};
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int extra = lead < 0x80   ? 0
                      : lead < 0xC0 ? -1
                      : lead < 0xE0 ? 1
                      : lead < 0xF0 ? 2
                      : lead < 0xF8 ? 3
                                    : -1;
    if (extra < 0 || text.size() - i <= static_cast<std::size_t>(extra)) return false;
    char32_t point = lead & kLeadBits[extra];
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      point = point << 6 | (next & 0x3F);
    }
    if (point < kSmallest[extra] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF) ||
        point < 0x20 || point == 0x7F)
      return false;
    i += extra + 1;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const auto answer = control::parseCommand(line);
  if (const auto* error = std::get_if<control::ParseError>(&answer)) {
    FUZZ_CHECK(printableUtf8(error->message), "an error is one line of valid UTF-8");
  }
  FUZZ_CHECK(printableUtf8(control::printable(line)), "escaped text is valid UTF-8");
  if (printableUtf8(line)) FUZZ_CHECK(control::printable(line) == line, "valid text stays");
  return 0;
}
