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
namespace {

constexpr Rect kFrame{0, 0, 800, 600};
constexpr Rect kSide{800, 0, 800, 600};
constexpr Rect kVisibleBottomDock{0, 70, 800, 505};
constexpr DockEdge bottom = DockEdge::bottom, left = DockEdge::left, right = DockEdge::right;
using Log = std::vector<std::string>;

ScrollEvent precise(double dy, double dx = 0, bool inverted = false) {
  return ScrollEvent{true, inverted, dy, dx};
}
ScrollEvent lines(double dy, double dx = 0, bool inverted = false) {
  return ScrollEvent{false, inverted, dy, dx};
}

// A point in the edge zone of the frame, one point in from a lower corner.
Point inZone(DockEdge edge, const Rect& frame) {
  if (edge == left) return {frame.minX(), frame.minY() + 1};
  if (edge == right) return {frame.maxX() - 1, frame.minY() + 1};
  return {frame.minX() + 1, frame.minY()};
}

class EdgeRevealTest : public ::testing::Test {
 protected:
  void SetUp() override {
    putDockAt(bottom);
    fake.screens.list = {Screen{kFrame, kVisibleBottomDock}};
    fake.screens.pointer = {400, 0};
    reveal->isEnabled = [this] { return enabled; };
    reveal->isDockHidden = [this] { return ++hiddenAsked, hidden; };
    reveal->onReveal = [this] {
      log.push_back("reveal");
      if (duringReveal) duringReveal();
    };
    reveal->onConceal = [this] {
      log.push_back("conceal");
      concealSawReveal |= reveal->isRevealing() || fake.timers.liveTimers() != 0;
    };
    reveal->start();
  }

  // Fills the Dock's edge cache from the orientation the preference tool
  // answers.
  void putDockAt(DockEdge at) {
    edge = at;
    const std::string orientation = at == left ? "left" : at == right ? "right" : "";
    fake.processes.respond = [orientation](const ProcessRequest&) {
      return testing::FakeProcessRunner::output(orientation);
    };
    Dock::primeEdge();
    ASSERT_EQ(Dock::edge(), at);
  }

  void scroll(const ScrollEvent& event) { fake.scrollMonitor.deliver(event); }
  void advance(double seconds) { fake.timers.advance(seconds); }
  void ticks(int n) {
    for (int i = 0; i < n; ++i) advance(EdgeReveal::pollInterval);
  }

  // The running sum, read the one way it shows: quarter points scrolled toward
  // the edge at once until a reveal begins, which is cancelled again.
  double sum() {
    fake.screens.pointer = inZone(edge, fake.screens.list.front().frame);
    const std::size_t before = log.size();
    for (int quarters = 1; quarters <= 48; ++quarters) {
      scroll(precise(0.25));
      if (reveal->isRevealing()) {
        reveal->cancel();
        log.resize(before);
        return EdgeReveal::triggerAmount - quarters * 0.25;
      }
    }
    return -1;  // the gesture never triggers
  }

  testing::FakePlatform fake;
  DockEdge edge;
  bool enabled = true;
  bool hidden = true;
  int hiddenAsked = 0;
  bool concealSawReveal = false;
  Log log;
  std::function<void()> duringReveal;
  // Declared last: destroyed before the fakes and the state its closures use.
  std::shared_ptr<EdgeReveal> reveal = EdgeReveal::create();
};

TEST_F(EdgeRevealTest, StartInstallsOneScrollMonitorStopRemovesItAndARefusedStartIsRetried) {
  reveal->start();
  EXPECT_EQ(fake.scrollMonitor.addCount, 1);
  EXPECT_EQ(fake.scrollMonitor.lastMask, 0x400000u);
  scroll(precise(4));
  EXPECT_EQ(sum(), 4);  // a second monitor would count every event twice

  reveal->stop();
  reveal->stop();
  EXPECT_EQ(fake.scrollMonitor.removeCount, 1);
  fake.scrollMonitor.refuse = true;
  reveal->start();
  fake.scrollMonitor.refuse = false;
  scroll(lines(1.0));
  EXPECT_TRUE(log.empty());
  reveal->start();
  EXPECT_EQ(fake.scrollMonitor.addCount, 3);
  scroll(lines(1.0));
  EXPECT_EQ(log, Log{"reveal"});
}

TEST_F(EdgeRevealTest, GuardsComeInOrderAndARunningRevealIgnoresEventsBeforeAskingAboutTheDock) {
  enabled = false;
  scroll(lines(1.0));
  EXPECT_EQ(hiddenAsked, 0);
  enabled = true;
  scroll(lines(1.0));
  hiddenAsked = 0;
  scroll(lines(1.0));
  EXPECT_EQ(hiddenAsked, 0);
  EXPECT_EQ(log, Log{"reveal"});
  EXPECT_EQ(fake.timers.scheduledCount, 1);
}

// Each row's events neither count, nor restart the sum, nor move the time the
// pause window counts from.
TEST_F(EdgeRevealTest, IgnoredEventsLeaveTheSumAndItsTimeAlone) {
  struct Case {
    const char* name;
    bool enabled, hidden, screens;
    std::vector<Point> at;  // in the zone an event would count, above it restart the sum
  };
  const Case cases[] = {
      {"gesture off", false, true, true, {{400, 0}, {400, 300}}},
      {"Dock not hidden", true, false, true, {{400, 0}, {400, 300}}},
      {"pointer left of the screen", true, true, true, {{-10, 0}}},
      {"pointer on the screen's top border", true, true, true, {{400, 600}}},
      {"no screens", true, true, false, {{400, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto ignored = [&] {
      enabled = c.enabled;
      hidden = c.hidden;
      if (!c.screens) fake.screens.list.clear();
      for (Point p : c.at) fake.screens.pointer = p, scroll(precise(4));
      enabled = hidden = true;
      fake.screens.list = {Screen{kFrame, kVisibleBottomDock}};
      fake.screens.pointer = {400, 0};
    };
    advance(1.0);
    scroll(precise(4));
    advance(0.4);
    ignored();
    advance(0.2);
    scroll(precise(4));  // 0.6 seconds after the last counted event: the sum restarts
    ignored();
    scroll(precise(4));
    EXPECT_EQ(sum(), 8);
  }
  EXPECT_TRUE(log.empty());
}

// Where an event counts: the first screen in order containing the pointer
// (maximum borders excluded), within edgeZone of the Dock's edge, limit
// included.
TEST_F(EdgeRevealTest, EdgeZoneOfTheFirstScreenContainingThePointer) {
  const Rect below{0, -768, 1024, 768}, onRight{800, 0, 1024, 768}, onLeft{-1024, 0, 1024, 768};
  const Rect deeper{0, -100, 800, 700}, above{0, 600, 800, 600};
  struct Case {
    DockEdge edge;
    std::vector<Rect> screens;
    Point pointer;
    bool counts;
  };
  const Case cases[] = {
      {bottom, {below}, {10, -763}, true},         {bottom, {below}, {10, -762.99}, false},
      {right, {onRight}, {1819, 10}, true},        {right, {onRight}, {1818.99, 10}, false},
      {right, {onRight}, {1823.99, 10}, true},     {left, {onLeft}, {-1019, 10}, true},
      {left, {onLeft}, {-1018.99, 10}, false},     {bottom, {kFrame}, {0, 300}, false},
      {left, {kFrame}, {400, 0}, false},           {bottom, {kFrame, deeper}, {100, 3}, true},
      {bottom, {deeper, kFrame}, {100, 3}, false}, {right, {kFrame, kSide}, {800, 300}, false},
      {bottom, {kFrame, above}, {100, 600}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "point (" << c.pointer.x << ", " << c.pointer.y << ")");
    putDockAt(c.edge);
    fake.screens.list.clear();
    for (const Rect& frame : c.screens) fake.screens.list.push_back(Screen{frame, frame});
    fake.screens.pointer = inZone(c.edge, c.screens.front());
    scroll(precise(4));
    fake.screens.pointer = c.pointer;
    scroll(precise(4));
    EXPECT_EQ(sum(), c.counts ? 8 : 0);
  }
}

// The amount toward the edge, with natural scrolling undone and lines turned
// into points, adds to a sum of 4; any other amount restarts the sum.
TEST_F(EdgeRevealTest, AmountTowardTheEdgeCountsAndAnyOtherRestartsTheSum) {
  const double notANumber = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* name;
    DockEdge edge;
    ScrollEvent event;
    double sumAfter;
  };
  const Case cases[] = {
      {"bottom, upward", bottom, precise(3), 7},
      {"bottom, downward", bottom, precise(-3), 0},
      {"bottom, purely horizontal", bottom, precise(0, 5), 0},
      {"bottom, not a number", bottom, precise(notANumber), 0},
      {"bottom, natural upward", bottom, precise(-3, 0, true), 7},
      {"bottom, a quarter line", bottom, lines(0.25), 9},
      {"left, mostly leftward", left, precise(1, 5), 9},
      {"left, mostly rightward", left, precise(1, -5), 0},
      {"left, natural mostly leftward", left, precise(-1, -5, true), 9},
      {"left, a leftward quarter line", left, lines(0, 0.25), 9},
      {"left, mostly upward", left, precise(3, -1), 7},
      {"left, tie counts upward", left, precise(3, -3), 7},
      {"left, tie counts downward", left, precise(-3, 3), 0},
      {"right, mostly rightward", right, precise(1, -5), 9},
      {"right, mostly leftward", right, precise(1, 5), 0},
      {"right, tie counts upward", right, precise(3, 3), 7},
      {"right, tie counts downward", right, precise(-3, -3), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    putDockAt(c.edge);
    fake.screens.pointer = inZone(c.edge, kFrame);
    scroll(precise(4));
    advance(0.1);
    scroll(c.event);
    EXPECT_EQ(sum(), c.sumAfter);
  }
}

// Events at the bottom edge, each after its pause: a reveal begins once the sum
// reaches triggerAmount (a line is wheelUnit points); a pause longer than
// accumulateWindow restarts the sum.
TEST_F(EdgeRevealTest, TriggerAmountWithinTheAccumulateWindowBeginsAReveal) {
  const ScrollEvent four = precise(4);
  struct Case {
    const char* name;
    std::vector<std::pair<double, ScrollEvent>> events;
    double sumAfter;  // 0 with a reveal begun
  };
  const Case cases[] = {
      {"half a line", {{0, lines(0.5)}}, 10},
      {"one line", {{0, lines(1.0)}}, 0},
      {"11.75 points", {{0, precise(11.75)}}, 11.75},
      {"4, 4 and 4 points", {{0, four}, {0.2, four}, {0.2, four}}, 0},
      {"a pause of 0.6 before the third", {{0, four}, {0.2, four}, {0.6, four}}, 4},
      {"pauses of exactly the window", {{0, four}, {0.5, four}, {0.5, four}}, 0},
      {"a pause just over the window", {{0, four}, {0.5000001, four}}, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    log.clear();
    advance(1.0);
    for (const auto& [pause, event] : c.events) advance(pause), scroll(event);
    const bool reveals = c.sumAfter == 0;
    EXPECT_EQ(log, reveals ? Log{"reveal"} : Log{});
    EXPECT_EQ(reveal->isRevealing(), reveals);
    EXPECT_EQ(reveals ? 0 : sum(), c.sumAfter);
    reveal->cancel();
  }
}

// The Dock stays up for minimumReveal from the reveal's beginning, the time
// onReveal takes included; the first tick at or after it conceals.
TEST_F(EdgeRevealTest, MinimumRevealCountsFromTheBeginningAndIncludesOnReveal) {
  struct Case {
    double onRevealTakes;
    Point pointer;
    int ticksKept;
  };
  const Case cases[] = {
      {0.0, {-500, -500}, 4},                         // ticks at 0.12 ... 0.48 keep, 0.60 conceals
      {0.0, {400, 300}, 4},   {0.37, {400, 300}, 1},  // 0.49 keeps, 0.61 conceals
      {0.38, {400, 300}, 0},                          // the first tick, at 0.50, conceals
      {0.3, {400, 300}, 1},                           // 0.42 keeps, 0.54 conceals
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.onRevealTakes);
    log.clear();
    fake.clock.current = 1000.0;
    fake.screens.pointer = {400, 0};
    duringReveal = [&] {
      EXPECT_TRUE(reveal->isRevealing());
      EXPECT_EQ(fake.timers.liveTimers(), 0u);  // the timer comes after onReveal
      fake.clock.current += c.onRevealTakes;    // showing the Dock waits for a tool
    };
    scroll(lines(1.0));
    EXPECT_EQ(fake.timers.liveTimers(), 1u);
    fake.screens.pointer = c.pointer;
    ticks(c.ticksKept);
    EXPECT_EQ(log, Log{"reveal"});
    ticks(1);
    EXPECT_EQ(log, (Log{"reveal", "conceal"}));
  }
  EXPECT_FALSE(concealSawReveal);  // onConceal comes after the reveal state is cleared
}

// The band is the room the visible frame reserves at the reveal's edge, or
// fallbackThickness when it reserves none; the Dock stays up while the pointer
// is within the band plus leaveMargin, limit included.
TEST_F(EdgeRevealTest, RevealLastsWhileThePointerStaysWithinTheBandAndItsMargin) {
  const Rect below{100, -768, 1024, 768}, second{800, 0, 1024, 768};
  struct Case {
    const char* name;
    DockEdge edge;
    Rect frame, visible;
    Point stays, leaves;
  };
  const Case cases[] = {
      {"bottom, 70 reserved", bottom, kFrame, {0, 70, 800, 505}, {400, 82}, {400, 82.5}},
      {"bottom, none", bottom, kFrame, {0, 0, 800, 575}, {400, 102}, {400, 102.5}},
      {"bottom, beyond", bottom, kFrame, {0, -10, 800, 585}, {400, 102}, {400, 102.5}},
      {"bottom, lower screen", bottom, below, {100, -708, 1024, 708}, {500, -696}, {500, -695.5}},
      {"right, 64 reserved", right, kFrame, {0, 0, 736, 575}, {724, 300}, {723.5, 300}},
      {"right, none", right, kFrame, {0, 0, 800, 575}, {698, 300}, {697.5, 300}},
      {"right, second screen", right, second, {800, 0, 960, 743}, {1748, 3}, {1747.5, 3}},
      {"left, 64 reserved", left, kFrame, {64, 0, 736, 575}, {76, 300}, {76.5, 300}},
      {"left, none", left, kFrame, {0, 0, 800, 575}, {102, 300}, {102.5, 300}},
      {"left, beyond", left, kFrame, {-5, 0, 805, 575}, {102, 300}, {102.5, 300}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    log.clear();
    putDockAt(c.edge);
    fake.screens.list = {Screen{c.frame, c.visible}};
    fake.screens.pointer = inZone(c.edge, c.frame);
    scroll(lines(1.0));
    fake.screens.pointer = c.stays;
    ticks(8);  // well past the minimum time
    EXPECT_EQ(log, Log{"reveal"});
    fake.screens.pointer = c.leaves;
    ticks(1);
    EXPECT_EQ(log, (Log{"reveal", "conceal"}));
  }
}

// The reveal keeps the screen frame and the Dock's edge it began with, and
// reads the visible frame anew at each tick.
TEST_F(EdgeRevealTest, ChangesDuringARevealAreJudgedAgainstTheScreenAndEdgeItBeganWith) {
  const Screen main{kFrame, kVisibleBottomDock}, side{kSide, kSide};
  const Screen resized{{0, 0, 1024, 768}, kVisibleBottomDock};
  const Screen moved{{0, 1, 800, 600}, kVisibleBottomDock};
  struct Case {
    const char* name;
    std::vector<Screen> screens;
    Point pointer;
    DockEdge dockAt;
    bool conceals;
  };
  const Case cases[] = {
      {"pointer low on the other screen", {main, side}, {1000, 3}, bottom, true},
      {"screen removed", {side}, {400, 3}, bottom, true},
      {"resolution changed", {resized, side}, {400, 3}, bottom, true},
      {"moved by a point", {moved, side}, {400, 3}, bottom, true},
      {"Dock moved right", {main, side}, {400, 3}, right, false},
      {"Dock moved right, pointer above the bottom band", {main, side}, {400, 90}, right, true},
      {"no room reserved any more: band 90", {{kFrame, kFrame}}, {400, 90}, bottom, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    log.clear();
    putDockAt(bottom);
    fake.screens.list = {main, side};
    fake.screens.pointer = {400, 3};
    scroll(lines(1.0));
    fake.screens.list = c.screens;
    fake.screens.pointer = c.pointer;
    putDockAt(c.dockAt);
    ticks(4);
    EXPECT_TRUE(reveal->isRevealing());
    ticks(4);
    EXPECT_EQ(log, (c.conceals ? Log{"reveal", "conceal"} : Log{"reveal"}));
    reveal->cancel();
  }
}

// Ending by cancel() or stop(), with or without a reveal and from inside
// onReveal too, is silent: no onConceal, no tick left, the sum back at 0.
TEST_F(EdgeRevealTest, CancelAndStopEndSilentlyAndRestartTheSum) {
  const std::function<void()> cancel = [&] { reveal->cancel(); };
  const std::function<void()> stop = [&] { reveal->stop(), reveal->start(); };
  for (const auto& end : {cancel, stop}) {
    scroll(precise(4));
    end();
    EXPECT_EQ(sum(), 0);
    scroll(lines(1.0));
    end();
    duringReveal = end;
    scroll(lines(1.0));
    duringReveal = nullptr;
    EXPECT_FALSE(reveal->isRevealing());
    EXPECT_EQ(fake.timers.liveTimers(), 0u);
  }
  fake.screens.pointer = {400, 300};
  advance(2.0);
  EXPECT_EQ(log, Log(4, "reveal"));
}

TEST_F(EdgeRevealTest, DestroyedDuringARevealLaterTicksAndEventsDoNothing) {
  scroll(lines(1.0));
  reveal.reset();
  fake.screens.pointer = {400, 300};
  advance(2.0);
  fake.screens.pointer = {400, 0};
  scroll(lines(1.0));
  advance(2.0);
  EXPECT_EQ(log, Log{"reveal"});
}

}  // namespace
}  // namespace velmoryn
