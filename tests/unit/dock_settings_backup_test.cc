#include "dock/dock_settings_backup.h"

#include <deque>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dock/dock.h"
#include "dock/dock_testing.h"
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
  std::deque<PrefOutcome> readOutcomes;  // one per read, then done
  PrefOutcome writeOutcome = PrefOutcome::done;

  PrefOutcome write(const std::string& call, const std::string& key,
                    std::optional<std::string> value) {
    calls.push_back(call);
    if (writeOutcome != PrefOutcome::done) return writeOutcome;
    if (value) {
      domain[key] = *value;
    } else {
      domain.erase(key);
    }
    return PrefOutcome::done;
  }

  Prefs prefs() {
    return Prefs{
        .read = [this](const std::string& key) -> PrefRead {
          calls.push_back("read " + key);
          if (!readOutcomes.empty()) {
            const PrefOutcome outcome = readOutcomes.front();
            readOutcomes.pop_front();
            if (outcome != PrefOutcome::done) return {outcome, std::nullopt};
          }
          auto found = domain.find(key);
          if (found == domain.end()) return {};
          return {PrefOutcome::done, found->second};
        },
        .writeFloat =
            [this](const std::string& key, double value) {
              return write("writeFloat " + key + " " + std::to_string(value), key,
                           std::to_string(value));
            },
        .writeBool =
            [this](const std::string& key, bool value) {
              return write("writeBool " + key + (value ? " true" : " false"), key,
                           value ? "1" : "0");
            },
        .delete_ = [this](const std::string& key) { return write("delete " + key, key, {}); },
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
  // Only the program's own Boolean marks a record; a hand-edited "yes" or 1 does not.
  for (const SettingsValue& marker :
       {SettingsValue(true), SettingsValue(std::string("yes")), SettingsValue(std::int64_t{1})}) {
    store = {};
    dock.calls.clear();
    store.values = {{"originalDock.saved", marker}, {"originalDock.autohideDelay", 0.25}};
    dock.domain = {{"autohide-delay", "0.5"}, {"autohide", "1"}};
    make().saveIfNeeded();
    const bool recorded = std::holds_alternative<bool>(marker);
    EXPECT_EQ(dock.calls.empty(), recorded) << marker.index();
    EXPECT_EQ(std::get<double>(store.values.at("originalDock.autohideDelay")),
              recorded ? 0.25 : 0.5);
  }
}

TEST_F(DockSettingsBackupTest, MissingKeysLeaveOnlyTheMarker) {
  make().saveIfNeeded();
  EXPECT_THAT(store.operations,
              ElementsAre("remove originalDock.autohideDelay", "remove originalDock.autohide",
                          "set originalDock.saved"));
  EXPECT_EQ(store.values.size(), 1u);
}

TEST_F(DockSettingsBackupTest, TheProgramsOwnDelayAndUnreadableTextsAreNotRecorded) {
  for (const char* delay : {"1000", "1000.0", "1e3", "soon", " 5", "-inf", "nan", "inf", "1e999"}) {
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

TEST_F(DockSettingsBackupTest, RestoreDeletesWhatWasAbsentOrOfTheWrongTypeOrNotFinite) {
  const std::vector<std::pair<SettingsValue, SettingsValue>> records = {
      {true, std::int64_t{1}},
      {std::string("0.5"), std::string("1")},
      {std::numeric_limits<double>::infinity(), OtherValue{}},
      {std::numeric_limits<double>::quiet_NaN(), 0.0}};
  for (const auto& [delay, autohide] : records) {
    dock.calls.clear();
    store.values = {{"originalDock.saved", true},
                    {"originalDock.autohideDelay", delay},
                    {"originalDock.autohide", autohide}};
    make().restore();
    EXPECT_THAT(dock.calls, ElementsAre("delete autohide-delay", "delete autohide", "reload"));
    EXPECT_TRUE(store.values.empty());
  }
}

TEST_F(DockSettingsBackupTest, RestoreWithoutARecordRunsNothing) {
  make().restore();
  EXPECT_THAT(dock.calls, IsEmpty());
  EXPECT_THAT(store.operations, IsEmpty());
}

TEST_F(DockSettingsBackupTest, AReadThatFailsOnceIsTriedAgainAndTwiceTakesNoRecord) {
  struct Row {
    std::deque<PrefOutcome> reads;
    std::vector<std::string> calls;
    bool recorded;
  };
  const auto failed = PrefOutcome::failed, timedOut = PrefOutcome::timedOut;
  const std::vector<Row> rows = {
      {{failed}, {"read autohide-delay", "read autohide-delay", "read autohide"}, true},
      {{PrefOutcome::done, timedOut},
       {"read autohide-delay", "read autohide", "read autohide"},
       true},
      {{timedOut, failed}, {"read autohide-delay", "read autohide-delay"}, false},
      {{PrefOutcome::done, failed, failed},
       {"read autohide-delay", "read autohide", "read autohide"},
       false},
  };
  for (const auto& row : rows) {
    store = {};
    dock.calls.clear();
    dock.domain = {{"autohide-delay", "0.5"}, {"autohide", "1"}};
    dock.readOutcomes = row.reads;
    auto backup = make();
    backup.saveIfNeeded();
    EXPECT_EQ(dock.calls, row.calls);
    EXPECT_EQ(backup.hasSaved(), row.recorded);
    if (!row.recorded) {
      EXPECT_THAT(store.operations, IsEmpty());
    }
  }
}

TEST_F(DockSettingsBackupTest, ARestoreThatCannotFinishReloadsOnceAndKeepsTheRecord) {
  struct Row {
    PrefOutcome write;
    bool flushed;
    std::vector<std::string> calls;
  };
  const std::vector<Row> rows = {
      // Failed: the other key is still tried.
      {PrefOutcome::failed,
       true,
       {"writeFloat autohide-delay 0.500000", "delete autohide", "reload"}},
      // Killed at the time limit: the rest is skipped, so a quit costs one limit.
      {PrefOutcome::timedOut, true, {"writeFloat autohide-delay 0.500000", "reload"}},
      // Written, but the cleared record could not be flushed.
      {PrefOutcome::done,
       false,
       {"writeFloat autohide-delay 0.500000", "delete autohide", "reload"}},
  };
  for (const auto& row : rows) {
    store = {};
    store.values = {{"originalDock.saved", true}, {"originalDock.autohideDelay", 0.5}};
    store.synchronizeSucceeds = row.flushed;
    dock.calls.clear();
    dock.writeOutcome = row.write;
    auto backup = make();
    backup.restore();
    EXPECT_EQ(dock.calls, row.calls);
    EXPECT_TRUE(backup.hasSaved());
    EXPECT_EQ(std::get<double>(store.values.at("originalDock.autohideDelay")), 0.5);
    EXPECT_FALSE(store.values.contains("originalDock.autohide"));
  }

  // The next orderly end puts the values back.
  store.synchronizeSucceeds = true;
  dock.writeOutcome = PrefOutcome::done;
  make().restore();
  EXPECT_EQ(dock.domain.at("autohide-delay"), std::to_string(0.5));
  EXPECT_TRUE(store.values.empty());
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

// How defaults ended: started, killed at the limit, exit status (-1 for a signal), output.
ProcessResult ended(bool started, bool timedOut, int exitStatus, const std::string& out = "") {
  ProcessResult result;
  result.started = started;
  result.timedOut = timedOut;
  result.exitStatus = exitStatus;
  result.out = out;
  return result;
}

TEST_F(DockBackupWiringTest, OnlyAnEmptyReadWithStatusOneIsAbsentAndAnyOtherFailureTakesNoRecord) {
  struct Row {
    ProcessResult delayRead;  // every read of the delay ends so
    bool recorded;
  };
  const std::vector<Row> rows = {
      {ended(true, false, 1), true},            // the key does not exist
      {ended(true, false, 0, "\n"), true},      // a value, though an empty one
      {ended(false, false, -1), false},         // the tool did not start
      {ended(true, true, -1), false},           // killed at its time limit
      {ended(true, false, -1), false},          // died by a signal
      {ended(true, false, 1, "0.5\n"), false},  // status 1 with output is no "absent"
      {ended(true, false, 2), false},           // any other status
  };
  for (const auto& row : rows) {
    fake.settings.values.clear();
    fake.processes.clear();
    resetDockStateForTesting();
    fake.processes.respond = [&row](const ProcessRequest& request) {
      EXPECT_EQ(request.timeLimit, Dock::toolTimeLimit);
      if (request.args.back() == "autohide") return FakeProcessRunner::output("1\n");
      return row.delayRead;
    };
    Dock::saveOriginalIfNeeded();
    EXPECT_EQ(Dock::backup().hasSaved(), row.recorded) << row.delayRead.exitStatus;
    EXPECT_FALSE(fake.settings.values.contains("originalDock.autohideDelay"));
    if (row.recorded) {
      EXPECT_EQ(std::get<bool>(fake.settings.values.at("originalDock.autohide")), true);
    } else {
      EXPECT_THAT(fake.processes.commandLines(),
                  ElementsAre("defaults read com.apple.dock autohide-delay",
                              "defaults read com.apple.dock autohide-delay"));
    }
  }
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
    fake.processes.clear();
    fake.processes.respond = [timedOut](const ProcessRequest& request) {
      if (request.path != "/usr/bin/defaults") return FakeProcessRunner::output("");
      return ended(timedOut, timedOut, -1);
    };
    Dock::restoreOriginal();
    EXPECT_TRUE(Dock::backup().hasSaved()) << timedOut;
    // After a time-out nothing more waits on defaults: one limit, then the restart.
    const std::vector<std::string> killed = {"defaults delete com.apple.dock autohide-delay",
                                             "killall Dock"};
    if (timedOut) {
      EXPECT_EQ(fake.processes.commandLines(), killed);
    }
    EXPECT_EQ(fake.processes.commandLines().back(), "killall Dock");
  }
}

}  // namespace
}  // namespace velmoryn
