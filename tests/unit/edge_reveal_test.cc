// The monitor, cancel(), stop() and the closures' order: fuzz/edge_reveal_fuzz.cc.
#include "reveal/edge_reveal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "dock/dock.h"
#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

constexpr Rect kFrame{0, 0, 800, 600}, kSide{800, 0, 800, 600};
constexpr Rect kVisible{0, 70, 800, 505};  // 70 points reserved at the bottom
constexpr DockEdge bottom = DockEdge::bottom, left = DockEdge::left, right = DockEdge::right;
using Log = std::vector<std::string>;

class EdgeRevealTest : public ::testing::Test {
 protected:
  static ScrollEvent pt(double dy, double dx = 0, bool inverted = false) {
    return {true, inverted, dy, dx};
  }
  static ScrollEvent line(double dy, double dx = 0) { return {false, false, dy, dx}; }
  void SetUp() override {
    at(bottom, {{kFrame, kVisible}});
    reveal->isEnabled = [this] { return enabled; };
    reveal->isDockHidden = [this] { return hidden; };
    reveal->onReveal = [this] { log.push_back("reveal"), fake.clock.current += onRevealTakes; };
    reveal->onConceal = [this] { log.push_back("conceal"); };
    reveal->start();
  }

  // The Dock at the edge; the pointer in its zone, by the first screen's lower corner.
  void at(DockEdge edge, std::vector<Screen> screens) {
    const std::string side = edge == left ? "left" : edge == right ? "right" : "";
    fake.processes.respond = [side](auto&) { return testing::FakeProcessRunner::output(side); };
    Dock::primeEdge();
    const Rect& f = screens.front().frame;
    zone = edge == left    ? Point{f.minX(), f.minY() + 1}
           : edge == right ? Point{f.maxX() - 1, f.minY() + 1}
                           : Point{f.minX() + 1, f.minY()};
    fake.screens.list = std::move(screens);
    fake.screens.pointer = zone;
    log.clear();
  }
  void scroll(const ScrollEvent& event) { fake.scrollMonitor.deliver(event); }
  // The running sum, read as the quarter points it still takes to begin a reveal.
  double sum() {
    fake.screens.pointer = zone;
    for (int quarters = 1; quarters <= 48; ++quarters) {
      scroll(pt(0.25));
      if (reveal->isRevealing())
        return reveal->cancel(), EdgeReveal::triggerAmount - quarters * 0.25;
    }
    return -1;
  }
  // With the pointer at p, the poll tick that conceals; 0 when ten keep the Dock up.
  int concealTick(Point p) {
    fake.screens.pointer = p;
    for (int tick = 1; tick <= 10; ++tick) {
      fake.timers.advance(EdgeReveal::pollInterval);
      if (!log.empty() && log.back() == "conceal") return log.pop_back(), tick;
    }
    return 0;
  }

  testing::FakePlatform fake;
  Point zone;
  bool enabled = true, hidden = true;
  double onRevealTakes = 0;
  Log log;
  // Declared last: destroyed before the fakes and the state its closures use.
  std::shared_ptr<EdgeReveal> reveal = EdgeReveal::create();
};

// Ignored events neither count, nor restart the sum, nor move the pause window's start.
TEST_F(EdgeRevealTest, IgnoredEventsLeaveTheSumAndItsTimeAlone) {
  const std::tuple<const char*, bool, bool, bool, std::vector<Point>> rows[] = {
      {"gesture off", false, true, true, {{400, 0}, {400, 300}}},
      {"Dock not hidden", true, false, true, {{400, 0}, {400, 300}}},
      {"pointer left of the screen", true, true, true, {{-10, 0}}},
      {"pointer on the screen's top border", true, true, true, {{400, 600}}},
      {"no screens", true, true, false, {{400, 0}}},
  };
  for (const auto& [name, gestureOn, dockHidden, screens, points] : rows) {
    SCOPED_TRACE(name);
    const auto ignored = [&] {
      enabled = gestureOn, hidden = dockHidden;
      if (!screens) fake.screens.list.clear();
      for (Point p : points) fake.screens.pointer = p, scroll(pt(4));
      enabled = hidden = true;
      at(bottom, {{kFrame, kVisible}});
    };
    fake.timers.advance(1.0);
    scroll(pt(4));
    fake.timers.advance(0.4);
    ignored();
    fake.timers.advance(0.2);
    scroll(pt(4));  // 0.6 seconds after the last counted event: the sum restarts
    ignored();
    scroll(pt(4));
    EXPECT_EQ(sum(), 8);  // a reveal begun would read 11.75
  }
}

// The first screen in order containing the pointer (maximum borders excluded).
TEST_F(EdgeRevealTest, EdgeZoneOfTheFirstScreenContainingThePointer) {
  const Rect below{0, -768, 1024, 768}, onRight{800, 0, 1024, 768}, onLeft{-1024, 0, 1024, 768};
  const Rect deeper{0, -100, 800, 700}, above{0, 600, 800, 600};
  const std::tuple<DockEdge, std::vector<Rect>, Point, bool> rows[] = {
      {bottom, {below}, {10, -763}, true},         {bottom, {below}, {10, -762.99}, false},
      {right, {onRight}, {1819, 10}, true},        {right, {onRight}, {1818.99, 10}, false},
      {right, {onRight}, {1823.99, 10}, true},     {left, {onLeft}, {-1019, 10}, true},
      {left, {onLeft}, {-1018.99, 10}, false},     {bottom, {kFrame}, {0, 300}, false},
      {left, {kFrame}, {400, 0}, false},           {bottom, {kFrame, deeper}, {100, 3}, true},
      {bottom, {deeper, kFrame}, {100, 3}, false}, {right, {kFrame, kSide}, {800, 300}, false},
      {bottom, {kFrame, above}, {100, 600}, true},
  };
  for (const auto& [dockAt, frames, pointer, counts] : rows) {
    SCOPED_TRACE(::testing::Message() << "point (" << pointer.x << ", " << pointer.y << ")");
    std::vector<Screen> screens;
    for (const Rect& frame : frames) screens.push_back(Screen{frame, frame});
    at(dockAt, screens);
    scroll(pt(4));
    fake.screens.pointer = pointer;
    scroll(pt(4));
    EXPECT_EQ(sum(), counts ? 8 : 0);
  }
}

// Each row's events, after 4 points and their pauses; -1: a reveal begins.
TEST_F(EdgeRevealTest, AmountsTowardTheEdgeAddUpToTheTriggerWithinTheWindow) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  using Events = std::vector<std::pair<double, ScrollEvent>>;
  const std::tuple<const char*, DockEdge, Events, double> rows[] = {
      {"bottom, upward", bottom, {{.1, pt(3)}}, 7},
      {"bottom, downward", bottom, {{.1, pt(-3)}}, 0},
      {"bottom, purely horizontal", bottom, {{.1, pt(0, 5)}}, 0},
      {"bottom, not a number", bottom, {{.1, pt(nan)}}, 0},
      {"bottom, natural upward", bottom, {{.1, pt(-3, 0, true)}}, 7},
      {"bottom, a quarter line", bottom, {{.1, line(.25)}}, 9},
      {"left, mostly leftward", left, {{.1, pt(1, 5)}}, 9},
      {"left, mostly rightward", left, {{.1, pt(1, -5)}}, 0},
      {"left, natural mostly leftward", left, {{.1, pt(-1, -5, true)}}, 9},
      {"left, a leftward quarter line", left, {{.1, line(0, .25)}}, 9},
      {"left, mostly upward", left, {{.1, pt(3, -1)}}, 7},
      {"left, tie counts upward", left, {{.1, pt(3, -3)}}, 7},
      {"left, tie counts downward", left, {{.1, pt(-3, 3)}}, 0},
      {"right, mostly rightward", right, {{.1, pt(1, -5)}}, 9},
      {"right, mostly leftward", right, {{.1, pt(1, 5)}}, 0},
      {"right, tie counts upward", right, {{.1, pt(3, 3)}}, 7},
      {"right, tie counts downward", right, {{.1, pt(-3, -3)}}, 0},
      {"half a line after a pause", bottom, {{.6, line(.5)}}, 10},
      {"one line after a pause", bottom, {{.6, line(1)}}, -1},
      {"11.75 points after a pause", bottom, {{.6, pt(11.75)}}, 11.75},
      {"4, 4 and 4 points", bottom, {{.2, pt(4)}, {.2, pt(4)}}, -1},
      {"a pause of 0.6 before the third", bottom, {{.2, pt(4)}, {.6, pt(4)}}, 4},
      {"pauses of exactly the window", bottom, {{.5, pt(4)}, {.5, pt(4)}}, -1},
      {"a pause just over the window", bottom, {{.5000001, pt(4)}}, 4},
  };
  for (const auto& [name, dockAt, events, after] : rows) {
    SCOPED_TRACE(name);
    at(dockAt, {{kFrame, kFrame}});
    fake.timers.advance(1.0);
    scroll(pt(4));
    for (const auto& [pause, event] : events) fake.timers.advance(pause), scroll(event);
    EXPECT_EQ(log, after < 0 ? Log{"reveal"} : Log{});
    if (after < 0) reveal->cancel();
    EXPECT_EQ(sum(), std::max(after, 0.0));
  }
}

// minimumReveal counts from the beginning, onReveal's time (a tool's) included; the
// band is the room the visible frame reserves at the edge, or fallbackThickness.
TEST_F(EdgeRevealTest, RevealLastsItsMinimumTimeAndWhileThePointerStaysWithinTheBand) {
  const Rect none{0, 0, 800, 575}, beyond{-5, -10, 810, 585};  // visible frames
  const Screen lower{{100, -768, 1024, 768}, {100, -708, 1024, 708}};
  const Screen second{{800, 0, 1024, 768}, {800, 0, 960, 743}};
  // Then the onReveal time and the tick that conceals with the pointer beyond the band.
  const std::tuple<DockEdge, Screen, Point, Point, double, int> rows[] = {
      {bottom, {kFrame, kVisible}, {400, 82}, {400, 82.5}, 0, 5},    // 0.48 keeps, 0.60 conceals
      {bottom, {kFrame, none}, {400, 102}, {400, 102.5}, .3, 2},     // 0.42 keeps, 0.54 conceals
      {bottom, {kFrame, beyond}, {400, 102}, {400, 102.5}, .37, 2},  // 0.49 keeps
      {bottom, lower, {500, -696}, {500, -695.5}, .38, 1},  // the first tick, at 0.50, conceals
      {right, {kFrame, {0, 0, 736, 575}}, {724, 300}, {723.5, 300}, 0, 5},
      {right, {kFrame, none}, {698, 300}, {697.5, 300}, 0, 5},
      {right, {kFrame, beyond}, {698, 300}, {697.5, 300}, 0, 5},
      {right, second, {1748, 3}, {1747.5, 3}, 0, 5},
      {left, {kFrame, {64, 0, 736, 575}}, {76, 300}, {76.5, 300}, 0, 5},
      {left, {kFrame, none}, {102, 300}, {102.5, 300}, 0, 5},
      {left, {kFrame, beyond}, {102, 300}, {102.5, 300}, 0, 5},
  };
  for (const auto& [dockAt, screen, stays, leaves, takes, first] : rows) {
    SCOPED_TRACE(::testing::Message() << "stays at (" << stays.x << ", " << stays.y << ")");
    at(dockAt, {screen});
    onRevealTakes = takes;
    scroll(line(1));
    onRevealTakes = 0;
    EXPECT_EQ(concealTick(leaves), first);
    fake.screens.pointer = zone;
    scroll(line(1));
    EXPECT_EQ(concealTick(stays), 0);
    EXPECT_EQ(concealTick(leaves), 1);
    EXPECT_EQ(log, (Log{"reveal", "reveal"}));
  }
}

// The screen frame and the edge are the beginning's, the visible frame is read anew.
TEST_F(EdgeRevealTest, ChangesDuringARevealAreJudgedAgainstTheScreenAndEdgeItBeganWith) {
  const Screen main{kFrame, kVisible}, side{kSide, kSide};
  const Screen resized{{0, 0, 1024, 768}, kVisible}, moved{{0, 1, 800, 600}, kVisible};
  const std::tuple<const char*, std::vector<Screen>, Point, DockEdge, bool> rows[] = {
      {"pointer low on the other screen", {main, side}, {1000, 3}, bottom, true},
      {"screen removed", {side}, {400, 3}, bottom, true},
      {"resolution changed", {resized, side}, {400, 3}, bottom, true},
      {"moved by a point", {moved, side}, {400, 3}, bottom, true},
      {"Dock moved right", {main, side}, {400, 3}, right, false},
      {"Dock moved right, pointer above the bottom band", {main, side}, {400, 90}, right, true},
      {"no room reserved any more: band 90", {{kFrame, kFrame}}, {400, 90}, bottom, false},
  };
  for (const auto& [name, screens, pointer, dockAt, conceals] : rows) {
    SCOPED_TRACE(name);
    at(bottom, {main, side});
    scroll(line(1));
    at(dockAt, screens);
    EXPECT_EQ(concealTick(pointer), conceals ? 5 : 0);
    reveal->cancel();
  }
}

TEST_F(EdgeRevealTest, ARunningRevealIgnoresEventsAndADestroyedOneDoesNothing) {
  scroll(line(1));
  scroll(line(1));
  EXPECT_EQ(log, Log{"reveal"});
  reveal.reset();
  EXPECT_EQ(concealTick({400, 300}), 0);
  fake.screens.pointer = zone;
  scroll(line(1));
  EXPECT_EQ(log, Log{"reveal"});
}

}  // namespace
}  // namespace velmoryn
