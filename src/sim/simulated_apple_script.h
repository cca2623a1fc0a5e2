// In-process AppleScript on the simulated desktop: the one line that asks
// "System Events" to switch the Dock's autohide is carried out on the
// simulated Dock; any other script reports an error, as a script that the
// simulated System Events does not understand. While the fault file
// <root>/faults/applescript exists, every script reports an error, so that the
// osascript fallback runs. Main thread only.
#pragma once

#include <memory>

#include "platform/apple_script.h"
#include "sim/simulated_dock.h"

namespace velmoryn {

class SimulatedAppleScriptFactory : public AppleScriptFactory {
 public:
  // Safe because the Dock outlives every script: both live for the whole run.
  explicit SimulatedAppleScriptFactory(SimulatedDock& dock) : dock(dock) {}
  std::unique_ptr<AppleScript> create(const std::string& source) override;

 private:
  SimulatedDock& dock;
};

}  // namespace velmoryn
