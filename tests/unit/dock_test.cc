// Every Dock operation against a fake defaults tool; parsing tool output is the fuzzers' (fuzz/).
#include "dock/dock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <deque>

#include "dock/dock_settings_backup.h"
#include "dock/tool_output.h"
#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

using ::testing::ElementsAre;
using testing::FakeProcessRunner;
using Text = std::optional<std::string>;                // none: the key does not exist
using Plan = std::deque<std::optional<ProcessResult>>;  // how the next runs end; none: normally

// Started, timed out, exit status: defaults reports a missing key with status 1.
const ProcessResult kMissing{true, false, 1, ""}, kFailed{true, false, 2, ""},
    kTimedOut{true, true, -1, ""}, kKilled{true, false, -1, ""}, kNotStarted{false, false, -1, ""},
    kFailedSaying{true, false, 1, "0.5\n"};
const std::string kSaved = "originalDock.saved";
const std::string kSetAutohide =
    "tell application \"System Events\" to tell dock preferences to set autohide to ";
const std::string kHide = kSetAutohide + "true", kShow = kSetAutohide + "false";

class DockTest : public ::testing::Test {
 protected:
  DockTest() {
    fake.processes.respond = [this](const ProcessRequest& request) {
      EXPECT_EQ(request.timeLimit, Dock::toolTimeLimit);
      EXPECT_EQ(request.path.rfind("/usr/bin/", 0), 0u) << "the system's own tools, by path";
      EXPECT_TRUE(request.captureStdout || !request.path.ends_with("/defaults"));
      const auto planned = next.empty() ? std::nullopt : next.front();
      if (!next.empty()) next.pop_front();
      if (planned) return *planned;
      if (request.args[0] != "read") return FakeProcessRunner::output("");
      const Text& value = domain[request.args.at(2)];
      return value ? FakeProcessRunner::output(*value + "\n") : kMissing;
    };
  }
  // The tool runs joined by "|", with "defaults VERB com.apple.dock " shortened to "VERB ".
  std::string runs() {
    std::string joined;
    for (std::string run : fake.timeline.matching({"defaults", "killall", "osascript"})) {
      const auto domainAt = run.find(" com.apple.dock ");
      if (run.starts_with("defaults ") && domainAt != std::string::npos)
        run = run.substr(9, domainAt - 9) + run.substr(domainAt + 15);
      joined += run + "|";
    }
    return joined;
  }
  int refreshSteps() { return fake.utilityQueue.drain() + fake.mainQueue.drain(); }

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
  next = {kFailed};
  EXPECT_FALSE(dock.show().switched);  // osascript failed too
  EXPECT_THAT(
      fake.timeline.entries(),
      ElementsAre("create " + kHide, "create " + kShow, "compile " + kShow, "execute " + kShow,
                  "osascript -e " + kShow, "execute " + kShow, "osascript -e " + kShow));
}

// One text for every key: a delay of at least 100 is kept, any other becomes 1000; only
// autohide "1" is hidden; the edge is left or right by exact name, otherwise the bottom.
TEST_F(DockTest, TheDelayTheModeAndTheEdgeAsRead) {
  using Meaning = std::tuple<bool, bool, DockEdge::Value>;  // keeps, hidden, edge
  constexpr auto bottom = DockEdge::bottom, left = DockEdge::left, right = DockEdge::right;
  for (const auto& [meaning, texts] : std::multimap<Meaning, std::vector<Text>>{
           {{true, false, bottom}, {"100", "150", "1000", "1e3", "0x100"}},
           {{false, true, bottom}, {" 1"}},
           {{false, false, left}, {"left"}},
           {{false, false, right}, {"\tright"}},
           {{false, false, bottom}, {"99.9", "99.99999", "0.5", "0", "-500", "abc", "1000 s"}},
           {{false, false, bottom}, {"nan", "inf", "true", "", "11", {}, "LEFT", "Right"}}}) {
    const auto [keeps, hidden, edge] = meaning;
    for (const Text& text : texts) {
      SCOPED_TRACE(text.value_or("(missing)"));
      fake.timeline.clear();
      domain = {{"autohide-delay", text}, {"autohide", text}, {"orientation", text}};
      dock.setupHiddenDelay();
      dock.primeEdge();
      const std::string replaced = keeps ? "" : "write autohide-delay -float 1000|killall Dock|";
      EXPECT_EQ(runs(), "read autohide-delay|" + replaced + "read orientation|");
      EXPECT_EQ(dock.edge(), edge);
      EXPECT_EQ(refreshSteps(), 0) << "just read: no refresh";
      EXPECT_EQ(dock.isHidden(), hidden);
    }
  }
}

TEST_F(DockTest, AReadRefreshesTheEdgeInTheBackgroundOnlyOnceItIsOlderThanFiveSeconds) {
  domain["orientation"] = "left";
  EXPECT_EQ(dock.edge(), DockEdge::bottom);  // never read: the distant past is stale
  EXPECT_EQ(runs(), "") << "the tool runs on the utility queue, not here";
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

// Only the program's own true marks a record; a read that fails twice takes none.
TEST_F(DockTest, RecordsTheUsersOwnDelayAndAutohideOnceWithTheMarkerLast) {
  struct Row {
    Text delay, autohide;
    std::optional<SettingsValue> delayRecorded, autohideRecorded;
    Plan plan = {};
    bool marked = true;
  };
  const std::optional<SettingsValue> markers[] = {{}, std::string("yes"), std::int64_t{1}, false};
  int count = 0;
  for (const Row& row : std::vector<Row>{{"0.5", "0", 0.5, false},
                                         {"150", "1", 150.0, true},
                                         {{}, "true", {}, true},
                                         {"1e2", "false", 100.0, false},
                                         {{}, {}, {}, {}},
                                         {"1000", "TRUE", {}, {}},
                                         {"soon", "2", {}, {}},
                                         {"1e999", {}, {}, {}},
                                         {"0.5", "1", 0.5, true, {kFailed}},
                                         {"0.5", "1", 0.5, true, {{}, kTimedOut}},
                                         {"0.5", "1", {}, true, {kMissing}},
                                         {"0.5", "1", {}, true, {FakeProcessRunner::output("\n")}},
                                         {"0.5", "1", {}, {}, {kTimedOut, kFailed}, false},
                                         {"0.5", "1", {}, {}, {kNotStarted, kFailed}, false},
                                         {"0.5", "1", {}, {}, {{}, kFailed, kFailed}, false},
                                         {"0.5", "1", {}, {}, {kKilled, kFailedSaying}, false}}) {
    SCOPED_TRACE(row.delay.value_or("(none)") + " " + row.autohide.value_or("(none)"));
    fake.settings.values.clear();
    if (const auto& marker = markers[count++ % 4]) fake.settings.values[kSaved] = *marker;
    const auto before = fake.settings.values;
    domain = {{"autohide-delay", row.delay}, {"autohide", row.autohide}};
    next = row.plan;
    fake.timeline.clear();
    dock.backup().saveIfNeeded();
    std::map<std::string, SettingsValue> record = {{kSaved, true}};
    if (row.delayRecorded) record["originalDock.autohideDelay"] = *row.delayRecorded;
    if (row.autohideRecorded) record["originalDock.autohide"] = *row.autohideRecorded;
    EXPECT_EQ(fake.settings.values, row.marked ? record : before);
    const auto entries = fake.timeline.entries();
    EXPECT_EQ(entries.size() > 1 && entries.end()[-2] == "set " + kSaved &&
                  entries.back() == "synchronize",
              row.marked)
        << "marker last, then written out";
    fake.timeline.clear();
    dock.backup().saveIfNeeded();
    EXPECT_EQ(runs().empty(), row.marked) << "a record is never read over";
  }
}

// A value that could not be written back keeps the whole record for the next orderly end.
TEST_F(DockTest, RestoreWritesBackWhatIsRecordedDeletesTheRestAndClearsTheRecordOnce) {
  const std::string half = "write autohide-delay -float 0.5|", gone = "delete autohide|",
                    both = "delete autohide-delay|" + gone, checked = "read autohide|",
                    goneAlready = "delete autohide-delay|read autohide-delay|" + gone + checked;
  struct Row {
    std::optional<SettingsValue> delay, autohide;
    std::string seen;  // before the Dock's restart
    Plan plan = {};
    bool kept = false, flushed = true;
  };
  for (const Row& row : std::vector<Row>{
           {0.5, false, half + "write autohide -bool false|"},
           // A whole number may come back from the store as an integer.
           {std::int64_t{2}, true, "write autohide-delay -float 2.0|write autohide -bool true|"},
           {{}, {}, both},
           {true, std::int64_t{1}, both},
           {std::string("0.5"), std::string("1"), both},
           {HUGE_VAL, OtherValue{}, both},
           {NAN, 0.0, both},
           // A key that is already gone counts as deleted.
           {{}, {}, goneAlready, Plan(4, kMissing)},
           {0.5, {}, half + gone, {kFailed}, true},
           // Killed at the time limit: the rest is skipped, so a quit costs one limit.
           {0.5, {}, half, {kTimedOut}, true},
           {0.5, {}, half + gone, {}, true, false},
           // A delete that fails is checked; a key that cannot be read is not gone.
           {0.5, {}, half + gone + checked, {{}, kFailed, kNotStarted}, true}}) {
    SCOPED_TRACE(row.seen);
    fake.timeline.clear();
    fake.settings.values = {{kSaved, true}};
    if (row.delay) fake.settings.values["originalDock.autohideDelay"] = *row.delay;
    if (row.autohide) fake.settings.values["originalDock.autohide"] = *row.autohide;
    const auto record = fake.settings.values;
    fake.settings.synchronizeSucceeds = row.flushed;
    next = row.plan;
    dock.backup().restore();
    EXPECT_EQ(runs(), row.seen + "killall Dock|");
    EXPECT_EQ(fake.settings.values, row.kept ? record : decltype(record){});
    fake.timeline.clear();
    fake.settings.synchronizeSucceeds = true;
    dock.backup().restore();  // a kept record is tried again; a cleared one is gone
    EXPECT_EQ(runs().empty(), !row.kept);
    EXPECT_TRUE(fake.settings.values.empty());
  }
}

// Each text is the shortest that reads back; an exponent only where it is shorter.
TEST(FormatFloat, WritesBackEveryShortestTextAsItWas) {
  for (const char* text : {"2.0", "-0.0", "0.001", "1e-05", "1e-04", "-2.5e-07", "1e+22",
                           "1.5e+300", "5e-324", "1152921504606846976.0"})
    EXPECT_EQ(formatFloat(*parseWholeNumber(text)), text);
}

}  // namespace
}  // namespace velmoryn
