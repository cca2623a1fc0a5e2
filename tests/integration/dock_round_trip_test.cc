// The user's own Dock settings, recorded, overwritten by the program and put
// back through the real runner and the stand-in tools, whose real texts the
// program's own parsing reads.
#include <gtest/gtest.h>

#include "dock/dock.h"
#include "dock/dock_settings_backup.h"
#include "fakes/fake_platform.h"
#include "sim/apple_script_linux.h"
#include "sim/simulated_tool_runner.h"
#include "sim_test_support.h"

namespace velmoryn {
namespace {

// The user's delay comes back written, the missing autohide deleted; the
// Dock's script fails, so osascript does its work.
TEST(DockRoundTrip, TheUsersSettingsComeBackExactlyAndTheRecordIsCleared) {
  testing::FakePlatform fakes;  // first: installed before, torn down after the rest
  simtest::SimRoot sim;
  SimulatedToolRunner tools(sim.runner, sim.dock);
  LinuxAppleScriptFactory scripts(sim.dock);
  Platform p = platform();
  p.processes = &tools;
  p.appleScript = &scripts;
  installPlatform(p);
  sim.run("defaults", {"write", "com.apple.dock", "autohide-delay", "-float", "0.5"});
  sim.run("defaults", {"delete", "com.apple.dock", "autohide"});
  const auto original = sim.snapshot();
  sim.failAppleScript(true);

  Dock::saveOriginalIfNeeded();
  Dock::setupHiddenDelay();
  Dock::toggle();
  EXPECT_TRUE(Dock::isHidden());
  Dock::restoreOriginal();

  EXPECT_EQ(sim.snapshot(), original);
  EXPECT_FALSE(Dock::backup().hasSaved());
}

}  // namespace
}  // namespace velmoryn
