#include "dock/dock_settings_backup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dock/dock.h"
#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

using ::testing::ElementsAre;
using testing::FakePlatform;
using testing::FakeProcessRunner;
using testing::FakeSettingsStore;
using ::testing::IsEmpty;

// A Dock domain in memory behind the five operations, recording each call.
struct FakeDockPrefs {
  std::map<std::string, std::string> domain;
  std::vector<std::string> calls;
  bool writesFail = false;

  Prefs prefs() {
    return Prefs{
        .read = [this](const std::string& key) -> std::optional<std::string> {
          calls.push_back("read " + key);
          auto found = domain.find(key);
          if (found == domain.end()) return std::nullopt;
          return found->second;
        },
        .writeFloat =
            [this](const std::string& key, double value) {
              calls.push_back("writeFloat " + key + " " + std::to_string(value));
              if (!writesFail) domain[key] = std::to_string(value);
              return !writesFail;
            },
        .writeBool =
            [this](const std::string& key, bool value) {
              calls.push_back("writeBool " + key + (value ? " true" : " false"));
              if (!writesFail) domain[key] = value ? "1" : "0";
              return !writesFail;
            },
        .delete_ =
            [this](const std::string& key) {
              calls.push_back("delete " + key);
              if (!writesFail) domain.erase(key);
              return !writesFail;
            },
        .reload = [this] { calls.push_back("reload"); },
    };
  }
};

class DockSettingsBackupTest : public ::testing::Test {
 protected:
  DockSettingsBackup make() { return DockSettingsBackup(store, dock.prefs(), 1000.0); }

  FakeSettingsStore store;
  FakeDockPrefs dock;
};

TEST_F(DockSettingsBackupTest, RecordsDelayThenAutohideThenTheMarkerLast) {
  dock.domain = {{"autohide-delay", "0.5"}, {"autohide", "0"}};
  auto backup = make();
  backup.saveIfNeeded();
  EXPECT_THAT(dock.calls, ElementsAre("read autohide-delay", "read autohide"));
  EXPECT_THAT(store.operations, ElementsAre("set originalDock.autohideDelay",
                                            "set originalDock.autohide", "set originalDock.saved"));
  EXPECT_EQ(std::get<double>(store.values.at("originalDock.autohideDelay")), 0.5);
  EXPECT_EQ(std::get<bool>(store.values.at("originalDock.autohide")), false);
  EXPECT_TRUE(backup.hasSaved());
}

TEST_F(DockSettingsBackupTest, AnExistingRecordIsNeverOverwrittenOrEvenRead) {
  store.values = {{"originalDock.saved", true}, {"originalDock.autohideDelay", 0.25}};
  dock.domain = {{"autohide-delay", "1000"}, {"autohide", "1"}};
  make().saveIfNeeded();
  EXPECT_THAT(dock.calls, IsEmpty());
  EXPECT_THAT(store.operations, IsEmpty());
}

TEST_F(DockSettingsBackupTest, MissingKeysLeaveOnlyTheMarker) {
  make().saveIfNeeded();
  EXPECT_THAT(store.operations,
              ElementsAre("remove originalDock.autohideDelay", "remove originalDock.autohide",
                          "set originalDock.saved"));
  EXPECT_EQ(store.values.size(), 1u);
}

TEST_F(DockSettingsBackupTest, TheProgramsOwnDelayAndUnreadableTextsAreNotRecorded) {
  for (const char* delay : {"1000", "1000.0", "1e3", "soon", " 5"}) {
    store = {};
    dock.domain = {{"autohide-delay", delay}};
    make().saveIfNeeded();
    EXPECT_FALSE(store.values.contains("originalDock.autohideDelay")) << delay;
  }
}

TEST_F(DockSettingsBackupTest, AutohideIsRecordedOnlyFromTheFourExactWords) {
  const std::vector<std::pair<std::string, std::optional<bool>>> cases = {
      {"1", true},  {"true", true}, {"0", false},  {"false", false},
      {"TRUE", {}}, {"yes", {}},    {"False", {}}, {"2", {}}};
  for (const auto& [text, expected] : cases) {
    store = {};
    dock.domain = {{"autohide", text}};
    make().saveIfNeeded();
    const auto stored = store.object("originalDock.autohide");
    if (expected) {
      ASSERT_TRUE(stored.has_value()) << text;
      EXPECT_EQ(std::get<bool>(*stored), *expected) << text;
    } else {
      EXPECT_FALSE(stored.has_value()) << text;
    }
  }
}

TEST_F(DockSettingsBackupTest, RestoreWritesTheUsersValuesBackReloadsOnceAndClearsTheRecord) {
  store.values = {{"originalDock.saved", true},
                  {"originalDock.autohideDelay", 0.5},
                  {"originalDock.autohide", false}};
  auto backup = make();
  backup.restore();
  EXPECT_THAT(dock.calls, ElementsAre("writeFloat autohide-delay 0.500000",
                                      "writeBool autohide false", "reload"));
  EXPECT_THAT(store.operations,
              ElementsAre("remove originalDock.saved", "remove originalDock.autohideDelay",
                          "remove originalDock.autohide", "synchronize"));
  EXPECT_TRUE(store.values.empty());

  dock.calls.clear();
  backup.restore();
  EXPECT_THAT(dock.calls, IsEmpty());
}

TEST_F(DockSettingsBackupTest, RestoreDeletesWhatWasAbsentOrOfTheWrongType) {
  store.values = {{"originalDock.saved", true},
                  {"originalDock.autohideDelay", true},
                  {"originalDock.autohide", std::int64_t{1}}};
  make().restore();
  EXPECT_THAT(dock.calls, ElementsAre("delete autohide-delay", "delete autohide", "reload"));
}

TEST_F(DockSettingsBackupTest, RestoreWithoutARecordRunsNothing) {
  make().restore();
  EXPECT_THAT(dock.calls, IsEmpty());
  EXPECT_THAT(store.operations, IsEmpty());
}

TEST_F(DockSettingsBackupTest, AFailedWriteStillReloadsButKeepsTheRecordForTheNextEnd) {
  store.values = {{"originalDock.saved", true}, {"originalDock.autohideDelay", 0.5}};
  dock.writesFail = true;
  auto backup = make();
  backup.restore();
  EXPECT_THAT(dock.calls,
              ElementsAre("writeFloat autohide-delay 0.500000", "delete autohide", "reload"));
  EXPECT_TRUE(backup.hasSaved());
  EXPECT_EQ(std::get<double>(store.values.at("originalDock.autohideDelay")), 0.5);

  dock.writesFail = false;
  dock.calls.clear();
  backup.restore();
  EXPECT_EQ(dock.domain.at("autohide-delay"), std::to_string(0.5));
  EXPECT_FALSE(backup.hasSaved());
}

// The shared instance, wired to the preference tool.
class DockBackupWiringTest : public ::testing::Test {
 protected:
  FakePlatform fake;
};

TEST_F(DockBackupWiringTest, RestoreRunsTheToolsInOrderWithTheDecimalText) {
  fake.settings.values = {{"originalDock.saved", true},
                          {"originalDock.autohideDelay", 2.0},
                          {"originalDock.autohide", true}};
  Dock::restoreOriginal();
  EXPECT_THAT(fake.processes.commandLines(),
              ElementsAre("defaults write com.apple.dock autohide-delay -float 2.0",
                          "defaults write com.apple.dock autohide -bool true", "killall Dock"));
  EXPECT_FALSE(Dock::backup().hasSaved());
}

TEST_F(DockBackupWiringTest, SaveReadsBothKeysAndTreatsAnEmptyReadAsAbsent) {
  fake.processes.respond = [](const ProcessRequest& request) {
    return FakeProcessRunner::output(request.args.back() == "autohide" ? "1\n" : "");
  };
  Dock::saveOriginalIfNeeded();
  EXPECT_THAT(fake.processes.commandLines(),
              ElementsAre("defaults read com.apple.dock autohide-delay",
                          "defaults read com.apple.dock autohide"));
  EXPECT_FALSE(fake.settings.values.contains("originalDock.autohideDelay"));
  EXPECT_EQ(std::get<bool>(fake.settings.values.at("originalDock.autohide")), true);
}

TEST_F(DockBackupWiringTest, DeletingAKeyThatIsAlreadyGoneCountsAsRestored) {
  fake.settings.values = {{"originalDock.saved", true}};
  // defaults fails to delete and to read a key that does not exist.
  fake.processes.respond = [](const ProcessRequest& request) {
    ProcessResult result = FakeProcessRunner::output("");
    if (request.path == "/usr/bin/defaults") result.exitStatus = 1;
    return result;
  };
  Dock::restoreOriginal();
  EXPECT_THAT(fake.processes.commandLines(),
              ElementsAre("defaults delete com.apple.dock autohide-delay",
                          "defaults read com.apple.dock autohide-delay",
                          "defaults delete com.apple.dock autohide",
                          "defaults read com.apple.dock autohide", "killall Dock"));
  EXPECT_FALSE(Dock::backup().hasSaved());
}

TEST_F(DockBackupWiringTest, AToolThatCannotRunOrIsKilledKeepsTheRecord) {
  fake.settings.values = {{"originalDock.saved", true}, {"originalDock.autohide", false}};
  for (const bool timedOut : {false, true}) {
    fake.processes.respond = [timedOut](const ProcessRequest& request) {
      if (request.path != "/usr/bin/defaults") return FakeProcessRunner::output("");
      ProcessResult result;
      result.started = timedOut;
      result.timedOut = timedOut;
      return result;
    };
    Dock::restoreOriginal();
    EXPECT_TRUE(Dock::backup().hasSaved()) << timedOut;
    EXPECT_EQ(fake.processes.commandLines().back(), "killall Dock");
  }
}

}  // namespace
}  // namespace velmoryn
