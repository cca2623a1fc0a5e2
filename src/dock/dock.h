// Every Dock operation: the preference tools, the hide/show state, the Dock's
// edge and the record of the user's own settings. One Dock is built where the
// program is put together and handed to whoever uses it. Main thread only,
// except runDefaults, which the edge refresh also calls on the utility queue.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dock/dock_edge.h"
#include "dock/dock_settings_backup.h"
#include "platform/apple_script.h"
#include "platform/clock.h"
#include "platform/dock_tools.h"
#include "platform/process_runner.h"

namespace velmoryn {

class Dock {
 public:
  // Touches nothing: the tools, the scripts and the settings store are
  // reached on first use.
  Dock() = default;
  Dock(const Dock&) = delete;
  Dock& operator=(const Dock&) = delete;

  // Runs /usr/bin/defaults VERB com.apple.dock KEY VALUES...; its standard
  // output trimmed. Thread-safe; never fails towards the caller.
  ProcessResult runDefaults(std::string_view verb, const std::string& key,
                            const std::vector<std::string>& values = {}) const;
  // Reads the Dock's autohide; "1" is hidden mode.
  ProcessResult readAutohide() const;
  // defaults ends with status 1 and prints nothing for a key that does not
  // exist: a read that tells the key is missing, not one that failed.
  static bool reportsMissingKey(const ProcessResult& result);

  // Whether the Dock took a switch of autohide, and if not, the error number
  // the in-process script reported (none when there was no script to run).
  struct AutoHideResult {
    bool switched = true;
    std::optional<std::int64_t> scriptError;
  };

  // Writes the long delay and restarts the Dock unless the delay is long already.
  void setupHiddenDelay();
  bool isHidden() const;
  AutoHideResult hide();
  AutoHideResult show();

  // The edge as last known; never waits. An edge older than five seconds
  // starts one refresh in the background, which later reads see.
  DockEdge edge();
  // Reads the edge now, waiting for the tool.
  void primeEdge();

  // The record of the user's own settings, in the program's settings store.
  DockSettingsBackup& backup();

 private:
  AutoHideResult setAutoHide(bool hidden);
  void restartDock() const;
  ProcessResult runTool(std::string_view path, std::vector<std::string> args) const;
  PrefRead readPreference(const std::string& key) const;
  DockEdge readOrientation() const;
  // The script for a direction, created and compiled on first use; null when
  // creation failed, for the rest of the run.
  AppleScript* script(bool hidden);

  struct Script {
    bool built = false;
    std::unique_ptr<AppleScript> compiled;
  };
  Script hideScript;
  Script showScript;

  DockEdge cachedEdge = DockEdge::bottom;
  double edgeReadAt = kDistantPast;
  bool edgeReading = false;

  std::optional<DockSettingsBackup> settingsBackup;
};

}  // namespace velmoryn
