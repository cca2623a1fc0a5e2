// The control language of the simulated desktop: any line, however broken,
// gives one command or one error, an error is one line of valid UTF-8, and
// what a command carries has already passed the checks that need no state.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
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

bool finite(const velmoryn::Rect& r) {
  return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) &&
         std::isfinite(r.height);
}

void checkFrames(const velmoryn::Rect& frame, const std::optional<velmoryn::Rect>& visible) {
  FUZZ_CHECK(finite(frame) && frame.width > 0 && frame.height > 0, "a frame must have room");
  if (visible)
    FUZZ_CHECK(finite(*visible) && visible->width > 0 && visible->height > 0,
               "a visible frame must have room");
}

void checkCommand(const control::Command& command) {
  std::visit(
      [](const auto& c) {
        using T = std::decay_t<decltype(c)>;
        if constexpr (std::is_same_v<T, control::AddScreen>) {
          checkFrames(c.frame, c.visibleFrame);
        } else if constexpr (std::is_same_v<T, control::SetScreen>) {
          FUZZ_CHECK(c.index >= 1, "screen numbers start at 1");
          checkFrames(c.frame, c.visibleFrame);
        } else if constexpr (std::is_same_v<T, control::RemoveScreen>) {
          FUZZ_CHECK(c.index >= 1, "screen numbers start at 1");
        } else if constexpr (std::is_same_v<T, control::SetDockEdge>) {
          if (c.reserved)
            FUZZ_CHECK(std::isfinite(*c.reserved) && *c.reserved >= 0, "reserved room is >= 0");
        } else if constexpr (std::is_same_v<T, control::Pointer>) {
          if (c.to) FUZZ_CHECK(std::isfinite(c.to->x) && std::isfinite(c.to->y), "finite pointer");
        } else if constexpr (std::is_same_v<T, control::Scroll>) {
          FUZZ_CHECK(
              std::isfinite(c.event.scrollingDeltaY) && std::isfinite(c.event.scrollingDeltaX),
              "finite scroll deltas");
        } else if constexpr (std::is_same_v<T, control::Choose>) {
          FUZZ_CHECK(c.item >= 1, "menu items start at 1");
        } else if constexpr (std::is_same_v<T, control::Wait>) {
          FUZZ_CHECK(c.seconds >= 0 && c.seconds <= control::kLongestWait, "a wait within bounds");
        } else if constexpr (std::is_same_v<T, control::RenderIcon>) {
          FUZZ_CHECK(!c.file.empty(), "an icon needs a file name");
          FUZZ_CHECK(c.scale > 0 && c.scale <= control::kLargestIconScale, "a scale within bounds");
        }
      },
      command);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const auto answer = control::parseCommand(line);
  FUZZ_CHECK(answer.index() == 0 || answer.index() == 1, "a command or an error");
  if (const auto* error = std::get_if<control::ParseError>(&answer)) {
    FUZZ_CHECK(!error->message.empty(), "an error must say something");
    FUZZ_CHECK(printableUtf8(error->message), "an error is one line of valid UTF-8");
  } else {
    FUZZ_CHECK(line.size() <= control::kLongestLine, "an overlong line must be refused");
    checkCommand(std::get<control::Command>(answer));
  }
  FUZZ_CHECK(printableUtf8(control::printable(line)), "escaped text is valid UTF-8");
  if (printableUtf8(line)) FUZZ_CHECK(control::printable(line) == line, "valid text stays");
  FUZZ_CHECK(control::parseCommand(line) == answer,
             "parsing must not depend on anything but the line");
  return 0;
}
