// The system's tools that change the Dock, the preference domain they work
// on, and the one time limit for every run of them: the core runs them, the
// simulation stands in for them, and the composition root limits them, so all
// three read them from here.
#pragma once

#include <string_view>

namespace velmoryn {

inline constexpr std::string_view kDefaultsPath = "/usr/bin/defaults";
inline constexpr std::string_view kOsascriptPath = "/usr/bin/osascript";
inline constexpr std::string_view kKillallPath = "/usr/bin/killall";

// The Dock's preference domain.
inline constexpr std::string_view kDockDomain = "com.apple.dock";

// Every tool run is killed after this many seconds and counts as failed.
inline constexpr double kToolTimeLimit = 10.0;

}  // namespace velmoryn
