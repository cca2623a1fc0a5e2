#include "reveal/edge_reveal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "dock/dock.h"
#include "fakes/fake_platform.h"

namespace velmoryn {

// Reads the gesture's running sum and the time of the last counted event,
// which no public member shows.
class EdgeRevealTestPeer {
 public:
  static double accumulated(const EdgeReveal& reveal) { return reveal.accumulated; }
  static double lastScrollAt(const EdgeReveal& reveal) { return reveal.lastScrollAt; }
  // Feeds an event as the monitor would, for an object that has none.
  static void handle(EdgeReveal& reveal, const ScrollEvent& event) { reveal.handle(event); }
};

namespace {

using testing::FakePlatform;
using testing::FakeProcessRunner;

constexpr Rect kFrame{0, 0, 800, 600};
constexpr Rect kVisibleBottomDock{0, 70, 800, 505};

ScrollEvent precise(double dy, double dx = 0, bool inverted = false) {
  return ScrollEvent{true, inverted, dy, dx};
}

ScrollEvent lines(double dy, double dx = 0, bool inverted = false) {
  return ScrollEvent{false, inverted, dy, dx};
}

const char* orientationOf(DockEdge edge) {
  switch (edge) {
    case DockEdge::left:
      return "left";
    case DockEdge::right:
      return "right";
    case DockEdge::bottom:
      break;
  }
  return "";
}

// A point in the edge zone of the frame for the edge, one point in from a corner.
Point inZone(DockEdge edge, const Rect& frame) {
  switch (edge) {
    case DockEdge::left:
      return {frame.minX(), frame.minY() + 1};
    case DockEdge::right:
      return {frame.maxX() - 1, frame.minY() + 1};
    case DockEdge::bottom:
      break;
  }
  return {frame.minX() + 1, frame.minY()};
}

class EdgeRevealTest : public ::testing::Test {
 protected:
  void SetUp() override {
    putDockAt(DockEdge::bottom);
    fake.screens.list = {Screen{kFrame, kVisibleBottomDock}};
    fake.screens.pointer = {400, 0};
    reveal->isEnabled = [this] {
      ++enabledAsked;
      return enabled;
    };
    reveal->isDockHidden = [this] {
      ++hiddenAsked;
      return hidden;
    };
    reveal->onReveal = [this] {
      log.push_back("reveal");
      if (duringReveal) duringReveal();
    };
    reveal->onConceal = [this] {
      log.push_back("conceal");
      if (duringConceal) duringConceal();
    };
  }

  // Fills the Dock's edge cache the way launch does, from the orientation the
  // preference tool answers.
  void putDockAt(DockEdge edge) {
    const std::string orientation = orientationOf(edge);
    fake.processes.respond = [orientation](const ProcessRequest& request) {
      const std::vector<std::string> read{"read", "com.apple.dock", "orientation"};
      if (request.path == "/usr/bin/defaults" && request.args == read) {
        return FakeProcessRunner::output(orientation);
      }
      return FakeProcessRunner::output("");
    };
    Dock::primeEdge();
    ASSERT_EQ(Dock::edge(), edge);
  }

  void scroll(const ScrollEvent& event) { fake.scrollMonitor.deliver(event); }
  void advance(double seconds) { fake.timers.advance(seconds); }
  void tick() { fake.timers.advance(EdgeReveal::pollInterval); }
  double sum() const { return EdgeRevealTestPeer::accumulated(*reveal); }
  double lastScrollAt() const { return EdgeRevealTestPeer::lastScrollAt(*reveal); }
  int count(const std::string& entry) const {
    return static_cast<int>(std::count(log.begin(), log.end(), entry));
  }

  // One line toward the bottom edge is 20 points, past the trigger at once.
  void revealByOneLine() {
    scroll(lines(1.0));
    ASSERT_TRUE(reveal->isRevealing());
  }

  FakePlatform fake;
  bool enabled = true;
  bool hidden = true;
  int enabledAsked = 0;
  int hiddenAsked = 0;
  std::vector<std::string> log;
  std::function<void()> duringReveal;
  std::function<void()> duringConceal;
  // Declared last: destroyed before the fakes and the state its closures use.
  std::shared_ptr<EdgeReveal> reveal = EdgeReveal::create();
};

// ---- the monitor

using EdgeRevealMonitor = EdgeRevealTest;

TEST_F(EdgeRevealMonitor, StartInstallsOneScrollWheelMonitorEvenWhenCalledTwice) {
  reveal->start();
  reveal->start();
  EXPECT_EQ(fake.scrollMonitor.addCount, 1);
  EXPECT_EQ(fake.scrollMonitor.installed(), 1u);
  EXPECT_EQ(fake.scrollMonitor.lastMask, 0x400000u);

  scroll(precise(4));
  EXPECT_EQ(sum(), 4);  // two monitors would have counted the event twice
}

TEST_F(EdgeRevealMonitor, RefusedMonitorLeavesTheGestureOffUntilALaterStartSucceeds) {
  fake.scrollMonitor.refuse = true;
  reveal->start();
  EXPECT_EQ(fake.scrollMonitor.installed(), 0u);
  scroll(lines(1.0));
  EXPECT_FALSE(reveal->isRevealing());

  fake.scrollMonitor.refuse = false;
  reveal->start();
  EXPECT_EQ(fake.scrollMonitor.addCount, 2);
  EXPECT_EQ(fake.scrollMonitor.installed(), 1u);
  scroll(lines(1.0));
  EXPECT_TRUE(reveal->isRevealing());
}

TEST_F(EdgeRevealMonitor, StopRemovesTheMonitorAndAStartAfterItInstallsAgain) {
  reveal->start();
  reveal->stop();
  EXPECT_EQ(fake.scrollMonitor.removeCount, 1);
  EXPECT_EQ(fake.scrollMonitor.installed(), 0u);
  scroll(lines(1.0));
  EXPECT_FALSE(reveal->isRevealing());

  reveal->stop();
  EXPECT_EQ(fake.scrollMonitor.removeCount, 1);  // nothing left to remove

  reveal->start();
  EXPECT_EQ(fake.scrollMonitor.installed(), 1u);
  scroll(lines(1.0));
  EXPECT_TRUE(reveal->isRevealing());
}

TEST_F(EdgeRevealMonitor, StopWithoutStartOnlyRestartsTheSum) {
  EdgeRevealTestPeer::handle(*reveal, precise(4));
  ASSERT_EQ(sum(), 4);
  reveal->stop();
  EXPECT_EQ(sum(), 0);
  EXPECT_EQ(fake.scrollMonitor.addCount, 0);
  EXPECT_EQ(fake.scrollMonitor.removeCount, 0);
  EXPECT_EQ(fake.timers.scheduledCount, 0);
  EXPECT_TRUE(log.empty());
}

// ---- the recogniser

class EdgeRevealGesture : public EdgeRevealTest {
 protected:
  void SetUp() override {
    EdgeRevealTest::SetUp();
    reveal->start();
  }
};

TEST_F(EdgeRevealGesture, EachGuardLeavesTheSumAndItsTimeUntouched) {
  struct Case {
    const char* name;
    std::function<void()> close;
  };
  const std::vector<Case> cases = {
      {"gesture off", [this] { enabled = false; }},
      {"Dock not hidden", [this] { hidden = false; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    enabled = true;
    hidden = true;
    scroll(precise(4));
    const double countedAt = fake.clock.current;
    ASSERT_EQ(sum(), 4);

    c.close();
    advance(0.1);
    scroll(precise(4));  // would sum to 8
    fake.screens.pointer = {400, 300};
    scroll(precise(4));  // would reset the sum
    EXPECT_EQ(sum(), 4);
    EXPECT_EQ(lastScrollAt(), countedAt);
    EXPECT_FALSE(reveal->isRevealing());

    reveal->cancel();
    fake.screens.pointer = {400, 0};
    advance(1.0);
  }
}

TEST_F(EdgeRevealGesture, EventsDuringARevealChangeNothing) {
  const double revealedAt = fake.clock.current;
  revealByOneLine();
  advance(0.05);
  scroll(precise(4));
  scroll(lines(1.0));
  fake.screens.pointer = {400, 300};
  scroll(precise(4));
  EXPECT_EQ(sum(), 0);
  EXPECT_EQ(lastScrollAt(), revealedAt);
  EXPECT_EQ(count("reveal"), 1);
  EXPECT_EQ(fake.timers.scheduledCount, 1);
}

TEST_F(EdgeRevealGesture, GuardsAreAskedInOrderAndStopAtTheFirstThatFails) {
  enabled = false;
  scroll(precise(4));
  EXPECT_EQ(enabledAsked, 1);
  EXPECT_EQ(hiddenAsked, 0);

  enabled = true;
  revealByOneLine();
  hiddenAsked = 0;
  scroll(precise(4));
  EXPECT_EQ(hiddenAsked, 0);  // the running reveal stops it before the Dock is asked about
}

TEST_F(EdgeRevealGesture, PointerOnNoScreenIsIgnoredAndKeepsTheSum) {
  scroll(precise(4));
  const double countedAt = fake.clock.current;
  advance(0.1);

  fake.screens.pointer = {-10, 0};
  scroll(precise(4));
  fake.screens.pointer = {400, 600};  // the top border belongs to no screen here
  scroll(precise(4));
  fake.screens.list.clear();
  fake.screens.pointer = {400, 0};
  scroll(precise(4));

  EXPECT_EQ(sum(), 4);
  EXPECT_EQ(lastScrollAt(), countedAt);
}

TEST_F(EdgeRevealGesture, PointerOnAScreenButOutsideTheZoneResetsTheSumAndKeepsItsTime) {
  scroll(precise(4));
  const double countedAt = fake.clock.current;
  advance(0.1);
  fake.screens.pointer = {400, 300};
  scroll(precise(4));
  EXPECT_EQ(sum(), 0);
  EXPECT_EQ(lastScrollAt(), countedAt);
}

TEST_F(EdgeRevealGesture, EdgeZoneIncludesItsLimitAndNoMore) {
  struct Case {
    DockEdge edge;
    Rect frame;
    Point pointer;
    bool inZone;
  };
  const Case cases[] = {
      {DockEdge::bottom, kFrame, {400, 0}, true},
      {DockEdge::bottom, kFrame, {400, 5.0}, true},
      {DockEdge::bottom, kFrame, {400, 5.01}, false},
      {DockEdge::bottom, {0, -768, 1024, 768}, {10, -763}, true},
      {DockEdge::bottom, {0, -768, 1024, 768}, {10, -762.99}, false},
      {DockEdge::right, kFrame, {795, 300}, true},
      {DockEdge::right, kFrame, {794.99, 300}, false},
      {DockEdge::right, kFrame, {799.99, 300}, true},
      {DockEdge::right, {800, 0, 1024, 768}, {1819, 10}, true},
      {DockEdge::right, {800, 0, 1024, 768}, {1818.99, 10}, false},
      {DockEdge::left, kFrame, {5.0, 300}, true},
      {DockEdge::left, kFrame, {5.01, 300}, false},
      {DockEdge::left, {-1024, 0, 1024, 768}, {-1019, 10}, true},
      {DockEdge::left, {-1024, 0, 1024, 768}, {-1018.99, 10}, false},
      // A bottom Dock has no zone at the sides, nor a side Dock at the bottom.
      {DockEdge::bottom, kFrame, {0, 300}, false},
      {DockEdge::left, kFrame, {400, 0}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "edge " << orientationOf(c.edge) << " point ("
                                      << c.pointer.x << ", " << c.pointer.y << ")");
    putDockAt(c.edge);
    fake.screens.list = {Screen{c.frame, c.frame}};
    fake.screens.pointer = inZone(c.edge, c.frame);
    reveal->cancel();
    scroll(precise(4));
    ASSERT_EQ(sum(), 4);

    fake.screens.pointer = c.pointer;
    scroll(precise(4));
    EXPECT_EQ(sum(), c.inZone ? 8 : 0);
  }
}

TEST_F(EdgeRevealGesture, FirstScreenInOrderContainingThePointerIsTheOneTested) {
  const Rect lower{0, 0, 800, 600};
  const Rect deeper{0, -100, 800, 700};  // overlaps lower
  const Rect rightOf{800, 0, 800, 600};
  const Rect above{0, 600, 800, 600};
  struct Case {
    const char* name;
    DockEdge edge;
    std::vector<Rect> screens;
    Point pointer;
    bool counted;
  };
  const std::vector<Case> cases = {
      {"first of two overlapping screens has the pointer in its zone",
       DockEdge::bottom,
       {lower, deeper},
       {100, 3},
       true},
      {"first of two overlapping screens has the pointer above its zone",
       DockEdge::bottom,
       {deeper, lower},
       {100, 3},
       false},
      {"the right border belongs to the next screen",
       DockEdge::right,
       {lower, rightOf},
       {800, 300},
       false},
      {"the top border belongs to the screen above",
       DockEdge::bottom,
       {lower, above},
       {100, 600},
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    putDockAt(c.edge);
    fake.screens.list.clear();
    for (const Rect& frame : c.screens) fake.screens.list.push_back(Screen{frame, frame});
    reveal->cancel();
    fake.screens.pointer = inZone(c.edge, c.screens.front());
    scroll(precise(4));
    ASSERT_EQ(sum(), 4);

    fake.screens.pointer = c.pointer;
    scroll(precise(4));
    EXPECT_EQ(sum(), c.counted ? 8 : 0);
  }
}

TEST_F(EdgeRevealGesture, AmountTowardTheEdgeCountsAndAnyOtherResetsTheSum) {
  struct Case {
    const char* name;
    DockEdge edge;
    ScrollEvent event;
    double expected;  // the sum after a first counted 4 points
  };
  const std::vector<Case> cases = {
      {"bottom, upward swipe", DockEdge::bottom, precise(3), 7},
      {"bottom, downward swipe", DockEdge::bottom, precise(-3), 0},
      {"bottom, purely horizontal", DockEdge::bottom, precise(0, 5), 0},
      {"bottom, no motion", DockEdge::bottom, precise(0, 0), 0},
      {"bottom, natural scrolling upward", DockEdge::bottom, precise(-3, 0, true), 7},
      {"bottom, natural scrolling downward", DockEdge::bottom, precise(3, 0, true), 0},
      {"bottom, a quarter line", DockEdge::bottom, lines(0.25), 9},
      {"bottom, a quarter line with natural scrolling", DockEdge::bottom, lines(-0.25, 0, true), 9},
      {"left, mostly leftward", DockEdge::left, precise(1, 5), 9},
      {"left, mostly rightward", DockEdge::left, precise(1, -5), 0},
      {"left, mostly leftward with natural scrolling", DockEdge::left, precise(-1, -5, true), 9},
      {"left, leftward wheel line", DockEdge::left, lines(0, 0.25), 9},
      {"left, mostly upward", DockEdge::left, precise(3, -1), 7},
      {"left, tie counts the vertical, upward", DockEdge::left, precise(3, -3), 7},
      {"left, tie counts the vertical, downward", DockEdge::left, precise(-3, 3), 0},
      {"right, mostly rightward", DockEdge::right, precise(1, -5), 9},
      {"right, mostly leftward", DockEdge::right, precise(1, 5), 0},
      {"right, mostly upward", DockEdge::right, precise(3, 1), 7},
      {"right, tie counts the vertical, upward", DockEdge::right, precise(3, 3), 7},
      {"right, tie counts the vertical, downward", DockEdge::right, precise(-3, -3), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    putDockAt(c.edge);
    fake.screens.pointer = inZone(c.edge, kFrame);
    reveal->cancel();
    scroll(precise(4));
    ASSERT_EQ(sum(), 4);

    advance(0.1);
    scroll(c.event);
    EXPECT_EQ(sum(), c.expected);
    // Every event that reaches the amount step moves the window, whatever it counts.
    EXPECT_EQ(lastScrollAt(), fake.clock.current);
    EXPECT_FALSE(reveal->isRevealing());
  }
}

TEST_F(EdgeRevealGesture, NotANumberDeltaRestartsTheSumInsteadOfBlockingIt) {
  scroll(precise(4));
  scroll(precise(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_EQ(sum(), 0);
  scroll(precise(12));
  EXPECT_TRUE(reveal->isRevealing());
}

TEST_F(EdgeRevealGesture, OneWheelLineRevealsAtOnceAndHalfALineDoesNot) {
  scroll(lines(0.5));
  EXPECT_EQ(sum(), 10);
  EXPECT_FALSE(reveal->isRevealing());
  EXPECT_TRUE(log.empty());

  reveal->cancel();
  scroll(lines(1.0));
  EXPECT_TRUE(reveal->isRevealing());
  EXPECT_EQ(sum(), 0);
  EXPECT_EQ(log, std::vector<std::string>{"reveal"});
}

TEST_F(EdgeRevealGesture, PreciseDeltasRevealOnceTheyReachTheTriggerWithinTheWindow) {
  scroll(precise(4));
  advance(0.2);
  scroll(precise(4));
  advance(0.2);
  EXPECT_FALSE(reveal->isRevealing());
  EXPECT_EQ(sum(), 8);
  scroll(precise(4));  // exactly 12
  EXPECT_TRUE(reveal->isRevealing());
  EXPECT_EQ(sum(), 0);
  EXPECT_EQ(count("reveal"), 1);
}

TEST_F(EdgeRevealGesture, PauseLongerThanTheWindowRestartsTheSum) {
  scroll(precise(4));
  advance(0.2);
  scroll(precise(4));
  advance(0.6);
  scroll(precise(4));
  EXPECT_FALSE(reveal->isRevealing());
  EXPECT_EQ(sum(), 4);

  advance(0.5000001);
  scroll(precise(4));
  EXPECT_EQ(sum(), 4);
}

TEST_F(EdgeRevealGesture, PauseOfExactlyTheWindowKeepsTheSum) {
  scroll(precise(4));
  advance(0.5);
  scroll(precise(4));
  EXPECT_EQ(sum(), 8);
  advance(0.5);
  scroll(precise(4));
  EXPECT_TRUE(reveal->isRevealing());
}

// ---- the timed reveal

using EdgeRevealTimed = EdgeRevealGesture;

TEST_F(EdgeRevealTimed, PointerGoneAtOnceConcealsAtTheFirstTickAfterTheMinimumTime) {
  revealByOneLine();
  fake.screens.pointer = {-500, -500};
  for (int i = 1; i <= 4; ++i) {
    tick();  // 0.12 ... 0.48 seconds
    EXPECT_TRUE(reveal->isRevealing()) << "tick " << i;
  }
  EXPECT_EQ(count("conceal"), 0);
  tick();  // 0.60 seconds
  EXPECT_FALSE(reveal->isRevealing());
  EXPECT_EQ(log, (std::vector<std::string>{"reveal", "conceal"}));
}

TEST_F(EdgeRevealTimed, TickAtExactlyTheMinimumTimeRunsTheLeaveTest) {
  const double revealedAt = fake.clock.current;
  // onReveal takes just long enough that the first tick lands on 0.5 seconds.
  duringReveal = [&] { fake.clock.current = revealedAt + 0.38; };
  revealByOneLine();
  ASSERT_EQ(fake.clock.current + EdgeReveal::pollInterval, revealedAt + 0.5);
  fake.screens.pointer = {400, 300};
  tick();
  ASSERT_EQ(fake.clock.current, revealedAt + 0.5);
  EXPECT_EQ(count("conceal"), 1);
}

TEST_F(EdgeRevealTimed, OnRevealRunsBeforeTheTimerAndItsDurationCountsTowardTheMinimum) {
  bool sawTimer = true;
  bool sawRevealing = false;
  double sumSeen = -1;
  duringReveal = [&] {
    sawTimer = fake.timers.liveTimers() != 0;
    sawRevealing = reveal->isRevealing();
    sumSeen = sum();
    fake.clock.current += 0.3;  // showing the Dock waits for a tool
  };
  scroll(precise(6));
  scroll(precise(6));
  EXPECT_FALSE(sawTimer);
  EXPECT_TRUE(sawRevealing);
  EXPECT_EQ(sumSeen, 0);
  EXPECT_EQ(fake.timers.liveTimers(), 1u);

  fake.screens.pointer = {400, 300};
  tick();  // 0.42 seconds after the reveal began
  EXPECT_EQ(count("conceal"), 0);
  tick();  // 0.54
  EXPECT_EQ(count("conceal"), 1);
}

TEST_F(EdgeRevealTimed, RevealLastsWhileThePointerStaysWithinTheBandAndItsMargin) {
  struct Case {
    const char* name;
    DockEdge edge;
    Rect frame;
    Rect visible;
    Point stays;
    Point leaves;
  };
  const std::vector<Case> cases = {
      {"bottom, 70 points reserved",
       DockEdge::bottom,
       kFrame,
       {0, 70, 800, 505},
       {400, 82},
       {400, 82.5}},
      {"bottom, nothing reserved",
       DockEdge::bottom,
       kFrame,
       {0, 0, 800, 575},
       {400, 102},
       {400, 102.5}},
      {"bottom, visible frame beyond the frame",
       DockEdge::bottom,
       kFrame,
       {0, -10, 800, 585},
       {400, 102},
       {400, 102.5}},
      {"bottom of a screen below the primary",
       DockEdge::bottom,
       {100, -768, 1024, 768},
       {100, -708, 1024, 708},
       {500, -696},
       {500, -695.5}},
      {"right, 64 points reserved",
       DockEdge::right,
       kFrame,
       {0, 0, 736, 575},
       {724, 300},
       {723.5, 300}},
      {"right, nothing reserved",
       DockEdge::right,
       kFrame,
       {0, 0, 800, 575},
       {698, 300},
       {697.5, 300}},
      {"right of a second screen",
       DockEdge::right,
       {800, 0, 1024, 768},
       {800, 0, 960, 743},
       {1748, 300},
       {1747.5, 300}},
      {"left, 64 points reserved",
       DockEdge::left,
       kFrame,
       {64, 0, 736, 575},
       {76, 300},
       {76.5, 300}},
      {"left, nothing reserved",
       DockEdge::left,
       kFrame,
       {0, 0, 800, 575},
       {102, 300},
       {102.5, 300}},
      {"left, visible frame beyond the frame",
       DockEdge::left,
       kFrame,
       {-5, 0, 805, 575},
       {102, 300},
       {102.5, 300}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    log.clear();
    putDockAt(c.edge);
    fake.screens.list = {Screen{c.frame, c.visible}};
    fake.screens.pointer = inZone(c.edge, c.frame);
    scroll(lines(1.0));
    ASSERT_TRUE(reveal->isRevealing());

    fake.screens.pointer = c.stays;
    for (int i = 0; i < 8; ++i) tick();  // well past the minimum time
    EXPECT_TRUE(reveal->isRevealing());
    EXPECT_EQ(count("conceal"), 0);

    fake.screens.pointer = c.leaves;
    tick();
    EXPECT_FALSE(reveal->isRevealing());
    EXPECT_EQ(count("conceal"), 1);
  }
}

TEST_F(EdgeRevealTimed, BandFollowsTheVisibleFrameAsItIsAtEachTick) {
  fake.screens.list = {Screen{kFrame, kFrame}};  // nothing reserved yet: band 90
  revealByOneLine();
  fake.screens.pointer = {400, 90};
  for (int i = 0; i < 5; ++i) tick();
  EXPECT_TRUE(reveal->isRevealing());

  fake.screens.list[0].visibleFrame = kVisibleBottomDock;  // the risen Dock reserves 70
  tick();
  EXPECT_EQ(count("conceal"), 1);
}

TEST_F(EdgeRevealTimed, RevealKeepsTheEdgeItBeganWithWhenTheDockMoves) {
  revealByOneLine();
  putDockAt(DockEdge::right);
  fake.screens.pointer = {400, 50};  // near the bottom, far from the right
  for (int i = 0; i < 8; ++i) tick();
  EXPECT_TRUE(reveal->isRevealing());
  EXPECT_EQ(count("conceal"), 0);
}

TEST_F(EdgeRevealTimed, ScreenArrangementChangesConcealAfterTheMinimumTime) {
  const Rect main{0, 0, 800, 600};
  const Rect side{800, 0, 800, 600};
  struct Case {
    const char* name;
    std::function<void()> change;
  };
  const std::vector<Case> cases = {
      {"pointer moved low onto the other screen",
       [this] {
         fake.screens.pointer = {1000, 3};
       }},
      {"screen removed",
       [this, side] {
         fake.screens.list = {Screen{side, side}};
       }},
      {"resolution changed",
       [this] {
         fake.screens.list[0].frame = {0, 0, 1024, 768};
       }},
      {"moved by a point",
       [this] {
         fake.screens.list[0].frame = {0, 1, 800, 600};
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    log.clear();
    fake.screens.list = {Screen{main, {0, 70, 800, 505}}, Screen{side, side}};
    fake.screens.pointer = {400, 3};
    scroll(lines(1.0));
    ASSERT_TRUE(reveal->isRevealing());

    c.change();
    for (int i = 0; i < 4; ++i) tick();
    EXPECT_TRUE(reveal->isRevealing());
    tick();
    EXPECT_FALSE(reveal->isRevealing());
    EXPECT_EQ(log, (std::vector<std::string>{"reveal", "conceal"}));
  }
}

TEST_F(EdgeRevealTimed, OnConcealRunsOnceAfterTheRevealStateIsCleared) {
  bool sawRevealing = true;
  std::size_t timersSeen = 99;
  duringConceal = [&] {
    sawRevealing = reveal->isRevealing();
    timersSeen = fake.timers.liveTimers();
  };
  revealByOneLine();
  fake.screens.pointer = {400, 300};
  advance(0.65);
  EXPECT_FALSE(sawRevealing);
  EXPECT_EQ(timersSeen, 0u);
  advance(5.0);
  EXPECT_EQ(count("conceal"), 1);

  // A second reveal ends the same way, once.
  fake.screens.pointer = {400, 0};
  revealByOneLine();
  fake.screens.pointer = {400, 300};
  advance(5.0);
  EXPECT_EQ(log, (std::vector<std::string>{"reveal", "conceal", "reveal", "conceal"}));
}

TEST_F(EdgeRevealTimed, CancelDuringARevealEndsItSilentlyAndAGestureCanRevealAgain) {
  revealByOneLine();
  tick();
  reveal->cancel();
  EXPECT_FALSE(reveal->isRevealing());
  EXPECT_EQ(fake.timers.liveTimers(), 0u);

  fake.screens.pointer = {400, 300};
  advance(2.0);
  EXPECT_EQ(log, std::vector<std::string>{"reveal"});

  fake.screens.pointer = {400, 0};
  revealByOneLine();
  EXPECT_EQ(count("reveal"), 2);
  EXPECT_EQ(fake.timers.liveTimers(), 1u);
}

TEST_F(EdgeRevealTimed, CancelWithoutARevealOnlyRestartsTheSum) {
  scroll(precise(4));
  const double countedAt = lastScrollAt();
  reveal->cancel();
  EXPECT_EQ(sum(), 0);
  EXPECT_EQ(lastScrollAt(), countedAt);
  EXPECT_FALSE(reveal->isRevealing());
  EXPECT_EQ(fake.timers.scheduledCount, 0);
  EXPECT_TRUE(log.empty());
}

TEST_F(EdgeRevealTimed, StopDuringARevealEndsItWithoutOnConceal) {
  revealByOneLine();
  reveal->stop();
  EXPECT_FALSE(reveal->isRevealing());
  EXPECT_EQ(fake.timers.liveTimers(), 0u);
  EXPECT_EQ(fake.scrollMonitor.installed(), 0u);
  fake.screens.pointer = {400, 300};
  advance(2.0);
  EXPECT_EQ(log, std::vector<std::string>{"reveal"});
}

TEST_F(EdgeRevealTimed, TimerExistsExactlyWhileARevealRuns) {
  scroll(precise(4));
  EXPECT_EQ(fake.timers.liveTimers(), 0u);

  revealByOneLine();
  EXPECT_EQ(fake.timers.liveTimers(), 1u);
  advance(0.3);
  EXPECT_EQ(fake.timers.liveTimers(), 1u);

  fake.screens.pointer = {400, 300};
  advance(0.35);
  EXPECT_FALSE(reveal->isRevealing());
  EXPECT_EQ(fake.timers.liveTimers(), 0u);

  fake.screens.pointer = {400, 0};
  revealByOneLine();
  reveal->cancel();
  EXPECT_EQ(fake.timers.liveTimers(), 0u);
  EXPECT_EQ(fake.timers.scheduledCount, 2);  // one timer per reveal
}

TEST_F(EdgeRevealTimed, OwnerCancellingInsideOnRevealLeavesNoTimerBehind) {
  duringReveal = [&] { reveal->cancel(); };
  scroll(lines(1.0));
  EXPECT_FALSE(reveal->isRevealing());
  EXPECT_EQ(fake.timers.liveTimers(), 0u);

  duringReveal = nullptr;
  revealByOneLine();
  EXPECT_EQ(fake.timers.liveTimers(), 1u);
}

TEST_F(EdgeRevealTimed, DestroyedDuringARevealLaterTicksAndEventsDoNothing) {
  revealByOneLine();
  tick();
  reveal.reset();

  fake.screens.pointer = {400, 300};
  advance(2.0);
  fake.screens.pointer = {400, 0};
  scroll(lines(1.0));
  advance(2.0);
  EXPECT_EQ(log, std::vector<std::string>{"reveal"});
}

}  // namespace
}  // namespace velmoryn
