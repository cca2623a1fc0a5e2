#include "dock/dock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

using ::testing::ElementsAre;
using testing::FakeProcessRunner;
using ::testing::IsEmpty;

const std::string kHideLine =
    "tell application \"System Events\" to tell dock preferences to set autohide to true";
const std::string kShowLine =
    "tell application \"System Events\" to tell dock preferences to set autohide to false";

class DockTest : public ::testing::Test {
 protected:
  // Every defaults run prints this; a missing key (none) prints nothing and exits 1.
  void answer(std::optional<std::string> out) {
    fake.processes.respond = [out](const ProcessRequest&) {
      ProcessResult result = FakeProcessRunner::output(out.value_or(""));
      result.exitStatus = out ? 0 : 1;
      return result;
    };
  }
  std::vector<std::string> runs() {
    return fake.timeline.matching({"defaults", "killall", "osascript"});
  }

  testing::FakePlatform fake;
};

TEST_F(DockTest, DefaultsRunsTheToolByPathWithExactArgumentsAndGivesItsTrimmedOutput) {
  answer("  left\n");
  EXPECT_EQ(Dock::defaults({"read", "com.apple.dock", "orientation"}), "left");
  const auto requests = fake.processes.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].path, "/usr/bin/defaults");
  EXPECT_THAT(requests[0].args, ElementsAre("read", "com.apple.dock", "orientation"));
  EXPECT_TRUE(requests[0].captureStdout);
  fake.processes.respond = [](const ProcessRequest&) { return ProcessResult{}; };  // no start
  EXPECT_EQ(Dock::defaults({"read", "com.apple.dock", "autohide"}), "");
}

TEST_F(DockTest, EachScriptIsBuiltOnceAndAnErrorFallsBackToOsascriptWithTheSameLine) {
  Dock::hide();
  Dock::hide();
  fake.appleScript.executeReportsError = -1743;
  Dock::show();
  Dock::restartDock();
  EXPECT_THAT(fake.timeline.entries(),
              ElementsAre("create " + kHideLine, "compile " + kHideLine, "execute " + kHideLine,
                          "execute " + kHideLine, "create " + kShowLine, "compile " + kShowLine,
                          "execute " + kShowLine, "osascript -e " + kShowLine, "killall Dock"));
}

TEST_F(DockTest, AScriptThatCouldNotBeCreatedDoesNothingInThatDirectionForTheRun) {
  fake.appleScript.failCreation = true;
  fake.appleScript.executeReportsError = -1743;
  EXPECT_FALSE(Dock::hide().switched);
  fake.appleScript.failCreation = false;
  Dock::hide();
  EXPECT_THAT(fake.timeline.entries(), ElementsAre("create " + kHideLine));
}

TEST_F(DockTest, ADelayOfAtLeast100IsKeptAndAnyOtherBecomes1000WithADockRestart) {
  const std::vector<std::string> kept = {"defaults read com.apple.dock autohide-delay"};
  std::vector<std::string> replaced = kept;
  replaced.insert(replaced.end(),
                  {"defaults write com.apple.dock autohide-delay -float 1000", "killall Dock"});
  using Texts = std::vector<std::optional<std::string>>;
  for (const auto& [keeps, delays] : std::map<bool, Texts>{
           {true, {"100", "150", "1000", "1e3", "0x100"}},
           {false, {"99.9", "99.99999", "0.5", "0", "-500", "abc", "1000 s", "nan", "inf", {}}}}) {
    for (const auto& delay : delays) {
      fake.timeline.clear();
      answer(delay);
      Dock::setupHiddenDelay();
      EXPECT_EQ(runs(), keeps ? kept : replaced) << delay.value_or("(missing)");
    }
  }
}

TEST_F(DockTest, TheDockIsHiddenExactlyWhenAutohideReadsOneAndToggleSwitchesToTheOpposite) {
  for (const auto& [hidden, texts] : std::map<bool, std::vector<std::optional<std::string>>>{
           {true, {"1\n"}}, {false, {"0", "true", "", "11", {}}}}) {
    for (const auto& text : texts) {
      answer(text);
      EXPECT_EQ(Dock::isHidden(), hidden) << text.value_or("(missing)");
      Dock::toggle();
      EXPECT_EQ(fake.timeline.matching({"execute"}).back(),
                "execute " + (hidden ? kShowLine : kHideLine));
    }
  }
}

TEST(DockEdgeFrom, NamesLeftAndRightExactlyAndFallsBackToBottom) {
  EXPECT_EQ(DockEdge::from("left"), DockEdge::left);
  EXPECT_EQ(DockEdge::from("right"), DockEdge::right);
  for (const char* text : {"bottom", "", "LEFT", "Right", " left", "left\n"}) {
    EXPECT_EQ(DockEdge::from(text), DockEdge::bottom) << '"' << text << '"';
  }
}

class DockEdgeCacheTest : public DockTest {
 protected:
  void SetUp() override { answer("left"); }
  // Runs a refresh that a read started: the tool on the utility queue, the result on the main.
  void completeRefresh() {
    EXPECT_EQ(fake.utilityQueue.drain(), 1);
    EXPECT_EQ(fake.mainQueue.drain(), 1);
  }
};

TEST_F(DockEdgeCacheTest, AReadStartsOneRefreshOnlyOnceTheCacheIsOlderThanFiveSeconds) {
  EXPECT_EQ(Dock::edge(), DockEdge::bottom);  // never read: the distant past is stale
  EXPECT_THAT(runs(), IsEmpty()) << "the tool runs on the utility queue, not here";
  answer("right");
  EXPECT_EQ(Dock::edge(), DockEdge::bottom);  // still refreshing: no second refresh
  fake.clock.current += 60;
  completeRefresh();
  EXPECT_EQ(Dock::edge(), DockEdge::right);
  for (const char* edge : {"left", "right"}) {  // and so on, refresh after refresh
    answer(edge);
    fake.clock.current += 5.0;  // counted from the completion on the main thread
    Dock::edge();
    EXPECT_EQ(fake.utilityQueue.drain(), 0);
    fake.clock.current += 0.001;
    Dock::edge();
    completeRefresh();
    EXPECT_EQ(Dock::edge(), DockEdge::from(edge));
  }
  EXPECT_EQ(runs().size(), 3u);
}

TEST_F(DockEdgeCacheTest, PrimingReadsAtOnceAndARefreshUnderWayStillOverwritesIt) {
  Dock::primeEdge();
  EXPECT_EQ(runs().size(), 1u);
  EXPECT_EQ(Dock::edge(), DockEdge::left);
  fake.clock.current += 5.001;
  Dock::edge();  // starts a refresh, which will read "left"
  answer("right");
  Dock::primeEdge();
  EXPECT_EQ(Dock::edge(), DockEdge::right);
  answer("left");
  completeRefresh();
  EXPECT_EQ(Dock::edge(), DockEdge::left);
}

}  // namespace
}  // namespace velmoryn
