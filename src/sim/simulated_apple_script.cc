// Main thread only.
#include "sim/simulated_apple_script.h"

#include <cstdint>
#include <optional>
#include <string>

#include "platform/autohide_script.h"

namespace velmoryn {
namespace {

class SimulatedAppleScript : public AppleScript {
 public:
  SimulatedAppleScript(SimulatedDock& dock, const std::string& source)
      : dock(dock), autohide(autohideOfScript(source)) {}

  void compile() override {}

  std::optional<std::int64_t> executeReportsError() override {
    constexpr std::int64_t kEventFailed = -10000;  // errAEEventFailed
    // Tests only: the fault file stands for System Events not answering.
    if (dock.faulty("applescript") || !autohide) return kEventFailed;
    const bool applied = dock.setAutohide(*autohide);
    dock.noteChange();
    if (!applied) return kEventFailed;
    return std::nullopt;
  }

 private:
  SimulatedDock& dock;  // safe because the Dock lives for the whole run
  std::optional<bool> autohide;
};

}  // namespace

std::unique_ptr<AppleScript> SimulatedAppleScriptFactory::create(const std::string& source) {
  return std::make_unique<SimulatedAppleScript>(dock, source);
}

}  // namespace velmoryn
