#include "dock/dock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

using ::testing::ElementsAre;
using testing::FakePlatform;
using testing::FakeProcessRunner;
using ::testing::IsEmpty;

const std::string kHideLine =
    "tell application \"System Events\" to tell dock preferences to set autohide to true";
const std::string kShowLine =
    "tell application \"System Events\" to tell dock preferences to set autohide to false";

class DockTest : public ::testing::Test {
 protected:
  // Answers "defaults read com.apple.dock KEY" from a table; a missing key prints nothing.
  void answer(std::map<std::string, std::string> reads) {
    fake.processes.respond = [reads](const ProcessRequest& request) {
      if (request.path == "/usr/bin/defaults" && request.args.size() == 3 &&
          request.args[0] == "read") {
        auto found = reads.find(request.args[2]);
        if (found == reads.end()) {
          ProcessResult missing = FakeProcessRunner::output("");
          missing.exitStatus = 1;
          return missing;
        }
        return FakeProcessRunner::output(found->second);
      }
      return FakeProcessRunner::output("");
    };
  }

  FakePlatform fake;
};

TEST_F(DockTest, DefaultsRunsTheToolByAbsolutePathWithExactArgumentsAndTrimsItsOutput) {
  fake.processes.respond = [](const ProcessRequest&) {
    return FakeProcessRunner::output("  left\n");
  };
  EXPECT_EQ(Dock::defaults({"read", "com.apple.dock", "orientation"}), "left");
  const auto requests = fake.processes.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].path, "/usr/bin/defaults");
  EXPECT_THAT(requests[0].args, ElementsAre("read", "com.apple.dock", "orientation"));
  EXPECT_TRUE(requests[0].captureStdout);
}

TEST_F(DockTest, DefaultsGivesTheEmptyTextWhenTheToolCannotStartOrPrintsNoUtf8) {
  fake.processes.respond = [](const ProcessRequest&) { return ProcessResult{}; };
  EXPECT_EQ(Dock::defaults({"read", "com.apple.dock", "autohide"}), "");
  fake.processes.respond = [](const ProcessRequest&) { return FakeProcessRunner::output("1\xfe"); };
  EXPECT_EQ(Dock::defaults({"read", "com.apple.dock", "autohide"}), "");
}

TEST_F(DockTest, EachScriptIsCreatedAndCompiledOnceAndOnlyExecutedAfterwards) {
  Dock::hide();
  Dock::hide();
  Dock::show();
  EXPECT_THAT(fake.appleScript.log,
              ElementsAre("create " + kHideLine, "compile " + kHideLine, "execute " + kHideLine,
                          "execute " + kHideLine, "create " + kShowLine, "compile " + kShowLine,
                          "execute " + kShowLine));
  EXPECT_THAT(fake.processes.requests(), IsEmpty());
}

TEST_F(DockTest, AScriptErrorRunsOsascriptOnceWithTheSameLine) {
  fake.appleScript.executeReportsError = -1743;
  Dock::setAutoHide(false);
  const auto requests = fake.processes.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].path, "/usr/bin/osascript");
  EXPECT_THAT(requests[0].args, ElementsAre("-e", kShowLine));
  EXPECT_FALSE(requests[0].captureStdout);
}

TEST_F(DockTest, AScriptThatCouldNotBeCreatedDoesNothingInThatDirectionForTheRun) {
  fake.appleScript.failCreation = true;
  fake.appleScript.executeReportsError = -1743;
  Dock::hide();
  fake.appleScript.failCreation = false;
  Dock::hide();
  EXPECT_THAT(fake.appleScript.log, ElementsAre("create " + kHideLine));
  EXPECT_THAT(fake.processes.requests(), IsEmpty());
}

TEST_F(DockTest, RestartDockKillsTheDockAndWritesNothing) {
  Dock::restartDock();
  EXPECT_THAT(fake.processes.commandLines(), ElementsAre("killall Dock"));
  EXPECT_FALSE(fake.processes.requests()[0].captureStdout);
}

TEST_F(DockTest, ALongEnoughDelayIsLeftAlone) {
  for (const char* delay : {"1000", "100", "150", "1e3"}) {
    fake.processes.clear();
    answer({{"autohide-delay", delay}});
    Dock::setupHiddenDelay();
    EXPECT_THAT(fake.processes.commandLines(),
                ElementsAre("defaults read com.apple.dock autohide-delay"))
        << delay;
  }
}

TEST_F(DockTest, AShortMissingOrUnreadableDelayBecomes1000AndTheDockRestarts) {
  // Infinity and not-a-number are no delay either.
  for (const char* delay : {"99.9", "0.5", "0", "-5", "abc", "1000 s", "nan", "inf", "-inf"}) {
    fake.processes.clear();
    answer({{"autohide-delay", delay}});
    Dock::setupHiddenDelay();
    EXPECT_THAT(
        fake.processes.commandLines(),
        ElementsAre("defaults read com.apple.dock autohide-delay",
                    "defaults write com.apple.dock autohide-delay -float 1000", "killall Dock"))
        << delay;
  }
  fake.processes.clear();
  answer({});
  Dock::setupHiddenDelay();
  EXPECT_EQ(fake.processes.commandLines().size(), 3u);
}

TEST_F(DockTest, TheDockIsHiddenExactlyWhenAutohideReadsOne) {
  answer({{"autohide", "1\n"}});
  EXPECT_TRUE(Dock::isHidden());
  for (const char* text : {"0", "true", "", "yes", "11"}) {
    answer({{"autohide", text}});
    EXPECT_FALSE(Dock::isHidden()) << text;
  }
  answer({});
  EXPECT_FALSE(Dock::isHidden());
}

TEST_F(DockTest, ToggleSwitchesToTheOppositeOfWhatTheDockSaysNow) {
  answer({{"autohide", "1"}});
  Dock::toggle();
  EXPECT_EQ(fake.appleScript.log.back(), "execute " + kShowLine);
  answer({{"autohide", "0"}});
  Dock::toggle();
  EXPECT_EQ(fake.appleScript.log.back(), "execute " + kHideLine);
  answer({});
  Dock::toggle();
  EXPECT_EQ(fake.appleScript.log.back(), "execute " + kHideLine);
}

class DockEdgeCacheTest : public DockTest {
 protected:
  void SetUp() override { answer({{"orientation", "left"}}); }
  std::size_t orientationReads() { return fake.processes.requests().size(); }
};

TEST_F(DockEdgeCacheTest, TheFirstReadWithoutPrimingAnswersBottomAndStartsOneRefresh) {
  EXPECT_EQ(Dock::edge(), DockEdge::bottom);
  EXPECT_EQ(fake.utilityQueue.pending(), 1u);
  EXPECT_EQ(orientationReads(), 0u);  // the tool runs on the utility queue, not here

  EXPECT_EQ(Dock::edge(), DockEdge::bottom);  // still refreshing: no second refresh
  EXPECT_EQ(fake.utilityQueue.pending(), 1u);

  fake.utilityQueue.drain();
  EXPECT_EQ(orientationReads(), 1u);
  EXPECT_EQ(Dock::edge(), DockEdge::bottom);  // the result waits for the main queue
  fake.mainQueue.drain();
  EXPECT_EQ(Dock::edge(), DockEdge::left);
  EXPECT_EQ(fake.utilityQueue.pending(), 0u);
}

TEST_F(DockEdgeCacheTest, AfterPrimingReadsStartNoProcessForFiveSecondsInclusive) {
  Dock::primeEdge();
  EXPECT_EQ(orientationReads(), 1u);
  fake.clock.current += 5.0;
  EXPECT_EQ(Dock::edge(), DockEdge::left);
  EXPECT_EQ(fake.utilityQueue.pending(), 0u);

  fake.clock.current += 0.001;
  EXPECT_EQ(Dock::edge(), DockEdge::left);
  EXPECT_EQ(fake.utilityQueue.pending(), 1u);
}

TEST_F(DockEdgeCacheTest, TheCacheAgeCountsFromWhenTheRefreshCompletedOnTheMainThread) {
  Dock::edge();
  fake.utilityQueue.drain();
  fake.clock.current += 30;  // the completion waits a long time on the main queue
  fake.mainQueue.drain();
  fake.clock.current += 5.0;
  Dock::edge();
  EXPECT_EQ(fake.utilityQueue.pending(), 0u);
}

TEST_F(DockEdgeCacheTest, PrimingDuringARefreshLeavesTheRefreshToFinishAndOverwrite) {
  Dock::edge();
  answer({{"orientation", "right"}});
  Dock::primeEdge();
  EXPECT_EQ(Dock::edge(), DockEdge::right);
  answer({{"orientation", "left"}});
  fake.utilityQueue.drain();
  fake.mainQueue.drain();
  EXPECT_EQ(Dock::edge(), DockEdge::left);
}

}  // namespace
}  // namespace velmoryn
