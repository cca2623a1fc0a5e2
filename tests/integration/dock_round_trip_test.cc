// The user's own Dock settings, recorded, overwritten by the program and put
// back, through the real runner, the simulated tool runner and the stand-ins.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <mutex>
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

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class DockRoundTrip : public ::testing::Test {
 protected:
  DockRoundTrip() : tools(sim.runner, sim.dock), scripts(sim.dock) {
    Platform p = platform();
    p.processes = &tools;
    p.appleScript = &scripts;
    installPlatform(p);
    sim.dock.setChangeListener([this](const std::string& line) {
      std::lock_guard lock(mutex);
      lines.push_back(line);
    });
  }

  std::vector<std::string> takeLines() {
    std::lock_guard lock(mutex);
    return std::exchange(lines, {});
  }

  bool recordHeld() const { return fakes.settings.values.count(DockSettingsBackup::savedKey) > 0; }
  bool recordGone() const {
    return fakes.settings.values.count(DockSettingsBackup::savedKey) == 0 &&
           fakes.settings.values.count(DockSettingsBackup::savedDelayKey) == 0 &&
           fakes.settings.values.count(DockSettingsBackup::savedAutohideKey) == 0;
  }

  testing::FakePlatform fakes;  // first: installed before, torn down after the rest
  simtest::SimRoot sim;
  SimulatedToolRunner tools;
  LinuxAppleScriptFactory scripts;
  std::mutex mutex;
  std::vector<std::string> lines;
};

TEST_F(DockRoundTrip, AShortDelayAndAutohideOffComeBackExactly) {
  sim.quietly("defaults", {"write", "com.apple.dock", "autohide-delay", "-float", "0.5"});
  sim.dock.noteChange();
  takeLines();
  const auto original = sim.snapshot();

  Dock::saveOriginalIfNeeded();
  Dock::setupHiddenDelay();
  EXPECT_EQ(sim.dock.view().autohideDelay, 1000.0);
  Dock::toggle();
  EXPECT_TRUE(Dock::isHidden());
  EXPECT_FALSE(sim.dock.visible());
  Dock::restoreOriginal();

  EXPECT_EQ(sim.snapshot(), original);
  EXPECT_EQ(sim.dock.view().restarts, 2);
  EXPECT_TRUE(recordGone());
  EXPECT_THAT(takeLines(),
              ElementsAre("dock: autohide-delay 1000", "dock: restarted", "dock: autohide on",
                          "dock: autohide-delay 0.5", "dock: autohide off", "dock: restarted"));
}

TEST_F(DockRoundTrip, MissingKeysAreDeletedAgainEvenAfterTheOsascriptFallback) {
  sim.quietly("defaults", {"delete", "com.apple.dock", "autohide"});
  sim.dock.noteChange();
  takeLines();
  const auto original = sim.snapshot();
  ASSERT_EQ(original.count("autohide"), 0u);
  ASSERT_EQ(original.count("autohide-delay"), 0u);

  Dock::saveOriginalIfNeeded();
  Dock::setupHiddenDelay();
  sim.failAppleScript(true);  // the in-process script fails; osascript does the work
  Dock::toggle();
  EXPECT_TRUE(Dock::isHidden());
  Dock::restoreOriginal();

  EXPECT_EQ(sim.snapshot(), original);
  EXPECT_TRUE(recordGone());
  EXPECT_THAT(takeLines(), ElementsAre("dock: autohide-delay 1000", "dock: restarted",
                                       "dock: autohide on", "dock: autohide-delay removed",
                                       "dock: autohide removed", "dock: restarted"));
}

TEST_F(DockRoundTrip, ADelayOfOurOwnLeftBehindIsDeleted) {
  sim.quietly("defaults", {"write", "com.apple.dock", "autohide-delay", "-float", "1000.0"});
  auto expected = sim.snapshot();
  expected.erase("autohide-delay");
  sim.dock.noteChange();
  takeLines();

  Dock::saveOriginalIfNeeded();
  Dock::setupHiddenDelay();  // already long enough: nothing written, no restart
  EXPECT_EQ(sim.dock.view().restarts, 0);
  Dock::toggle();
  Dock::restoreOriginal();

  EXPECT_EQ(sim.snapshot(), expected);
  EXPECT_TRUE(recordGone());
  EXPECT_THAT(takeLines(), ElementsAre("dock: autohide on", "dock: autohide-delay removed",
                                       "dock: autohide off", "dock: restarted"));
}

TEST_F(DockRoundTrip, AFailedWriteKeepsTheRecordUntilARestoreSucceeds) {
  sim.quietly("defaults", {"write", "com.apple.dock", "autohide-delay", "-float", "0.5"});
  const auto original = sim.snapshot();
  Dock::saveOriginalIfNeeded();
  Dock::setupHiddenDelay();
  Dock::toggle();

  std::filesystem::remove(sim.root / "usr/bin/defaults");
  Dock::restoreOriginal();

  EXPECT_TRUE(recordHeld());
  EXPECT_TRUE(Dock::backup().hasSaved());
  EXPECT_EQ(sim.dock.view().autohideDelay, 1000.0);

  sim.dock.ensureInstalled();
  Dock::restoreOriginal();

  EXPECT_EQ(sim.snapshot(), original);
  EXPECT_TRUE(recordGone());
}

TEST_F(DockRoundTrip, ARecordFromAnEarlierRunIsNotTakenAgain) {
  Dock::saveOriginalIfNeeded();  // autohide off, no delay
  Dock::setupHiddenDelay();
  Dock::toggle();
  const auto changed = sim.snapshot();

  // A later launch while the record is still there must not record our values.
  Dock::saveOriginalIfNeeded();
  EXPECT_EQ(sim.snapshot(), changed);
  Dock::restoreOriginal();

  EXPECT_EQ(sim.dock.view().autohide, false);
  EXPECT_EQ(sim.dock.view().autohideDelay, std::nullopt);
}

TEST_F(DockRoundTrip, TheEdgeIsReadFromTheDomain) {
  sim.quietly("defaults", {"write", "com.apple.dock", "orientation", "left"});
  Dock::primeEdge();
  EXPECT_EQ(Dock::edge(), DockEdge::left);
  EXPECT_THAT(fakes.processes.requests(), IsEmpty());  // the real runner did the work
}

}  // namespace
}  // namespace velmoryn
