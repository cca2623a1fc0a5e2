// The control language of the simulated desktop: whatever the line, an error
// is one line of valid UTF-8 and escaping keeps valid text as it is. What a
// line means, and how long it may be, the integration tests check.
#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <string>
#include <string_view>
#include <variant>

#include "fuzz_check.h"
#include "sim/control_command.h"

namespace {

namespace control = velmoryn::control;

// Well-formed UTF-8 without control characters, as the C library decodes it:
// a second way to the answer, beside the table the escaping uses. Its decoder
// takes code points beyond U+10FFFF, which are not UTF-8.
bool printableUtf8(std::string_view text) {
  static const bool utf8 = std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr;
  FUZZ_CHECK(utf8, "the C library decodes UTF-8");
  std::mbstate_t state{};
  for (std::size_t i = 0; i < text.size();) {
    wchar_t point = 0;
    const std::size_t length = std::mbrtowc(&point, text.data() + i, text.size() - i, &state);
    if (length == 0 || length > text.size() - i) return false;  // NUL, invalid or cut short
    if (point > 0x10FFFF || point < 0x20 || point == 0x7F) return false;
    i += length;
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
