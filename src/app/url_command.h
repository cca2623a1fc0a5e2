// What a URL asks of the program, decided without side effects so that any
// input can be fuzzed. Any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmoryn {

enum class UrlCommand { hide, show, toggle };

// "velmoryn://hide", "velmoryn://show" or "velmoryn://toggle". Scheme and host
// are compared without regard to ASCII case, as URLs define them; one
// trailing "/" is allowed. Any other host, a path, a query, a fragment, a user
// or a port is refused.
std::optional<UrlCommand> parseUrlCommand(std::string_view url);

// The URL that asks for the command, as the command line hands it on.
std::string urlFor(UrlCommand command);

// The URL fit for one log line: bytes outside printable ASCII become %XX and
// the text is cut at `limit` characters, marked with "...".
inline constexpr std::size_t kLoggedUrlLength = 100;
std::string urlForLog(std::string_view url, std::size_t limit = kLoggedUrlLength);

}  // namespace velmoryn
