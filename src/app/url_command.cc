#include "app/url_command.h"

#include <algorithm>
#include <array>
#include <utility>

namespace velmoryn {
namespace {

constexpr std::string_view kUrlScheme = "velmoryn";

constexpr std::array<std::pair<std::string_view, UrlCommand>, 3> kHosts{{
    {"hide", UrlCommand::hide},
    {"show", UrlCommand::show},
    {"toggle", UrlCommand::toggle},
}};

char lowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringAsciiCase(std::string_view text, std::string_view lower) {
  return std::ranges::equal(text, lower, [](char a, char b) { return lowerAscii(a) == b; });
}

}  // namespace

std::optional<UrlCommand> parseUrlCommand(std::string_view url) {
  const std::size_t colon = url.find(':');
  if (colon == std::string_view::npos || !equalsIgnoringAsciiCase(url.substr(0, colon), kUrlScheme))
    return std::nullopt;
  std::string_view rest = url.substr(colon + 1);
  if (!rest.starts_with("//")) return std::nullopt;
  rest.remove_prefix(2);
  if (rest.ends_with('/')) rest.remove_suffix(1);
  for (const auto& [host, command] : kHosts) {
    if (equalsIgnoringAsciiCase(rest, host)) return command;
  }
  return std::nullopt;
}

std::string urlFor(UrlCommand command) {
  for (const auto& [host, known] : kHosts) {
    if (known == command) return std::string(kUrlScheme) + "://" + std::string(host);
  }
  return {};
}

std::string urlForLog(std::string_view url, std::size_t limit) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string shown;
  for (std::size_t i = 0; i < url.size(); ++i) {
    const auto byte = static_cast<unsigned char>(url[i]);
    std::string piece(1, static_cast<char>(byte));
    if (byte < 0x20 || byte >= 0x7f) piece = {'%', kHex[byte >> 4], kHex[byte & 0xf]};
    // An escape is kept whole or left out, never cut in two.
    if (shown.size() + piece.size() > limit) return shown + "...";
    shown += piece;
  }
  return shown;
}

}  // namespace velmoryn
