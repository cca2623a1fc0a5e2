// The URL parser and the log line against independent answers: the three
// actions' own URLs parse, each to its own action, and nothing else does; the
// log text is printable ASCII, bounded, and the URL itself when that is short
// and printable (its escapes and its cut are rows of app_delegate_test.cc).
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/url_command.h"
#include "fuzz_check.h"

namespace {

std::string lower(std::string_view text) {
  std::string out(text);
  std::ranges::transform(out, out.begin(),
                         [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using velmoryn::UrlCommand;
  // The view covers exactly the fuzzer's buffer: a read past the text is caught.
  const std::string_view url(reinterpret_cast<const char*>(data), size);

  std::string canonical = lower(url);
  if (canonical.ends_with('/')) canonical.pop_back();
  const auto parsed = velmoryn::parseUrlCommand(url);
  for (const UrlCommand command : {UrlCommand::hide, UrlCommand::show, UrlCommand::toggle}) {
    FUZZ_CHECK(
        (parsed == command) == (canonical == velmoryn::urlFor(command)),
        "exactly an action's own URL, in any case and with one trailing slash, parses to it");
  }

  const std::string shown = velmoryn::urlForLog(url);
  FUZZ_CHECK(shown.size() <= velmoryn::kLoggedUrlLength + 3, "the log text must stay short");
  FUZZ_CHECK(std::ranges::all_of(shown, [](char c) { return c >= 0x20 && c < 0x7f; }),
             "the log text must be one line of printable ASCII");
  const bool printable = std::ranges::all_of(url, [](char c) { return c >= 0x20 && c < 0x7f; });
  if (printable && url.size() <= velmoryn::kLoggedUrlLength)
    FUZZ_CHECK(shown == url, "a short printable URL must be logged as it is");

  return 0;
}
