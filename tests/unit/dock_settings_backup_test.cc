// The record of the user's Dock settings through the program's one backup,
// with the Dock's domain behind the defaults tool.
#include "dock/dock_settings_backup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <limits>

#include "dock/dock.h"
#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

using ::testing::ElementsAre;
using testing::FakeProcessRunner;

ProcessResult ended(bool started, bool timedOut, int exitStatus, const std::string& out = "") {
  ProcessResult result = FakeProcessRunner::output(out);
  result.started = started;
  result.timedOut = timedOut;
  result.exitStatus = exitStatus;
  return result;
}
const ProcessResult kMissing = ended(true, false, 1), kFailed = ended(true, false, 2),
                    kTimedOut = ended(true, true, -1), kNotStarted = ended(false, false, -1);

class DockBackupTest : public ::testing::Test {
 protected:
  DockBackupTest() {
    fake.processes.respond = [this](const ProcessRequest& request) {
      EXPECT_EQ(request.timeLimit, Dock::toolTimeLimit);
      if (!next.empty()) {
        const auto planned = next.front();
        next.pop_front();
        if (planned) return *planned;
      }
      if (request.args[0] != "read") return FakeProcessRunner::output("");
      const auto found = domain.find(request.args[2]);
      return found == domain.end() ? kMissing : FakeProcessRunner::output(found->second + "\n");
    };
  }
  std::vector<std::string> runs() { return fake.timeline.matching({"defaults", "killall"}); }
  std::string joinedRuns() {
    std::string joined;
    for (const auto& run : runs()) joined += (joined.empty() ? "" : "|") + run;
    return joined;
  }
  template <typename T>
  std::optional<T> recorded(const char* key) {
    const auto value = fake.settings.object(key);
    return value ? std::optional(std::get<T>(*value)) : std::nullopt;
  }

  testing::FakePlatform fake;
  std::map<std::string, std::string> domain;
  std::deque<std::optional<ProcessResult>> next;  // how the next runs end; none asks the domain
};

TEST_F(DockBackupTest, RecordsTheUsersOwnDelayAndAutohideWithTheMarkerLast) {
  using Text = std::optional<std::string>;
  struct Row {
    Text delay, autohide;
    std::optional<double> delayRecorded;
    std::optional<bool> autohideRecorded;
  };
  for (const Row& row : std::vector<Row>{{"0.5", "0", 0.5, false},
                                         {"150", "1", 150.0, true},
                                         {{}, "true", {}, true},
                                         {"1e2", "false", 100.0, false},
                                         {{}, {}, {}, {}},
                                         {"1000", "TRUE", {}, {}},
                                         {"1000.0", "yes", {}, {}},
                                         {"1e3", "False", {}, {}},
                                         {"soon", "2", {}, {}},
                                         {"nan", {}, {}, {}},
                                         {"-inf", {}, {}, {}},
                                         {"1e999", {}, {}, {}}}) {
    SCOPED_TRACE(row.delay.value_or("(none)") + " " + row.autohide.value_or("(none)"));
    fake.settings.values.clear();
    fake.timeline.clear();
    domain.clear();
    if (row.delay) domain["autohide-delay"] = *row.delay;
    if (row.autohide) domain["autohide"] = *row.autohide;
    Dock::saveOriginalIfNeeded();
    Dock::saveOriginalIfNeeded();  // a record is never read over
    EXPECT_EQ(recorded<double>("originalDock.autohideDelay"), row.delayRecorded);
    EXPECT_EQ(recorded<bool>("originalDock.autohide"), row.autohideRecorded);
    EXPECT_THAT(runs(), ElementsAre("defaults read com.apple.dock autohide-delay",
                                    "defaults read com.apple.dock autohide"));
    EXPECT_EQ(fake.timeline.entries().back(), "set originalDock.saved");
  }
}

TEST_F(DockBackupTest, OnlyTheProgramsOwnBooleanMarksARecord) {
  for (const SettingsValue& marker :
       {SettingsValue(std::string("yes")), SettingsValue(std::int64_t{1}), SettingsValue(false)}) {
    fake.settings.values = {{"originalDock.saved", marker}};
    Dock::saveOriginalIfNeeded();
    EXPECT_EQ(fake.settings.values.at("originalDock.saved"), SettingsValue(true));
  }
}

TEST_F(DockBackupTest, AReadIsTriedOnceMoreAndOnlyAMissingKeyCountsAsAbsent) {
  domain = {{"autohide-delay", "0.5"}, {"autohide", "1"}};
  struct Row {
    std::deque<std::optional<ProcessResult>> runs;
    bool recorded;
  };
  for (const Row& row : std::vector<Row>{
           {{kFailed}, true},
           {{kNotStarted}, true},
           {{{}, kTimedOut}, true},
           {{kMissing}, true},
           {{FakeProcessRunner::output("\n")}, true},
           {{kTimedOut, kFailed}, false},
           {{kNotStarted, kNotStarted}, false},
           {{ended(true, false, -1), ended(true, false, 1, "0.5\n")}, false},  // signal; output
           {{{}, kFailed, kFailed}, false}}) {
    fake.settings.values.clear();
    next = row.runs;
    Dock::saveOriginalIfNeeded();
    EXPECT_EQ(Dock::backup().hasSaved(), row.recorded) << row.runs.size();
    EXPECT_EQ(fake.settings.values.empty(), !row.recorded) << row.runs.size();
  }
}

TEST_F(DockBackupTest, RestoreWritesBackWhatIsRecordedDeletesTheRestAndClearsTheRecordOnce) {
  using Stored = std::optional<SettingsValue>;
  const double inf = std::numeric_limits<double>::infinity();
  const std::string deleteBoth =
      "defaults delete com.apple.dock autohide-delay|defaults delete com.apple.dock autohide";
  struct Row {
    Stored delay, autohide;
    std::string runs;
  };
  for (const Row& row :
       std::vector<Row>{{0.5, false,
                         "defaults write com.apple.dock autohide-delay -float 0.5|"
                         "defaults write com.apple.dock autohide -bool false"},
                        // A whole number may come back from the store as an integer.
                        {std::int64_t{2}, true,
                         "defaults write com.apple.dock autohide-delay -float 2.0|"
                         "defaults write com.apple.dock autohide -bool true"},
                        {{}, {}, deleteBoth},
                        {true, std::int64_t{1}, deleteBoth},
                        {std::string("0.5"), std::string("1"), deleteBoth},
                        {inf, OtherValue{}, deleteBoth},
                        {std::numeric_limits<double>::quiet_NaN(), 0.0, deleteBoth}}) {
    fake.timeline.clear();
    fake.settings.values = {{"originalDock.saved", true}};
    if (row.delay) fake.settings.values["originalDock.autohideDelay"] = *row.delay;
    if (row.autohide) fake.settings.values["originalDock.autohide"] = *row.autohide;
    Dock::restoreOriginal();
    Dock::restoreOriginal();
    EXPECT_EQ(joinedRuns(), row.runs + "|killall Dock");
    EXPECT_THAT(fake.timeline.matching({"remove", "synchronize"}),
                ElementsAre("remove originalDock.saved", "remove originalDock.autohideDelay",
                            "remove originalDock.autohide", "synchronize"));
  }
}

TEST_F(DockBackupTest, ARestoreThatCannotFinishKeepsTheRecordForTheNextOrderlyEnd) {
  const std::string writeDelay = "defaults write com.apple.dock autohide-delay -float 0.5",
                    deleteAutohide = "defaults delete com.apple.dock autohide",
                    readAutohide = "defaults read com.apple.dock autohide";
  struct Row {
    std::deque<std::optional<ProcessResult>> runs;
    bool flushed;
    std::vector<std::string> seen;
  };
  for (const Row& row :
       std::vector<Row>{{{kFailed}, true, {writeDelay, deleteAutohide, "killall Dock"}},
                        // Killed at the time limit: the rest is skipped, so a quit costs one limit.
                        {{kTimedOut}, true, {writeDelay, "killall Dock"}},
                        // Written, but the cleared record could not be flushed.
                        {{}, false, {writeDelay, deleteAutohide, "killall Dock"}},
                        // A delete that fails is checked; a key that cannot be read is not gone.
                        {{{}, kFailed, kNotStarted},
                         true,
                         {writeDelay, deleteAutohide, readAutohide, "killall Dock"}}}) {
    fake.timeline.clear();
    fake.settings.values = {{"originalDock.saved", true}, {"originalDock.autohideDelay", 0.5}};
    fake.settings.synchronizeSucceeds = row.flushed;
    next = row.runs;
    Dock::restoreOriginal();
    EXPECT_EQ(runs(), row.seen);
    EXPECT_EQ(fake.settings.values.at("originalDock.autohideDelay"), SettingsValue(0.5));

    fake.settings.synchronizeSucceeds = true;
    Dock::restoreOriginal();
    EXPECT_TRUE(fake.settings.values.empty());
  }
}

TEST_F(DockBackupTest, DeletingAKeyThatIsAlreadyGoneCountsAsRestored) {
  fake.settings.values = {{"originalDock.saved", true}};
  next = {kMissing, kMissing, kMissing, kMissing};  // defaults fails to delete and to read it
  Dock::restoreOriginal();
  EXPECT_THAT(runs(), ElementsAre("defaults delete com.apple.dock autohide-delay",
                                  "defaults read com.apple.dock autohide-delay",
                                  "defaults delete com.apple.dock autohide",
                                  "defaults read com.apple.dock autohide", "killall Dock"));
  EXPECT_TRUE(fake.settings.values.empty());
}

}  // namespace
}  // namespace velmoryn
