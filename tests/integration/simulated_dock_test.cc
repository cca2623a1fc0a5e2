// The simulated Dock with its tool runner and in-process AppleScript, on real
// files and real stand-in processes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/autohide_script.h"
#include "sim/apple_script_linux.h"
#include "sim/simulated_tool_runner.h"
#include "sim_test_support.h"

namespace velmoryn {
namespace {

namespace fs = std::filesystem;
using simtest::SimRoot;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kLine(kAutohideScriptLine);

struct Lines {
  void attach(SimulatedDock& dock) {
    dock.setChangeListener([this](const std::string& line) {
      std::lock_guard lock(mutex);
      seen.push_back(line);
    });
  }
  std::vector<std::string> take() {
    std::lock_guard lock(mutex);
    return std::exchange(seen, {});
  }
  std::mutex mutex;
  std::vector<std::string> seen;
};

TEST(SimulatedDock, InstallsTheToolsAndTheDomainOfATypicalUser) {
  SimRoot sim;
  for (const char* name : {"defaults", "osascript", "killall"}) {
    const fs::path link = sim.root / "usr/bin" / name;
    EXPECT_TRUE(fs::is_symlink(link)) << name;
    EXPECT_EQ(fs::canonical(link),
              fs::canonical(fs::path(VELMORYN_BINARY_DIR) / "velmoryn-simtool"));
  }
  const SimulatedDock::View view = sim.dock.view();
  EXPECT_EQ(view.autohide, false);
  EXPECT_EQ(view.autohideDelay, std::nullopt);
  EXPECT_EQ(view.orientation, std::nullopt);
  EXPECT_EQ(view.restarts, 0);
  EXPECT_TRUE(sim.dock.visible());
}

TEST(SimulatedDock, KeepsTheUsersDomainAndRefreshesStaleLinks) {
  SimRoot sim;
  sim.quietly("defaults", {"write", "com.apple.dock", "autohide-delay", "-float", "0.5"});
  const std::string before = sim.domainBytes();
  const fs::path link = sim.root / "usr/bin/defaults";
  fs::remove(link);
  fs::create_symlink("/nonexistent/old-build/velmoryn-simtool", link);

  sim.dock.ensureInstalled();

  EXPECT_EQ(sim.domainBytes(), before);
  EXPECT_EQ(sim.quietly("defaults", {"read", "com.apple.dock", "autohide-delay"}).out, "0.5\n");
}

TEST(SimulatedDock, MapsExactlyTheThreeToolPathsIntoTheRoot) {
  SimRoot sim;
  EXPECT_EQ(sim.dock.mapToolPath("/usr/bin/defaults"), sim.tool("defaults"));
  EXPECT_EQ(sim.dock.mapToolPath("/usr/bin/osascript"), sim.tool("osascript"));
  EXPECT_EQ(sim.dock.mapToolPath("/usr/bin/killall"), sim.tool("killall"));
  for (const std::string other : {"/usr/bin/true", "/usr/bin/defaults2", "/usr/bin/defaults/",
                                  "usr/bin/defaults", "/bin/killall", "/usr/bin//defaults", ""}) {
    EXPECT_EQ(sim.dock.mapToolPath(other), other);
  }
}

TEST(SimulatedDock, ReportsEachChangeAsOneReadableLine) {
  SimRoot sim;
  Lines lines;
  lines.attach(sim.dock);

  sim.dock.noteChange();
  EXPECT_THAT(lines.take(), IsEmpty());

  sim.quietly("defaults", {"write", "com.apple.dock", "autohide-delay", "-float", "1000"});
  sim.quietly("killall", {"Dock"});
  sim.quietly("osascript", {"-e", kLine + "true"});
  sim.quietly("defaults", {"write", "com.apple.dock", "orientation", "left"});
  sim.dock.noteChange();
  EXPECT_THAT(lines.take(), ElementsAre("dock: autohide on", "dock: autohide-delay 1000",
                                        "dock: orientation left", "dock: restarted"));
  EXPECT_FALSE(sim.dock.visible());

  sim.quietly("defaults", {"write", "com.apple.dock", "autohide-delay", "-float", "0.5"});
  sim.dock.noteChange();
  sim.quietly("defaults", {"delete", "com.apple.dock", "autohide-delay"});
  sim.quietly("defaults", {"delete", "com.apple.dock", "autohide"});
  sim.dock.noteChange();
  EXPECT_THAT(lines.take(), ElementsAre("dock: autohide-delay 0.5", "dock: autohide removed",
                                        "dock: autohide-delay removed"));
  EXPECT_TRUE(sim.dock.visible());
}

TEST(SimulatedToolRunner, RunsTheStandInForTheRealPathAndReportsTheChange) {
  SimRoot sim;
  Lines lines;
  lines.attach(sim.dock);
  SimulatedToolRunner runner(sim.runner, sim.dock);

  const ProcessResult killed = runner.run({"/usr/bin/killall", {"Dock"}, false});
  const ProcessResult read =
      runner.run({"/usr/bin/defaults", {"read", "com.apple.dock", "autohide"}, true});

  EXPECT_TRUE(killed.succeeded());
  EXPECT_TRUE(read.succeeded());
  EXPECT_EQ(read.out, "0\n");
  EXPECT_EQ(sim.dock.view().restarts, 1);
  EXPECT_THAT(lines.take(), ElementsAre("dock: restarted"));
}

TEST(SimulatedToolRunner, ReportsEachChangeOnceWhenToolsRunOnTwoThreads) {
  SimRoot sim;
  Lines lines;
  lines.attach(sim.dock);
  SimulatedToolRunner runner(sim.runner, sim.dock);
  constexpr int kRestarts = 12;

  std::thread restarter([&] {
    for (int i = 0; i < kRestarts; ++i) runner.run({"/usr/bin/killall", {"Dock"}, false});
  });
  std::thread reader([&] {
    for (int i = 0; i < kRestarts; ++i) {
      runner.run({"/usr/bin/defaults", {"read", "com.apple.dock", "orientation"}, true});
    }
  });
  restarter.join();
  reader.join();

  const std::vector<std::string> seen = lines.take();
  EXPECT_EQ(seen, std::vector<std::string>(kRestarts, "dock: restarted"));
  EXPECT_EQ(sim.dock.view().restarts, kRestarts);
}

TEST(SimulatedToolRunner, LeavesOtherPathsAlone) {
  SimRoot sim;
  SimulatedToolRunner runner(sim.runner, sim.dock);
  const std::string probe = std::string(VELMORYN_BINARY_DIR) + "/velmoryn-process-probe";
  const ProcessResult result = runner.run({probe, {"args", "x"}, true});
  EXPECT_EQ(result.out, probe + "\nargs\nx\n");
}

TEST(LinuxAppleScript, TheAutohideLineSwitchesTheSimulatedDock) {
  SimRoot sim;
  Lines lines;
  lines.attach(sim.dock);
  LinuxAppleScriptFactory factory(sim.dock);
  auto hide = factory.create(kLine + "true");
  auto show = factory.create(kLine + "false");
  ASSERT_TRUE(hide && show);
  hide->compile();
  show->compile();

  EXPECT_FALSE(hide->executeReportsError());
  EXPECT_EQ(sim.dock.view().autohide, true);
  EXPECT_FALSE(show->executeReportsError());
  EXPECT_EQ(sim.dock.view().autohide, false);
  EXPECT_THAT(lines.take(), ElementsAre("dock: autohide on", "dock: autohide off"));
}

TEST(LinuxAppleScript, AnyOtherScriptReportsAnErrorAndChangesNothing) {
  SimRoot sim;
  LinuxAppleScriptFactory factory(sim.dock);
  const std::string before = sim.domainBytes();
  for (const std::string& source : {kLine + "TRUE", kLine + "true\n", kLine, std::string("")}) {
    auto script = factory.create(source);
    ASSERT_TRUE(script);
    script->compile();
    EXPECT_TRUE(script->executeReportsError()) << source;
  }
  EXPECT_EQ(sim.domainBytes(), before);
}

TEST(LinuxAppleScript, ReportingErrorsOnDemandFailsEvenTheAutohideLine) {
  SimRoot sim;
  LinuxAppleScriptFactory factory(sim.dock);
  auto hide = factory.create(kLine + "true");  // made before the switch: it still obeys it

  sim.failAppleScript(true);
  EXPECT_TRUE(hide->executeReportsError());
  EXPECT_EQ(sim.dock.view().autohide, false);

  sim.failAppleScript(false);
  EXPECT_FALSE(hide->executeReportsError());
  EXPECT_EQ(sim.dock.view().autohide, true);
}

TEST(LinuxAppleScript, AnUnwritableDomainIsReportedAsAnError) {
  SimRoot sim;
  LinuxAppleScriptFactory factory(sim.dock);
  simtest::writeBytes(sim.domainFile(), "garbage");
  auto hide = factory.create(kLine + "true");
  EXPECT_TRUE(hide->executeReportsError());
  EXPECT_EQ(sim.domainBytes(), "garbage");
}

}  // namespace
}  // namespace velmoryn
