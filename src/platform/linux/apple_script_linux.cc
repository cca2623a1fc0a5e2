// Main thread only.
#include "platform/linux/apple_script_linux.h"

#include <cstdint>
#include <optional>
#include <string>

#include "dock/dock.h"

namespace velmoryn {
namespace {

class LinuxAppleScript : public AppleScript {
 public:
  LinuxAppleScript(SimulatedDock& dock, std::shared_ptr<std::atomic<bool>> failing,
                   const std::string& source)
      : dock(dock), failing(std::move(failing)), autohide(autohideOf(source)) {}

  void compile() override {}

  std::optional<std::int64_t> executeReportsError() override {
    constexpr std::int64_t kEventFailed = -10000;  // errAEEventFailed
    if (failing->load() || !autohide) return kEventFailed;
    const bool applied = dock.setAutohide(*autohide);
    dock.noteChange();
    if (!applied) return kEventFailed;
    return std::nullopt;
  }

 private:
  static std::optional<bool> autohideOf(const std::string& source) {
    const std::string line(Dock::autohideLine);
    if (source == line + "true") return true;
    if (source == line + "false") return false;
    return std::nullopt;
  }

  SimulatedDock& dock;  // safe because the Dock lives for the whole run
  std::shared_ptr<std::atomic<bool>> failing;
  std::optional<bool> autohide;
};

}  // namespace

std::unique_ptr<AppleScript> LinuxAppleScriptFactory::create(const std::string& source) {
  return std::make_unique<LinuxAppleScript>(dock, failing, source);
}

}  // namespace velmoryn
