// The one AppleScript line that switches the Dock's autohide: the core sends
// it, and the simulated desktop carries it out, so both read it from here.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmoryn {

// Followed directly by "true" or "false".
inline constexpr std::string_view kAutohideScriptLine =
    "tell application \"System Events\" to tell dock preferences to set autohide to ";

inline std::string autohideScript(bool on) {
  return std::string(kAutohideScriptLine) + (on ? "true" : "false");
}

// The autohide the script asks for; nothing when it is any other script.
inline std::optional<bool> autohideOfScript(std::string_view script) {
  if (script == autohideScript(true)) return true;
  if (script == autohideScript(false)) return false;
  return std::nullopt;
}

}  // namespace velmoryn
