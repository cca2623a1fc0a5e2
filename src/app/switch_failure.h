// The log line for a switch of the Dock's autohide that did not take. Any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velmoryn {

// The AppleScript error numbers that mean the user has refused, or not yet
// given, the program control of System Events; only these send the user to
// the Automation settings, where an answer can change the outcome.
inline constexpr std::int64_t kAutomationRefused = -1743;       // errAEEventNotPermitted
inline constexpr std::int64_t kAutomationNeedsConsent = -1744;  // errAEEventWouldRequireUserConsent

// `scriptError` is the number the in-process script reported; none when there
// was no script to run at all.
std::string switchFailureLine(std::optional<std::int64_t> scriptError);

}  // namespace velmoryn
