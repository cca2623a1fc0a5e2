#include "dock/dock_settings_backup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <limits>

#include "dock/dock.h"
#include "dock/dock_testing.h"
#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

using ::testing::ElementsAre;
using testing::FakeProcessRunner;
using ::testing::IsEmpty;

// The Dock's domain behind the five operations; every call and every change of
// the record goes into one timeline.
struct Backup {
  Backup() { store.timeline = &timeline; }
  PrefOutcome write(std::string call, const std::string& key, std::optional<std::string> value) {
    timeline.add(std::move(call));
    if (writeOutcome == PrefOutcome::done)
      value ? void(domain[key] = *value) : void(domain.erase(key));
    return writeOutcome;
  }
  DockSettingsBackup make() {
    return DockSettingsBackup(
        store,
        Prefs{.read = [this](const std::string& key) -> PrefRead {
                timeline.add("read " + key);
                const PrefOutcome outcome = reads.empty() ? PrefOutcome::done : reads.front();
                if (!reads.empty()) reads.pop_front();
                if (outcome != PrefOutcome::done) return {outcome, std::nullopt};
                return {PrefOutcome::done,
                        domain.contains(key) ? std::optional(domain[key]) : std::nullopt};
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
              .reload = [this] { timeline.add("reload"); }},
        1000.0);
  }

  testing::Timeline timeline;
  testing::FakeSettingsStore store;
  std::map<std::string, std::string> domain;
  std::deque<PrefOutcome> reads;  // how each read ends, then done
  PrefOutcome writeOutcome = PrefOutcome::done;
};

TEST(DockSettingsBackup, RecordsTheUsersOwnDelayAndAutohideWithTheMarkerLast) {
  struct Row {
    std::optional<std::string> delay, autohide;  // the Dock's texts
    std::optional<double> recordedDelay;
    std::optional<bool> recordedAutohide;
  };
  for (const Row& row : std::vector<Row>{{"0.5", "0", 0.5, false},
                                         {"150", "1", 150.0, true},
                                         {{}, "true", {}, true},
                                         {"1e2", "false", 100.0, false},
                                         {{}, {}, {}, {}},
                                         // The program's own delay, and texts that are no delay.
                                         {"1000", "TRUE", {}, {}},
                                         {"1000.0", "yes", {}, {}},
                                         {"1e3", "False", {}, {}},
                                         {"soon", "2", {}, {}},
                                         {" 5", {}, {}, {}},
                                         {"nan", {}, {}, {}},
                                         {"-inf", {}, {}, {}},
                                         {"1e999", {}, {}, {}}}) {
    SCOPED_TRACE(row.delay.value_or("(none)") + " " + row.autohide.value_or("(none)"));
    Backup b;
    if (row.delay) b.domain["autohide-delay"] = *row.delay;
    if (row.autohide) b.domain["autohide"] = *row.autohide;
    b.make().saveIfNeeded();
    const auto delay = b.store.object("originalDock.autohideDelay");
    EXPECT_EQ(delay ? std::optional(std::get<double>(*delay)) : std::nullopt, row.recordedDelay);
    const auto autohide = b.store.object("originalDock.autohide");
    EXPECT_EQ(autohide ? std::optional(std::get<bool>(*autohide)) : std::nullopt,
              row.recordedAutohide);
    const auto entries = b.timeline.entries();
    EXPECT_THAT(std::vector(entries.begin(), entries.begin() + 2),
                ElementsAre("read autohide-delay", "read autohide"));
    EXPECT_EQ(entries.back(), "set originalDock.saved");
  }
}

TEST(DockSettingsBackup, AnExistingRecordIsNeverReadOverOnlyTheProgramsOwnMarkerCounts) {
  for (const SettingsValue& marker :
       {SettingsValue(true), SettingsValue(std::string("yes")), SettingsValue(std::int64_t{1})}) {
    Backup b;
    b.store.values = {{"originalDock.saved", marker}};
    b.domain = {{"autohide-delay", "0.5"}};
    b.make().saveIfNeeded();
    EXPECT_EQ(b.timeline.entries().empty(), std::holds_alternative<bool>(marker));
  }
}

TEST(DockSettingsBackup, AReadThatFailsIsTriedOnceMoreAndTwiceTakesNoRecord) {
  const auto done = PrefOutcome::done, failed = PrefOutcome::failed,
             timedOut = PrefOutcome::timedOut;
  struct Row {
    std::deque<PrefOutcome> reads;
    std::size_t readCount;
    bool recorded;
  };
  for (const Row& row : std::vector<Row>{{{failed}, 3, true},
                                         {{done, timedOut}, 3, true},
                                         {{timedOut, failed}, 2, false},
                                         {{done, failed, failed}, 3, false}}) {
    Backup b;
    b.reads = row.reads;
    auto backup = b.make();
    backup.saveIfNeeded();
    EXPECT_EQ(backup.hasSaved(), row.recorded);
    EXPECT_EQ(b.timeline.matching({"read"}).size(), row.readCount);
    EXPECT_EQ(b.timeline.matching({"set", "remove"}).empty(), !row.recorded);
  }
}

TEST(DockSettingsBackup, RestoreWritesBackWhatIsRecordedDeletesTheRestAndClearsTheRecordOnce) {
  using Stored = std::optional<SettingsValue>;
  const double inf = std::numeric_limits<double>::infinity(),
               nan = std::numeric_limits<double>::quiet_NaN();
  struct Row {
    Stored delay, autohide;
    std::vector<std::string> calls;
  };
  for (const Row& row : std::vector<Row>{
           {0.5, false, {"writeFloat autohide-delay 0.500000", "writeBool autohide false"}},
           // A whole number may come back from the store as an integer.
           {std::int64_t{2},
            true,
            {"writeFloat autohide-delay 2.000000", "writeBool autohide true"}},
           {{}, {}, {"delete autohide-delay", "delete autohide"}},
           {true, std::int64_t{1}, {"delete autohide-delay", "delete autohide"}},
           {std::string("0.5"), std::string("1"), {"delete autohide-delay", "delete autohide"}},
           {inf, OtherValue{}, {"delete autohide-delay", "delete autohide"}},
           {nan, 0.0, {"delete autohide-delay", "delete autohide"}}}) {
    Backup b;
    b.store.values["originalDock.saved"] = true;
    if (row.delay) b.store.values["originalDock.autohideDelay"] = *row.delay;
    if (row.autohide) b.store.values["originalDock.autohide"] = *row.autohide;
    auto backup = b.make();
    backup.restore();
    backup.restore();
    std::vector<std::string> expected = row.calls;
    expected.insert(expected.end(),
                    {"reload", "remove originalDock.saved", "remove originalDock.autohideDelay",
                     "remove originalDock.autohide", "synchronize"});
    EXPECT_EQ(b.timeline.entries(), expected);
    EXPECT_TRUE(b.store.values.empty());
  }
}

TEST(DockSettingsBackup, ARestoreThatCannotFinishReloadsOnceKeepsTheRecordAndTheNextOneFinishes) {
  struct Row {
    PrefOutcome write;
    bool flushed;
    std::vector<std::string> calls;
  };
  for (const Row& row : std::vector<Row>{
           {PrefOutcome::failed, true, {"writeFloat autohide-delay 0.500000", "delete autohide"}},
           // Killed at the time limit: the rest is skipped, so a quit costs one limit.
           {PrefOutcome::timedOut, true, {"writeFloat autohide-delay 0.500000"}},
           // Written, but the cleared record could not be flushed.
           {PrefOutcome::done, false, {"writeFloat autohide-delay 0.500000", "delete autohide"}}}) {
    Backup b;
    b.store.values = {{"originalDock.saved", true}, {"originalDock.autohideDelay", 0.5}};
    b.store.synchronizeSucceeds = row.flushed;
    b.writeOutcome = row.write;
    b.make().restore();
    EXPECT_EQ(b.timeline.matching({"write", "delete", "reload"}).size(), row.calls.size() + 1);
    EXPECT_EQ(b.store.values.at("originalDock.autohideDelay"), SettingsValue(0.5));
    EXPECT_TRUE(b.make().hasSaved());

    b.store.synchronizeSucceeds = true;
    b.writeOutcome = PrefOutcome::done;
    b.make().restore();
    EXPECT_EQ(b.domain.at("autohide-delay"), std::to_string(0.5));
    EXPECT_TRUE(b.store.values.empty());
  }
}

// The shared instance, wired to the preference tool.
ProcessResult ended(bool started, bool timedOut, int exitStatus, const std::string& out = "") {
  ProcessResult result;
  result.started = started;
  result.timedOut = timedOut;
  result.exitStatus = exitStatus;
  result.out = out;
  return result;
}

TEST(DockBackup, RestoreRunsTheToolsInOrderWithTheDecimalText) {
  testing::FakePlatform fake;
  fake.settings.values = {{"originalDock.saved", true},
                          {"originalDock.autohideDelay", 2.0},
                          {"originalDock.autohide", true}};
  Dock::restoreOriginal();
  EXPECT_THAT(fake.processes.commandLines(),
              ElementsAre("defaults write com.apple.dock autohide-delay -float 2.0",
                          "defaults write com.apple.dock autohide -bool true", "killall Dock"));
  EXPECT_FALSE(Dock::backup().hasSaved());
}

TEST(DockBackup, OnlyAnEmptyReadWithStatusOneIsAbsentAndAnyOtherFailureTakesNoRecord) {
  for (const auto& [delayRead, recorded] : std::vector<std::pair<ProcessResult, bool>>{
           {ended(true, false, 1), true},            // the key does not exist
           {ended(true, false, 0, "\n"), true},      // a value, though an empty one
           {ended(false, false, -1), false},         // the tool did not start
           {ended(true, true, -1), false},           // killed at its time limit
           {ended(true, false, -1), false},          // died by a signal
           {ended(true, false, 1, "0.5\n"), false},  // status 1 with output
           {ended(true, false, 2), false}}) {
    testing::FakePlatform fake;
    fake.processes.respond = [&](const ProcessRequest& request) {
      EXPECT_EQ(request.timeLimit, Dock::toolTimeLimit);
      return request.args.back() == "autohide" ? FakeProcessRunner::output("1\n") : delayRead;
    };
    Dock::saveOriginalIfNeeded();
    EXPECT_EQ(Dock::backup().hasSaved(), recorded) << delayRead.exitStatus;
    EXPECT_FALSE(fake.settings.values.contains("originalDock.autohideDelay"));
  }
}

TEST(DockBackup, ADeleteOfAKeyAlreadyGoneIsDoneAndAToolThatCannotRunKeepsTheRecord) {
  struct Row {
    ProcessResult defaults;  // how every defaults run ends
    std::vector<std::string> runs;
    bool kept;
  };
  const std::string deleteDelay = "defaults delete com.apple.dock autohide-delay";
  for (const Row& row : std::vector<Row>{
           {ended(true, false, 1),
            {deleteDelay, "defaults read com.apple.dock autohide-delay",
             "defaults delete com.apple.dock autohide", "defaults read com.apple.dock autohide",
             "killall Dock"},
            false},
           {ended(false, false, -1),
            {deleteDelay, "defaults read com.apple.dock autohide-delay",
             "defaults delete com.apple.dock autohide", "defaults read com.apple.dock autohide",
             "killall Dock"},
            true},
           // After a time-out nothing more waits on defaults: one limit, then the restart.
           {ended(true, true, -1), {deleteDelay, "killall Dock"}, true}}) {
    testing::FakePlatform fake;
    fake.settings.values = {{"originalDock.saved", true}};
    fake.processes.respond = [&](const ProcessRequest& request) {
      return request.path == "/usr/bin/defaults" ? row.defaults : FakeProcessRunner::output("");
    };
    Dock::restoreOriginal();
    EXPECT_EQ(fake.processes.commandLines(), row.runs);
    EXPECT_EQ(Dock::backup().hasSaved(), row.kept);
  }
}

}  // namespace
}  // namespace velmoryn
