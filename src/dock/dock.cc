// Main thread, except Dock::defaults and Dock::runDefaults, which the edge
// refresh also calls on the utility queue.
#include "dock/dock.h"

#include <cmath>
#include <memory>
#include <mutex>

#include "dock/dock_settings_backup.h"
#include "dock/dock_testing.h"
#include "dock/tool_output.h"
#include "platform/autohide_script.h"
#include "platform/platform.h"

namespace velmoryn {
namespace {

constexpr double kHiddenDelayThreshold = 100.0;
constexpr double kEdgeCacheAge = 5.0;

struct DockState {
  std::mutex scriptsMutex;
  bool hideScriptBuilt = false;
  bool showScriptBuilt = false;
  std::unique_ptr<AppleScript> hideScript;
  std::unique_ptr<AppleScript> showScript;

  DockEdge cachedEdge = DockEdge::bottom;
  double edgeReadAt = kDistantPast;
  bool edgeReading = false;

  std::mutex backupMutex;
  std::unique_ptr<DockSettingsBackup> backup;
};

DockState& state() {
  static auto* dockState = new DockState;  // lives until the process ends
  return *dockState;
}

// The script for a direction, created and compiled on first use; null when
// creation failed, for the rest of the run.
AppleScript* script(bool hidden) {
  auto& s = state();
  std::lock_guard lock(s.scriptsMutex);
  bool& built = hidden ? s.hideScriptBuilt : s.showScriptBuilt;
  auto& slot = hidden ? s.hideScript : s.showScript;
  if (!built) {
    built = true;
    slot = platform().appleScript->create(autohideScript(hidden));
    if (slot) slot->compile();
  }
  return slot.get();
}

ProcessResult runTool(std::string_view path, std::vector<std::string> args) {
  ProcessRequest request{std::string(path), std::move(args), /*captureStdout=*/false,
                         Dock::toolTimeLimit};
  return platform().processes->run(request);
}

PrefOutcome outcomeOf(const ProcessResult& result) {
  if (result.timedOut) return PrefOutcome::timedOut;
  return result.succeeded() ? PrefOutcome::done : PrefOutcome::failed;
}

// defaults ends with status 1 and prints nothing for a key that does not
// exist; anything else but success means the read told nothing.
PrefRead readPreference(const std::string& key) {
  const ProcessResult result = Dock::runDefaults({"read", std::string(Dock::domain), key});
  if (result.succeeded()) {
    if (result.out.empty()) return {};
    return {PrefOutcome::done, result.out};
  }
  if (result.started && !result.timedOut && result.exitStatus == 1 && result.out.empty()) return {};
  return {outcomeOf(result), std::nullopt};
}

DockEdge readOrientation() {
  return DockEdge::from(Dock::defaults({"read", std::string(Dock::domain), "orientation"}));
}

}  // namespace

ProcessResult Dock::runDefaults(const std::vector<std::string>& args) {
  ProcessRequest request{std::string(defaultsPath), args, /*captureStdout=*/true, toolTimeLimit};
  ProcessResult result = platform().processes->run(request);
  result.out = trimToolOutput(result.out);
  return result;
}

std::string Dock::defaults(const std::vector<std::string>& args) {
  return runDefaults(args).out;
}

Dock::AutoHideResult Dock::setAutoHide(bool hidden) {
  AppleScript* compiled = script(hidden);
  if (compiled == nullptr) return {.switched = false, .scriptError = std::nullopt};
  const std::optional<std::int64_t> error = compiled->executeReportsError();
  if (!error) return {};
  // osascript meets the same Automation permission; its exit status tells.
  const bool switched = runTool(osascriptPath, {"-e", autohideScript(hidden)}).succeeded();
  return {.switched = switched, .scriptError = error};
}

void Dock::restartDock() {
  runTool(killallPath, {"Dock"});
}

void Dock::setupHiddenDelay() {
  // Infinity and not-a-number are no delay: they are replaced like any text.
  const auto delay = parseWholeNumber(defaults({"read", std::string(domain), "autohide-delay"}));
  if (delay && std::isfinite(*delay) && *delay >= kHiddenDelayThreshold) return;
  defaults({"write", std::string(domain), "autohide-delay", "-float", std::string(hiddenDelay)});
  restartDock();
}

bool Dock::isHidden() {
  return defaults({"read", std::string(domain), "autohide"}) == "1";
}

Dock::AutoHideResult Dock::hide() {
  return setAutoHide(true);
}

Dock::AutoHideResult Dock::show() {
  return setAutoHide(false);
}

void Dock::toggle() {
  setAutoHide(!isHidden());
}

DockEdge Dock::edge() {
  auto& s = state();
  if (!s.edgeReading && platform().clock->now() - s.edgeReadAt > kEdgeCacheAge) {
    s.edgeReading = true;
    platform().utilityQueue->async([] {
      const DockEdge fresh = readOrientation();
      platform().mainQueue->async([fresh] {
        auto& st = state();
        st.cachedEdge = fresh;
        st.edgeReadAt = platform().clock->now();
        st.edgeReading = false;
      });
    });
  }
  return s.cachedEdge;
}

void Dock::primeEdge() {
  const DockEdge fresh = readOrientation();
  auto& s = state();
  s.cachedEdge = fresh;
  s.edgeReadAt = platform().clock->now();
}

DockSettingsBackup& Dock::backup() {
  auto& s = state();
  std::lock_guard lock(s.backupMutex);
  if (!s.backup) {
    Prefs prefs{
        .read = [](const std::string& k) { return readPreference(k); },
        .writeFloat =
            [](const std::string& k, double value) {
              return outcomeOf(
                  runDefaults({"write", std::string(domain), k, "-float", formatFloat(value)}));
            },
        .writeBool =
            [](const std::string& k, bool value) {
              return outcomeOf(runDefaults(
                  {"write", std::string(domain), k, "-bool", value ? "true" : "false"}));
            },
        .delete_ =
            [](const std::string& k) {
              const PrefOutcome deleted =
                  outcomeOf(runDefaults({"delete", std::string(domain), k}));
              if (deleted != PrefOutcome::failed) return deleted;
              // defaults also fails to delete a key that is not there; that is done too.
              const PrefRead check = readPreference(k);
              if (check.outcome != PrefOutcome::done) return check.outcome;
              return check.value ? PrefOutcome::failed : PrefOutcome::done;
            },
        .reload = [] { restartDock(); },
    };
    s.backup = std::make_unique<DockSettingsBackup>(*platform().settings, std::move(prefs),
                                                    *parseWholeNumber(hiddenDelay));
  }
  return *s.backup;
}

void Dock::saveOriginalIfNeeded() {
  backup().saveIfNeeded();
}

void Dock::restoreOriginal() {
  backup().restore();
}

void resetDockStateForTesting() {
  auto& s = state();
  s.hideScriptBuilt = s.showScriptBuilt = false;
  s.hideScript.reset();
  s.showScript.reset();
  s.cachedEdge = DockEdge::bottom;
  s.edgeReadAt = kDistantPast;
  s.edgeReading = false;
  s.backup.reset();
}

}  // namespace velmoryn
