// The user's own Dock settings, recorded, overwritten by the program and put
// back, through the real runner, the simulated tool runner and the stand-ins:
// the stand-ins' real texts read by the program's own parsing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dock/dock.h"
#include "dock/dock_settings_backup.h"
#include "fakes/fake_platform.h"
#include "sim/apple_script_linux.h"
#include "sim/simulated_tool_runner.h"
#include "sim_test_support.h"

namespace velmoryn {
namespace {

using Lines = std::vector<std::string>;

struct RoundTrip {
  RoundTrip() : tools(sim.runner, sim.dock), scripts(sim.dock) {
    Platform p = platform();
    p.processes = &tools;
    p.appleScript = &scripts;
    installPlatform(p);
  }
  testing::FakePlatform fakes;  // first: installed before, torn down after the rest
  simtest::SimRoot sim;
  SimulatedToolRunner tools;
  LinuxAppleScriptFactory scripts;
};

struct Trip {
  std::vector<std::string> setUp;  // one `defaults` invocation
  bool scriptFails;                // the in-process script fails; osascript does the work
  Lines lines;
};

TEST(DockRoundTrip, TheUsersSettingsComeBackExactlyAndTheRecordIsCleared) {
  const Trip trips[] = {
      {{"write", "com.apple.dock", "autohide-delay", "-float", "0.5"},
       false,
       {"dock: autohide-delay 1000", "dock: restarted", "dock: autohide on",
        "dock: autohide-delay 0.5", "dock: autohide off", "dock: restarted"}},
      {{"delete", "com.apple.dock", "autohide"},
       true,
       {"dock: autohide-delay 1000", "dock: restarted", "dock: autohide on",
        "dock: autohide-delay removed", "dock: autohide removed", "dock: restarted"}},
      // A delay of the program's own, left by a crash, is not the user's: it goes.
      {{"write", "com.apple.dock", "autohide-delay", "-float", "1000.0"},
       false,
       {"dock: autohide on", "dock: autohide-delay removed", "dock: autohide off",
        "dock: restarted"}},
  };
  for (const Trip& trip : trips) {
    SCOPED_TRACE(trip.setUp.back());
    RoundTrip world;
    world.sim.run("defaults", trip.setUp);
    world.sim.dock.noteChange();
    auto original = world.sim.snapshot();
    if (trip.setUp.back() == "1000.0") original.erase("autohide-delay");
    Lines lines;
    world.sim.dock.setChangeListener([&](const std::string& line) { lines.push_back(line); });
    world.sim.failAppleScript(trip.scriptFails);

    Dock::saveOriginalIfNeeded();
    Dock::setupHiddenDelay();
    Dock::toggle();
    EXPECT_TRUE(Dock::isHidden());
    Dock::restoreOriginal();

    EXPECT_EQ(world.sim.snapshot(), original);
    EXPECT_FALSE(Dock::backup().hasSaved());
    EXPECT_EQ(lines, trip.lines);
  }
}

TEST(DockRoundTrip, TheEdgeIsReadFromTheDomain) {
  RoundTrip world;
  world.sim.run("defaults", {"write", "com.apple.dock", "orientation", "left"});
  Dock::primeEdge();
  EXPECT_EQ(Dock::edge(), DockEdge::left);
}

}  // namespace
}  // namespace velmoryn
