// Any thread: the domain files carry their own lock; `mutex` guards only the
// view last reported and the listener.
#include "sim/simulated_dock.h"

#include <string_view>
#include <system_error>
#include <vector>

#include "platform/dock_tools.h"
#include "platform/linux/files_linux.h"
#include "sim/dock_domain.h"
#include "sim/number_format.h"

namespace velmoryn {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kTools[] = {kDefaultsPath, kOsascriptPath, kKillallPath};
constexpr const char* kStandIn = "velmoryn-simtool";

// Where a tool's stand-in lives: its absolute path, under the root.
fs::path standInOf(const fs::path& root, std::string_view tool) {
  return root / fs::path(tool).relative_path();
}

// Makes `link` point at `target`, replacing whatever other file is there.
void linkTo(const fs::path& link, const fs::path& target) {
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(link, ec)) && fs::read_symlink(link, ec) == target) return;
  // Built beside the link and renamed over it, so a tool started meanwhile
  // finds either the old link or the new one.
  const fs::path fresh = link.parent_path() / ("." + link.filename().string() + ".new");
  fs::remove(fresh, ec);
  fs::create_symlink(target, fresh, ec);
  if (ec) return;
  fs::rename(fresh, link, ec);
  if (ec) fs::remove(fresh, ec);
}

std::vector<std::string> differences(const SimulatedDock::View& before,
                                     const SimulatedDock::View& after) {
  std::vector<std::string> lines;
  if (before.autohide != after.autohide) {
    lines.push_back(!after.autohide   ? "dock: autohide removed"
                    : *after.autohide ? "dock: autohide on"
                                      : "dock: autohide off");
  }
  if (before.autohideDelay != after.autohideDelay) {
    lines.push_back(after.autohideDelay
                        ? "dock: autohide-delay " + formatNumber(*after.autohideDelay)
                        : "dock: autohide-delay removed");
  }
  if (before.orientation != after.orientation) {
    lines.push_back(after.orientation ? "dock: orientation " + *after.orientation
                                      : "dock: orientation removed");
  }
  for (long i = before.restarts; i < after.restarts; ++i) lines.push_back("dock: restarted");
  return lines;
}

}  // namespace

SimulatedDock::SimulatedDock(fs::path root, fs::path toolsDir)
    : root(std::move(root)), toolsDir(std::move(toolsDir)) {
  lastFiles = readFiles();
  lastSeen = viewOf(lastFiles);
}

void SimulatedDock::installTools() {
  std::error_code ec;
  const fs::path standIn = fs::absolute(toolsDir / kStandIn, ec);
  for (const std::string_view tool : kTools) {
    const fs::path link = standInOf(root, tool);
    fs::create_directories(link.parent_path(), ec);
    linkTo(link, standIn);
  }
}

void SimulatedDock::ensureInstalled() {
  installTools();
  std::string error;
  dockdomain::edit(
      root,
      [](dockdomain::Domain& domain, bool existed, std::string&) {
        // Only a domain that does not exist yet is seeded; a user's is kept.
        if (existed) return dockdomain::EditOutcome::unchanged;
        domain.set("autohide", false);
        domain.set("tilesize", std::int64_t{48});
        domain.set("mineffect", std::string("genie"));
        return dockdomain::EditOutcome::changed;
      },
      error);

  std::lock_guard lock(mutex);
  lastFiles = readFiles();
  lastSeen = viewOf(lastFiles);
}

std::string SimulatedDock::mapToolPath(const std::string& path) const {
  for (const std::string_view tool : kTools) {
    if (path == tool) return standInOf(root, tool).string();
  }
  return path;
}

SimulatedDock::Files SimulatedDock::readFiles() const {
  return {files::readAll(dockdomain::domainFile(root)),
          files::readAll(dockdomain::restartsFile(root))};
}

SimulatedDock::View SimulatedDock::viewOf(const Files& files) {
  View v;
  v.restarts = dockdomain::parseRestarts(files.restarts);
  if (!files.domain) return v;
  const auto parsed = dockdomain::Domain::parse(*files.domain);
  const auto* domain = std::get_if<dockdomain::Domain>(&parsed);
  if (domain == nullptr) return v;
  auto value = [domain](const std::string& key) -> std::optional<dockdomain::Value> {
    const auto found = domain->find(key);
    return found ? found->scalar() : std::nullopt;
  };
  if (auto found = value("autohide"); found && std::holds_alternative<bool>(*found)) {
    v.autohide = std::get<bool>(*found);
  }
  if (auto found = value("autohide-delay")) {
    if (auto* real = std::get_if<double>(&*found)) v.autohideDelay = *real;
    if (auto* integer = std::get_if<std::int64_t>(&*found)) {
      v.autohideDelay = static_cast<double>(*integer);
    }
  }
  if (auto found = value("orientation"); found && std::holds_alternative<std::string>(*found)) {
    v.orientation = std::get<std::string>(*found);
  }
  return v;
}

SimulatedDock::View SimulatedDock::view() const {
  return viewOf(readFiles());
}

bool SimulatedDock::setAutohide(bool on) {
  std::string error;
  return dockdomain::edit(
             root,
             [on](dockdomain::Domain& domain, bool, std::string&) {
               domain.set("autohide", on);
               return dockdomain::EditOutcome::changed;
             },
             error) == dockdomain::EditOutcome::changed;
}

void SimulatedDock::setChangeListener(std::function<void(const std::string&)> newListener) {
  std::lock_guard lock(mutex);
  listener = std::move(newListener);
}

void SimulatedDock::noteChange() {
  std::vector<std::string> lines;
  std::function<void(const std::string&)> report;
  {
    std::lock_guard lock(mutex);
    Files now = readFiles();
    if (now == lastFiles) return;
    const View seen = viewOf(now);
    lines = differences(lastSeen, seen);
    lastFiles = std::move(now);
    lastSeen = seen;
    report = listener;
  }
  // Outside the lock, so that a listener may ask the Dock again.
  if (!report) return;
  for (const auto& line : lines) report(line);
}

bool SimulatedDock::faulty(const std::string& name) const {
  std::error_code ec;
  return fs::exists(root / "faults" / name, ec);
}

bool SimulatedDock::visible() const {
  return view().autohide != true;
}

}  // namespace velmoryn
