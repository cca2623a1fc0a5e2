// Main thread, except runDefaults and readOrientation, which the edge refresh
// also calls on the utility queue; neither touches the object's state.
#include "dock/dock.h"

#include <cmath>
#include <utility>

#include "dock/tool_output.h"
#include "platform/autohide_script.h"
#include "platform/platform.h"

namespace velmoryn {
namespace {

// The delay the program gives the Dock, and the shortest it leaves alone.
constexpr std::string_view kHiddenDelay = "1000";
constexpr double kHiddenDelayThreshold = 100.0;
constexpr double kEdgeCacheAge = 5.0;

PrefOutcome outcomeOf(const ProcessResult& result) {
  if (result.timedOut) return PrefOutcome::timedOut;
  return result.succeeded() ? PrefOutcome::done : PrefOutcome::failed;
}

}  // namespace

ProcessResult Dock::runTool(std::string_view path, std::vector<std::string> args) const {
  ProcessRequest request{std::string(path), std::move(args), /*captureStdout=*/false,
                         kToolTimeLimit};
  return platform().processes->run(request);
}

ProcessResult Dock::runDefaults(std::string_view verb, const std::string& key,
                                const std::vector<std::string>& values) const {
  std::vector<std::string> args{std::string(verb), std::string(kDockDomain), key};
  args.insert(args.end(), values.begin(), values.end());
  ProcessRequest request{std::string(kDefaultsPath), std::move(args), /*captureStdout=*/true,
                         kToolTimeLimit};
  ProcessResult result = platform().processes->run(request);
  result.out = trimToolOutput(result.out);
  return result;
}

ProcessResult Dock::readAutohide() const {
  return runDefaults("read", "autohide");
}

bool Dock::reportsMissingKey(const ProcessResult& result) {
  return result.started && !result.timedOut && result.exitStatus == 1 && result.out.empty();
}

// Anything but success or a missing key means the read told nothing.
PrefRead Dock::readPreference(const std::string& key) const {
  const ProcessResult result = runDefaults("read", key);
  if (result.succeeded()) {
    if (result.out.empty()) return {};
    return {PrefOutcome::done, result.out};
  }
  if (reportsMissingKey(result)) return {};
  return {outcomeOf(result), std::nullopt};
}

DockEdge Dock::readOrientation() const {
  return DockEdge::from(runDefaults("read", "orientation").out);
}

AppleScript* Dock::script(bool hidden) {
  Script& slot = hidden ? hideScript : showScript;
  if (!slot.built) {
    slot.built = true;
    slot.compiled = platform().appleScript->create(autohideScript(hidden));
    if (slot.compiled) slot.compiled->compile();
  }
  return slot.compiled.get();
}

Dock::AutoHideResult Dock::setAutoHide(bool hidden) {
  AppleScript* compiled = script(hidden);
  if (compiled == nullptr) return {.switched = false, .scriptError = std::nullopt};
  const std::optional<std::int64_t> error = compiled->executeReportsError();
  if (!error) return {};
  // osascript meets the same Automation permission; its exit status tells.
  const bool switched = runTool(kOsascriptPath, {"-e", autohideScript(hidden)}).succeeded();
  return {.switched = switched, .scriptError = error};
}

void Dock::restartDock() const {
  runTool(kKillallPath, {"Dock"});
}

void Dock::setupHiddenDelay() {
  // Infinity and not-a-number are no delay: they are replaced like any text.
  const auto delay = parseWholeNumber(runDefaults("read", "autohide-delay").out);
  if (delay && std::isfinite(*delay) && *delay >= kHiddenDelayThreshold) return;
  runDefaults("write", "autohide-delay", {"-float", std::string(kHiddenDelay)});
  restartDock();
}

bool Dock::isHidden() const {
  return readAutohide().out == "1";
}

Dock::AutoHideResult Dock::hide() {
  return setAutoHide(true);
}

Dock::AutoHideResult Dock::show() {
  return setAutoHide(false);
}

DockEdge Dock::edge() {
  if (!edgeReading && platform().clock->now() - edgeReadAt > kEdgeCacheAge) {
    edgeReading = true;
    // Safe because the Dock lives until the process ends: the program never
    // destroys what the delegate holds.
    platform().utilityQueue->async([this] {
      const DockEdge fresh = readOrientation();
      platform().mainQueue->async([this, fresh] {
        cachedEdge = fresh;
        edgeReadAt = platform().clock->now();
        edgeReading = false;
      });
    });
  }
  return cachedEdge;
}

void Dock::primeEdge() {
  cachedEdge = readOrientation();
  edgeReadAt = platform().clock->now();
}

DockSettingsBackup& Dock::backup() {
  if (settingsBackup) return *settingsBackup;
  // Safe because the backup that holds these operations is a member of this object.
  Prefs prefs{
      .read = [this](const std::string& key) { return readPreference(key); },
      .writeFloat =
          [this](const std::string& key, double value) {
            return outcomeOf(runDefaults("write", key, {"-float", formatFloat(value)}));
          },
      .writeBool =
          [this](const std::string& key, bool value) {
            return outcomeOf(runDefaults("write", key, {"-bool", value ? "true" : "false"}));
          },
      .delete_ =
          [this](const std::string& key) {
            const PrefOutcome deleted = outcomeOf(runDefaults("delete", key));
            if (deleted != PrefOutcome::failed) return deleted;
            // defaults also fails to delete a key that is not there; that is done too.
            const PrefRead check = readPreference(key);
            if (check.outcome != PrefOutcome::done) return check.outcome;
            return check.value ? PrefOutcome::failed : PrefOutcome::done;
          },
      .reload = [this] { restartDock(); },
  };
  return settingsBackup.emplace(*platform().settings, std::move(prefs),
                                *parseWholeNumber(kHiddenDelay));
}

}  // namespace velmoryn
