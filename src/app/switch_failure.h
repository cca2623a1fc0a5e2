// The log line for a switch of the Dock's autohide that did not take. Any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velmoryn {

// Only a refused or undecided permission for System Events sends the user to
// the Automation settings, where an answer can change the outcome.
// `scriptError` is the number the in-process script reported; none when there
// was no script to run at all.
std::string switchFailureLine(std::optional<std::int64_t> scriptError);

}  // namespace velmoryn
