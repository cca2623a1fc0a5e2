// The simulated Dock with its tool runner and in-process AppleScript, on real
// files and real stand-in processes: what it installs, which paths it maps,
// and the one line it reports for each change, whatever made it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/autohide_script.h"
#include "sim/apple_script_linux.h"
#include "sim/simulated_tool_runner.h"
#include "sim_test_support.h"

namespace velmoryn {
namespace {

namespace fs = std::filesystem;
const std::string kDock = "com.apple.dock";
const std::string kLine(kAutohideScriptLine);

TEST(SimulatedDock, InstallsTheToolsAndATypicalDomainAndLaterKeepsTheUsersDomain) {
  simtest::SimRoot sim;
  for (const char* name : {"defaults", "osascript", "killall"}) {
    EXPECT_EQ(fs::canonical(sim.tool(name)),
              fs::canonical(fs::path(VELMORYN_BINARY_DIR) / "velmoryn-simtool"));
  }
  EXPECT_EQ(sim.dock.view(), (SimulatedDock::View{false, std::nullopt, std::nullopt, 0}));
  EXPECT_TRUE(sim.dock.visible());

  sim.run("defaults", {"write", kDock, "autohide", "-bool", "true"});
  const std::string before = sim.domainBytes();
  fs::remove(sim.tool("defaults"));
  fs::create_symlink("/nonexistent/old-build/velmoryn-simtool", sim.tool("defaults"));
  sim.dock.ensureInstalled();
  EXPECT_EQ(sim.domainBytes(), before);
  EXPECT_EQ(sim.run("defaults", {"read", kDock, "autohide"}).out, "1\n");
}

TEST(SimulatedDock, MapsExactlyTheThreeToolPathsIntoTheRoot) {
  simtest::SimRoot sim;
  for (const char* name : {"defaults", "osascript", "killall"})
    EXPECT_EQ(sim.dock.mapToolPath(std::string("/usr/bin/") + name), sim.tool(name));
  for (const std::string other : {"/usr/bin/true", "/usr/bin/defaults2", "/usr/bin/defaults/",
                                  "usr/bin/defaults", "/bin/killall", ""}) {
    EXPECT_EQ(sim.dock.mapToolPath(other), other);
  }
}

TEST(SimulatedDock, ReportsEachChangeAsOneLineWhetherAToolOrTheAppleScriptMadeIt) {
  simtest::SimRoot sim;
  std::vector<std::string> lines;
  sim.dock.setChangeListener([&](const std::string& line) { lines.push_back(line); });
  SimulatedToolRunner tools(sim.runner, sim.dock);
  LinuxAppleScriptFactory scripts(sim.dock);
  auto hide = scripts.create(kLine + "true");  // made before a fault: it still obeys it
  auto show = scripts.create(kLine + "false");

  tools.run({"/usr/bin/defaults", {"read", kDock, "autohide"}});
  tools.run({"/usr/bin/defaults", {"write", kDock, "autohide-delay", "-float", "1000"}});
  tools.run({"/usr/bin/killall", {"Dock"}});
  tools.run({"/usr/bin/killall", {"Dock"}});
  sim.failAppleScript(true);
  EXPECT_TRUE(hide->executeReportsError());
  sim.failAppleScript(false);
  for (const std::string& other : {kLine + "TRUE", kLine + "true\n", kLine, std::string()})
    EXPECT_TRUE(scripts.create(other)->executeReportsError()) << other;
  EXPECT_EQ(hide->executeReportsError(), std::nullopt);
  EXPECT_FALSE(sim.dock.visible());
  tools.run({"/usr/bin/defaults", {"write", kDock, "orientation", "left"}});
  tools.run({"/usr/bin/defaults", {"write", kDock, "autohide-delay", "-int", "2"}});
  EXPECT_EQ(show->executeReportsError(), std::nullopt);
  tools.run({"/usr/bin/defaults", {"delete", kDock, "autohide-delay"}});
  tools.run({"/usr/bin/defaults", {"delete", kDock, "autohide"}});
  EXPECT_TRUE(sim.dock.visible());
  EXPECT_EQ(lines,
            (std::vector<std::string>{
                "dock: autohide-delay 1000", "dock: restarted", "dock: restarted",
                "dock: autohide on", "dock: orientation left", "dock: autohide-delay 2",
                "dock: autohide off", "dock: autohide-delay removed", "dock: autohide removed"}));
  EXPECT_EQ(sim.dock.view().restarts, 2);
}

}  // namespace
}  // namespace velmoryn
