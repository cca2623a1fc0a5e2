// In-process AppleScript on the simulated desktop: the one line that asks
// "System Events" to switch the Dock's autohide is carried out on the
// simulated Dock; any other script reports an error, as a script that the
// simulated System Events does not understand. Main thread only, except
// setReportError, which any thread may call.
#pragma once

#include <atomic>
#include <memory>

#include "platform/apple_script.h"
#include "sim/simulated_dock.h"

namespace velmoryn {

class LinuxAppleScriptFactory : public AppleScriptFactory {
 public:
  // Safe because the Dock outlives every script: both live for the whole run.
  explicit LinuxAppleScriptFactory(SimulatedDock& dock) : dock(dock) {}
  std::unique_ptr<AppleScript> create(const std::string& source) override;

  // Every execution then reports an error, so that the osascript fallback runs.
  void setReportError(bool reportError) { failing->store(reportError); }

 private:
  SimulatedDock& dock;
  // Shared with the scripts, which the core keeps for the rest of the run.
  std::shared_ptr<std::atomic<bool>> failing = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace velmoryn
