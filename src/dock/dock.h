// Every Dock operation: the preference tools, the hide/show state, the Dock's
// edge and the record of the user's own settings. All members are static.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dock/dock_edge.h"
#include "platform/dock_tools.h"
#include "platform/process_runner.h"

namespace velmoryn {

class DockSettingsBackup;

struct Dock {
  Dock() = delete;

  static constexpr std::string_view domain = kDockDomain;
  static constexpr std::string_view hiddenDelay = "1000";
  static constexpr double toolTimeLimit = kToolTimeLimit;

  static constexpr std::string_view defaultsPath = kDefaultsPath;
  static constexpr std::string_view osascriptPath = kOsascriptPath;
  static constexpr std::string_view killallPath = kKillallPath;

  // Runs /usr/bin/defaults with exactly these arguments; the trimmed standard
  // output, or the empty text. Thread-safe; never fails towards the caller.
  static std::string defaults(const std::vector<std::string>& args);
  // The same run, also telling whether the tool ran and succeeded.
  static ProcessResult runDefaults(const std::vector<std::string>& args);

  // Whether the Dock took a switch of autohide, and if not, the error number
  // the in-process script reported (none when there was no script to run).
  struct AutoHideResult {
    bool switched = true;
    std::optional<std::int64_t> scriptError;
  };

  static AutoHideResult setAutoHide(bool hidden);
  static void restartDock();

  static void setupHiddenDelay();
  static bool isHidden();
  static AutoHideResult hide();
  static AutoHideResult show();
  static void toggle();

  // The edge as last known; never waits. Main thread only.
  static DockEdge edge();
  static void primeEdge();

  static DockSettingsBackup& backup();
  static void saveOriginalIfNeeded();
  static void restoreOriginal();
};

}  // namespace velmoryn
