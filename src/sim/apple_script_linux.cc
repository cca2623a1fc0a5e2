// Main thread only.
#include "sim/apple_script_linux.h"

#include <optional>
#include <string>

#include "platform/autohide_script.h"

namespace velmoryn {
namespace {

class LinuxAppleScript : public AppleScript {
 public:
  LinuxAppleScript(SimulatedDock& dock, std::shared_ptr<std::atomic<bool>> failing,
                   const std::string& source)
      : dock(dock), failing(std::move(failing)), autohide(autohideOfScript(source)) {}

  void compile() override {}

  bool executeReportsError() override {
    if (failing->load() || !autohide) return true;
    const bool applied = dock.setAutohide(*autohide);
    dock.noteChange();
    return !applied;
  }

 private:
  SimulatedDock& dock;  // safe because the Dock lives for the whole run
  std::shared_ptr<std::atomic<bool>> failing;
  std::optional<bool> autohide;
};

}  // namespace

std::unique_ptr<AppleScript> LinuxAppleScriptFactory::create(const std::string& source) {
  return std::make_unique<LinuxAppleScript>(dock, failing, source);
}

}  // namespace velmoryn
