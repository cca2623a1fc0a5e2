// Every Dock operation against a fake defaults tool; the texts themselves: tool_output_test.cc.
#include "dock/dock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <deque>

#include "dock/dock_settings_backup.h"
#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

using ::testing::ElementsAre;
using testing::FakeProcessRunner;
using Lines = std::vector<std::string>;
using Record = std::map<std::string, SettingsValue>;
using Text = std::optional<std::string>;                // none: the key does not exist
using Plan = std::deque<std::optional<ProcessResult>>;  // how the next runs end; none: normally

// defaults reports a missing key with status 1 and nothing printed.
const ProcessResult kMissing{.started = true, .exitStatus = 1, .out = ""};
const ProcessResult kFailed{.started = true, .exitStatus = 2, .out = ""};
const ProcessResult kTimedOut{.started = true, .timedOut = true, .out = ""};
const ProcessResult kKilled{.started = true, .out = ""};
const ProcessResult kNotStarted{};
const ProcessResult kFailedSaying{.started = true, .exitStatus = 1, .out = "0.5\n"};
const std::string kSaved = "originalDock.saved";
const std::string kSetAutohide =
    "tell application \"System Events\" to tell dock preferences to set autohide to ";
const std::string kHide = kSetAutohide + "true", kShow = kSetAutohide + "false";
const std::string kReadDelay = "defaults read com.apple.dock autohide-delay",
                  kReadAutohide = "defaults read com.apple.dock autohide",
                  kReadEdge = "defaults read com.apple.dock orientation",
                  kWriteLongDelay = "defaults write com.apple.dock autohide-delay -float 1000",
                  kWriteHalfDelay = "defaults write com.apple.dock autohide-delay -float 0.5",
                  kDeleteDelay = "defaults delete com.apple.dock autohide-delay",
                  kDeleteAutohide = "defaults delete com.apple.dock autohide",
                  kWriteDelay2 = "defaults write com.apple.dock autohide-delay -float 2.0",
                  kWriteAutohideOn = "defaults write com.apple.dock autohide -bool true",
                  kRestart = "killall Dock";

class DockTest : public ::testing::Test {
 protected:
  DockTest() {
    fake.processes.respond = [this](const ProcessRequest& request) {
      EXPECT_EQ(request.timeLimit, kToolTimeLimit);
      EXPECT_EQ(request.path.rfind("/usr/bin/", 0), 0u) << "the system's own tools, by path";
      const auto planned = next.empty() ? std::nullopt : next.front();
      if (!next.empty()) next.pop_front();
      if (planned) return *planned;
      if (request.args[0] != "read") return FakeProcessRunner::output("");
      const Text& value = domain[request.args.at(2)];
      return value ? FakeProcessRunner::output(*value + "\n") : kMissing;
    };
  }
  // The tools run since the last call, as the fake recorded them.
  Lines runs() {
    Lines lines = fake.timeline.matching({"defaults", "killall", "osascript"});
    fake.timeline.clear();
    return lines;
  }
  int refreshSteps() { return fake.utilityQueue.drain() + fake.mainQueue.drain(); }
  // The record saveIfNeeded leaves, its tool runs ending as planned.
  Record save(Plan plan) {
    next = std::move(plan);
    dock.backup().saveIfNeeded();
    return std::exchange(fake.settings.values, {});
  }

  testing::FakePlatform fake;
  std::map<std::string, Text> domain;
  Plan next;
  Dock dock;
};

TEST_F(DockTest, EachScriptIsBuiltOnceAndAnErrorFallsBackToOsascriptWithTheSameLine) {
  fake.appleScript.failCreation = true;
  fake.appleScript.executeReportsError = -1743;
  EXPECT_FALSE(dock.hide().switched);  // no script, so no fallback either
  fake.appleScript.failCreation = false;
  EXPECT_FALSE(dock.hide().switched);  // and none for the rest of the run
  EXPECT_EQ(dock.show().scriptError, -1743);
  EXPECT_THAT(fake.timeline.entries(),
              ElementsAre("create " + kHide, "create " + kShow, "compile " + kShow,
                          "execute " + kShow, "osascript -e " + kShow));
}

TEST_F(DockTest, ADelayOfAtLeast100SecondsIsKeptAnyOtherBecomes1000AndTheDockRestarts) {
  const struct {
    const char* name;
    Text delay;
    bool kept;
  } rows[] = {
      {.name = "exactly 100", .delay = "100", .kept = true},
      {.name = "just under 100", .delay = "99.99999", .kept = false},
      {.name = "infinity", .delay = "inf", .kept = false},
      {.name = "not a number", .delay = "nan", .kept = false},
      {.name = "no delay set", .delay = std::nullopt, .kept = false},
  };
  const Lines replaced = {kReadDelay, kWriteLongDelay, kRestart};
  for (const auto& row : rows) {
    domain["autohide-delay"] = row.delay;
    dock.setupHiddenDelay();
    EXPECT_EQ(runs(), row.kept ? Lines{kReadDelay} : replaced) << row.name;
  }
}

TEST_F(DockTest, OnlyAutohideOneIsHidden) {
  const struct {
    Text autohide;
    bool hidden;
  } rows[] = {
      {.autohide = "1", .hidden = true},     {.autohide = " 1", .hidden = true},
      {.autohide = "0", .hidden = false},    {.autohide = "11", .hidden = false},
      {.autohide = "true", .hidden = false}, {.autohide = {}, .hidden = false},
  };
  for (const auto& row : rows) {
    domain["autohide"] = row.autohide;
    EXPECT_EQ(dock.isHidden(), row.hidden) << row.autohide.value_or("(missing)");
  }
}

TEST_F(DockTest, TheEdgeIsLeftOrRightByExactNameAndOtherwiseTheBottom) {
  const struct {
    Text orientation;
    DockEdge edge;
  } rows[] = {
      {.orientation = "left", .edge = DockEdge::left},
      {.orientation = "\tright", .edge = DockEdge::right},
      {.orientation = "LEFT", .edge = DockEdge::bottom},
      {.orientation = "top", .edge = DockEdge::bottom},
      {.orientation = {}, .edge = DockEdge::bottom},
      {.orientation = "left", .edge = DockEdge::left},
  };
  for (const auto& row : rows) {
    domain["orientation"] = row.orientation;
    dock.primeEdge();
    EXPECT_EQ(dock.edge(), row.edge) << row.orientation.value_or("(missing)");
    EXPECT_EQ(runs(), Lines{kReadEdge});
    EXPECT_EQ(refreshSteps(), 0) << "just read: no refresh";
  }
}

TEST_F(DockTest, AReadRefreshesTheEdgeInTheBackgroundOnlyOnceItIsOlderThanFiveSeconds) {
  domain["orientation"] = "left";
  EXPECT_EQ(dock.edge(), DockEdge::bottom);  // never read: the distant past is stale
  EXPECT_EQ(runs(), Lines{}) << "the tool runs on the utility queue, not here";
  domain["orientation"] = "right";
  EXPECT_EQ(dock.edge(), DockEdge::bottom);  // still refreshing: no second refresh
  fake.clock.current += 60;
  EXPECT_EQ(refreshSteps(), 2);
  EXPECT_EQ(dock.edge(), DockEdge::right);
  domain["orientation"] = "left";
  fake.clock.current += 5.0;  // counted from the completion on the main thread
  dock.edge();
  EXPECT_EQ(refreshSteps(), 0);
  fake.clock.current += 0.001;
  dock.edge();
  dock.primeEdge();  // a refresh under way still overwrites what priming read
  domain["orientation"] = "right";
  EXPECT_EQ(refreshSteps(), 2);
  EXPECT_EQ(dock.edge(), DockEdge::right);
}

// Only the program's own delay is not the user's; only 1, 0, true and false are Booleans.
TEST_F(DockTest, RecordsTheUsersOwnDelayAndAutohideWithTheMarkerLast) {
  const struct {
    const char* name;
    Text delay = {}, autohide = {};
    std::optional<SettingsValue> delayRecorded = {}, autohideRecorded = {};
  } rows[] = {
      {.name = "no delay, autohide as a word", .autohide = "true", .autohideRecorded = true},
      {.name = "an exponent, autohide off as a word",
       .delay = "1e2",
       .autohide = "false",
       .delayRecorded = 100.0,
       .autohideRecorded = false},
      {.name = "the program's own delay, autohide in capitals",
       .delay = "1000",
       .autohide = "TRUE"},
      {.name = "neither a number nor a Boolean", .delay = "soon", .autohide = "2"},
      {.name = "an infinite delay", .delay = "1e999"},
  };
  for (const auto& row : rows) {
    domain = {{"autohide-delay", row.delay}, {"autohide", row.autohide}};
    Record record = {{kSaved, true}};
    if (row.delayRecorded) record["originalDock.autohideDelay"] = *row.delayRecorded;
    if (row.autohideRecorded) record["originalDock.autohide"] = *row.autohideRecorded;
    EXPECT_EQ(save({}), record) << row.name;
  }
}

// A hand-edited marker would mark a record that holds nothing usable: it is
// read over, and what it left that is not the user's now goes.
TEST_F(DockTest, OnlyTheProgramsOwnTrueMarksARecord) {
  domain = {{"autohide-delay", "1000"}, {"autohide", "2"}};
  for (const SettingsValue& marker :
       {SettingsValue{std::string("yes")}, SettingsValue{std::int64_t{1}}, SettingsValue{false}}) {
    fake.settings.values = {
        {kSaved, marker}, {"originalDock.autohideDelay", 0.5}, {"originalDock.autohide", true}};
    EXPECT_EQ(save({}), (Record{{kSaved, true}}));
  }
}

// Each read that fails is tried once more; a read that fails twice marks no record.
TEST_F(DockTest, ReadsForTheRecordAreTriedTwice) {
  domain = {{"autohide-delay", "0.5"}, {"autohide", "1"}};
  const Record both = {{kSaved, true},
                       {"originalDock.autohideDelay", 0.5},
                       {"originalDock.autohide", true}},
               autohideOnly = {{kSaved, true}, {"originalDock.autohide", true}}, none = {};
  const struct {
    const char* name;
    Plan plan;
    Record record;
  } rows[] = {
      {.name = "a failed read", .plan = {kFailed}, .record = both},
      {.name = "a missing key", .plan = {kMissing}, .record = autohideOnly},
      {.name = "an empty output",
       .plan = {FakeProcessRunner::output("\n")},
       .record = autohideOnly},
      {.name = "killed, then status 1 with output: no missing key",
       .plan = {kKilled, kFailedSaying},
       .record = none},
  };
  for (const auto& row : rows) EXPECT_EQ(save(row.plan), row.record) << row.name;
}

// A value that could not be written back keeps the whole record for the next orderly end.
TEST_F(DockTest, RestoreWritesBackWhatIsRecordedDeletesTheRestAndClearsTheRecord) {
  const Lines both = {kDeleteDelay, kDeleteAutohide},
              gone = {kDeleteDelay, kReadDelay, kDeleteAutohide, kReadAutohide};
  const struct {
    const char* name;
    std::optional<SettingsValue> delay = {}, autohide = {};
    Lines seen;  // before the Dock's restart
    Plan plan = {};
    bool kept = false, flushed = true;
  } rows[] = {
      {.name = "an integer delay",
       .delay = std::int64_t{2},
       .autohide = true,
       .seen = {kWriteDelay2, kWriteAutohideOn}},
      {.name = "values of the wrong type",
       .delay = true,
       .autohide = std::int64_t{1},
       .seen = both},
      {.name = "a delay that is not a number", .delay = NAN, .autohide = 0.0, .seen = both},
      {.name = "keys already gone count as deleted", .seen = gone, .plan = Plan(4, kMissing)},
      {.name = "a failed delete whose key then reads back empty counts as deleted",
       .seen = gone,
       .plan = {kFailed, FakeProcessRunner::output(""), kFailed, FakeProcessRunner::output("")}},
      {.name = "the write failed",
       .delay = 0.5,
       .seen = {kWriteHalfDelay, kDeleteAutohide},
       .plan = {kFailed},
       .kept = true},
      {.name = "killed at the time limit: the rest skipped",
       .delay = 0.5,
       .seen = {kWriteHalfDelay},
       .plan = {kTimedOut},
       .kept = true},
      {.name = "the cleared record not written out",
       .delay = 0.5,
       .seen = {kWriteHalfDelay, kDeleteAutohide},
       .kept = true,
       .flushed = false},
      {.name = "a failed delete, then an unreadable key",
       .delay = 0.5,
       .seen = {kWriteHalfDelay, kDeleteAutohide, kReadAutohide},
       .plan = {{}, kFailed, kNotStarted},
       .kept = true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    fake.timeline.clear();
    fake.settings.values = {{kSaved, true}};
    if (row.delay) fake.settings.values["originalDock.autohideDelay"] = *row.delay;
    if (row.autohide) fake.settings.values["originalDock.autohide"] = *row.autohide;
    const auto record = fake.settings.values;
    fake.settings.synchronizeSucceeds = row.flushed;
    next = row.plan;
    dock.backup().restore();
    Lines seen = row.seen;
    seen.push_back(kRestart);
    EXPECT_EQ(runs(), seen);
    EXPECT_EQ(fake.settings.values, row.kept ? record : decltype(record){});
  }
}

}  // namespace
}  // namespace velmoryn
