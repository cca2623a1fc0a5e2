#include "reveal/edge_reveal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
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

ScrollEvent points(double dy, double dx = 0, bool inverted = false) {
  return {true, inverted, dy, dx};
}
ScrollEvent lines(double dy, double dx = 0) {
  return {false, false, dy, dx};
}

class EdgeRevealTest : public ::testing::Test {
 protected:
  void SetUp() override {
    at(bottom, {{kFrame, kVisible}});
    reveal->isEnabled = [this] { return enabled; };
    reveal->isDockHidden = [this] {
      ++dockAsked;
      return hidden;
    };
    reveal->onReveal = [this] {
      log.push_back("reveal");
      fake.clock.current += onRevealTakes;
    };
    reveal->onConceal = [this] {
      log.push_back(reveal->isRevealing() ? "conceal during the reveal" : "conceal");
    };
    reveal->start();
  }

  // The Dock at the edge; the pointer in its zone, by the first screen's lower corner.
  void at(DockEdge edge, std::vector<Screen> screens) {
    const std::string side = edge == left ? "left" : edge == right ? "right" : "";
    fake.processes.respond = [side](auto&) { return testing::FakeProcessRunner::output(side); };
    dock.primeEdge();
    const Rect& f = screens.front().frame;
    zone = edge == left    ? Point{f.minX(), f.minY() + 1}
           : edge == right ? Point{f.maxX() - 1, f.minY() + 1}
                           : Point{f.minX() + 1, f.minY()};
    fake.screens.list = std::move(screens);
    fake.screens.pointer = zone;
    log.clear();
  }
  void scroll(const ScrollEvent& event) { fake.scrollMonitor.deliver(event); }
  // The running sum, read by adding quarter points until a reveal begins; 12 if one runs.
  double sum() {
    fake.screens.pointer = zone;
    for (int quarters = 0; quarters <= 48; ++quarters) {
      if (reveal->isRevealing()) {
        reveal->cancel();
        return 12.0 - quarters * 0.25;  // 12 points trigger it
      }
      scroll(points(0.25));
    }
    return -1;
  }
  // With the pointer at p, the poll tick that conceals; 0 when ten keep the Dock up.
  int concealTick(Point p) {
    fake.screens.pointer = p;
    for (int tick = 1; tick <= 10; ++tick) {
      fake.timers.advance(0.12);  // the poll's interval
      if (!log.empty() && log.back().starts_with("conceal")) {
        EXPECT_EQ(log.back(), "conceal") << "onConceal finds the reveal over";
        log.pop_back();
        return tick;
      }
    }
    return 0;
  }

  testing::FakePlatform fake;
  Point zone;
  bool enabled = true, hidden = true;
  int dockAsked = 0;
  double onRevealTakes = 0;
  Log log;
  Dock dock;
  // Declared last: destroyed before the fakes and the state its closures use.
  std::shared_ptr<EdgeReveal> reveal = EdgeReveal::create(dock);
};

// 4 points in the zone, then 4 with the pointer elsewhere: the first screen holding it decides,
// its maximum borders excluded. Off every screen the event is ignored.
TEST_F(EdgeRevealTest, TheZoneIsFivePointsDeepOnTheFirstScreenHoldingThePointer) {
  const Rect below{0, -768, 1024, 768}, onRight{800, 0, 1024, 768}, onLeft{-1024, 0, 1024, 768};
  const Rect deeper{0, -100, 800, 700}, above{0, 600, 800, 600};
  enum Second { counts = 8, resets = 0, ignored = 4 };  // the sum afterwards
  const struct {
    const char* name;
    DockEdge dockAt = bottom;
    std::vector<Rect> screens;
    Point pointer;
    Second second;
  } rows[] = {
      {.name = "bottom, 5 points up", .screens = {below}, .pointer = {10, -763}, .second = counts},
      {.name = "bottom, just over 5 points up",
       .screens = {below},
       .pointer = {10, -762.99},
       .second = resets},
      {.name = "right, 5 points in",
       .dockAt = right,
       .screens = {onRight},
       .pointer = {1819, 10},
       .second = counts},
      {.name = "left, 5 points in",
       .dockAt = left,
       .screens = {onLeft},
       .pointer = {-1019, 10},
       .second = counts},
      {.name = "the first of two screens holding it",
       .screens = {kFrame, deeper},
       .pointer = {100, 3},
       .second = counts},
      {.name = "a right border belongs to the next screen",
       .dockAt = right,
       .screens = {kFrame, kSide},
       .pointer = {800, 300},
       .second = resets},
      {.name = "a top border belongs to the screen above",
       .screens = {kFrame, above},
       .pointer = {100, 600},
       .second = counts},
      {.name = "left of every screen", .screens = {kFrame}, .pointer = {-10, 0}, .second = ignored},
  };
  for (const auto& row : rows) {
    std::vector<Screen> screens;
    for (const Rect& frame : row.screens) screens.push_back(Screen{frame, frame});
    at(row.dockAt, screens);
    scroll(points(4));
    fake.screens.pointer = row.pointer;
    scroll(points(4));
    EXPECT_EQ(sum(), row.second) << row.name;
  }
}

// Natural scrolling undone; a line is 20 points; at the sides the larger axis counts, a tie
// counts upward. An event away from the edge restarts the sum.
TEST_F(EdgeRevealTest, OnlyAmountsTowardTheEdgeCount) {
  const struct {
    const char* name;
    DockEdge dockAt = bottom;
    ScrollEvent event;
    double sum;  // after 4 points and the event
  } rows[] = {
      {.name = "bottom, downward", .event = points(-3), .sum = 0},
      {.name = "bottom, purely sideways: no amount", .event = points(0, 5), .sum = 0},
      {.name = "bottom, not a number", .event = points(std::nan("")), .sum = 0},
      {.name = "bottom, natural upward", .event = points(-3, 0, true), .sum = 7},
      {.name = "bottom, a quarter line", .event = lines(.25), .sum = 9},
      {.name = "left, natural mostly leftward",
       .dockAt = left,
       .event = points(-1, -5, true),
       .sum = 9},
      {.name = "left, a leftward quarter line", .dockAt = left, .event = lines(0, .25), .sum = 9},
      {.name = "left, a tie counts upward", .dockAt = left, .event = points(3, -3), .sum = 7},
      {.name = "right, mostly rightward", .dockAt = right, .event = points(1, -5), .sum = 9},
      {.name = "right, a tie counts upward", .dockAt = right, .event = points(3, 3), .sum = 7},
  };
  for (const auto& row : rows) {
    at(row.dockAt, {{kFrame, kFrame}});
    scroll(points(4));
    scroll(row.event);
    EXPECT_EQ(sum(), row.sum) << row.name;
  }
}

// 12 points reveal; a pause longer than half a second restarts the sum.
TEST_F(EdgeRevealTest, AmountsAddUpWithinHalfASecondOfEachOther) {
  const struct {
    const char* name;
    double pause;  // before each of the events
    std::vector<double> amounts;
    double sum;
  } rows[] = {
      {.name = "pauses of exactly the window", .pause = 0.5, .amounts = {4, 4, 4}, .sum = 12},
      {.name = "a pause just over the window", .pause = 0.5000001, .amounts = {4, 4}, .sum = 4},
  };
  for (const auto& row : rows) {
    fake.timers.advance(1.0);
    for (double amount : row.amounts) {
      fake.timers.advance(row.pause);
      scroll(points(amount));
    }
    EXPECT_EQ(sum(), row.sum) << row.name;
  }
}

// Ignored events neither count, nor restart the sum, nor move the window's start.
TEST_F(EdgeRevealTest, EventsWithTheGestureOffOrNoScreensAreIgnored) {
  const struct {
    const char* name;
    bool enabled = true, screens = true;
  } rows[] = {
      {.name = "gesture off", .enabled = false},
      {.name = "no screens", .screens = false},
  };
  for (const auto& row : rows) {
    const auto ignoredScrolls = [&] {  // in the zone and away from it
      enabled = row.enabled;
      if (!row.screens) fake.screens.list.clear();
      scroll(points(4));
      fake.screens.pointer = {400, 300};
      scroll(points(4));
      at(bottom, {{kFrame, kFrame}});
      enabled = true;
    };
    fake.timers.advance(1.0);
    scroll(points(4));
    fake.timers.advance(0.4);
    ignoredScrolls();
    fake.timers.advance(0.2);
    scroll(points(4));
    ignoredScrolls();
    EXPECT_EQ(sum(), 4) << row.name;
  }
}

// Whether the Dock is hidden is the third guard: asked only with the gesture on and no reveal.
TEST_F(EdgeRevealTest, AsksAboutTheDockOnlyWithTheGestureOnAndNoRevealRunning) {
  enabled = false;
  scroll(lines(1));
  enabled = true;
  scroll(lines(1));
  scroll(lines(1));
  EXPECT_EQ(dockAsked, 1);
  EXPECT_EQ(log, Log{"reveal"});
}

// Up for half a second (onReveal's time included), then while the pointer stays within the band:
// the room the Dock reserves, or 90 points without one, and a 12-point margin.
TEST_F(EdgeRevealTest, ARevealLastsHalfASecondAndWhileThePointerStaysWithinTheBand) {
  const Screen lower{{100, -768, 1024, 768}, {100, -708, 1024, 708}};
  const Screen second{{800, 0, 1024, 768}, {800, 0, 960, 743}};
  const Screen none{kFrame, {0, 0, 800, 575}}, beyond{kFrame, {-5, -10, 810, 585}};
  const struct {
    const char* name;
    DockEdge dockAt = bottom;
    Screen screen;
    Point keepsUp, conceals;
    double onRevealTakes = 0;
    int firstTick;  // the first poll that conceals at `conceals`: at 0.48 the minimum still holds
  } rows[] = {
      {.name = "bottom, none reserved",
       .screen = none,
       .keepsUp = {400, 102},
       .conceals = {400, 102.5},
       .onRevealTakes = .3,
       .firstTick = 2},
      {.name = "bottom, visible beyond the frame",
       .screen = beyond,
       .keepsUp = {400, 102},
       .conceals = {400, 102.5},
       .onRevealTakes = .37,
       .firstTick = 2},
      {.name = "a lower screen; onReveal took 0.38",
       .screen = lower,
       .keepsUp = {500, -696},
       .conceals = {500, -695.5},
       .onRevealTakes = .38,
       .firstTick = 1},
      {.name = "right, on a second screen",
       .dockAt = right,
       .screen = second,
       .keepsUp = {1748, 3},
       .conceals = {1747.5, 3},
       .firstTick = 5},
      {.name = "left, 64 reserved",
       .dockAt = left,
       .screen = {kFrame, {64, 0, 736, 575}},
       .keepsUp = {76, 300},
       .conceals = {76.5, 300},
       .firstTick = 5},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    at(row.dockAt, {row.screen});
    onRevealTakes = row.onRevealTakes;
    scroll(lines(1));
    onRevealTakes = 0;
    EXPECT_EQ(concealTick(row.conceals), row.firstTick);
    fake.screens.pointer = zone;
    scroll(lines(1));
    EXPECT_EQ(concealTick(row.keepsUp), 0);
    EXPECT_EQ(concealTick(row.conceals), 1);
  }
}

// The screen frame and the edge are the beginning's, the visible frame is read anew.
TEST_F(EdgeRevealTest, ChangesDuringARevealAreJudgedAgainstTheScreenAndEdgeItBeganWith) {
  const Screen main{kFrame, kVisible}, side{kSide, kSide};
  const Screen resized{{0, 0, 1024, 768}, kVisible}, moved{{0, 1, 800, 600}, kVisible};
  const struct {
    const char* name;
    std::vector<Screen> screens;
    Point pointer;
    DockEdge dockAt = bottom;
    bool conceals;
  } rows[] = {
      {.name = "pointer low on the other screen",
       .screens = {main, side},
       .pointer = {1000, 3},
       .conceals = true},
      {.name = "resolution changed",
       .screens = {resized, side},
       .pointer = {400, 3},
       .conceals = true},
      {.name = "moved by a point", .screens = {moved, side}, .pointer = {400, 3}, .conceals = true},
      {.name = "Dock moved right",
       .screens = {main, side},
       .pointer = {400, 3},
       .dockAt = right,
       .conceals = false},
      {.name = "no room reserved any more: band 90",
       .screens = {{kFrame, kFrame}},
       .pointer = {400, 90},
       .dockAt = bottom,
       .conceals = false},
  };
  for (const auto& row : rows) {
    at(bottom, {main, side});
    scroll(lines(1));
    at(row.dockAt, row.screens);
    EXPECT_EQ(concealTick(row.pointer), row.conceals ? 5 : 0) << row.name;
    reveal->cancel();
  }
}

// Neither conceals, also from inside onReveal; cancel() also starts the sum afresh. Outside
// onReveal, stop() is the program's end, which the delegate's tests cover.
TEST_F(EdgeRevealTest, CancelAndStopEndARevealWithoutConcealingAndLeaveNoTimer) {
  const struct {
    const char* name;
    bool stops, insideOnReveal;
  } rows[] = {
      {.name = "cancel", .stops = false, .insideOnReveal = false},
      {.name = "cancel inside onReveal", .stops = false, .insideOnReveal = true},
      {.name = "stop inside onReveal", .stops = true, .insideOnReveal = true},
  };
  scroll(points(4));
  reveal->cancel();
  EXPECT_EQ(sum(), 0) << "cancel() starts the sum afresh";
  log.clear();
  for (const auto& row : rows) {
    const auto end = [&] {
      if (row.stops) {
        reveal->stop();
      } else {
        reveal->cancel();
      }
    };
    reveal->onReveal = [&] {
      log.push_back("reveal");
      if (row.insideOnReveal) end();
    };
    fake.screens.pointer = zone;
    scroll(lines(1));
    if (!row.insideOnReveal) end();
    EXPECT_EQ(fake.timers.liveTimers(), 0U) << row.name;
    EXPECT_EQ(concealTick({400, 300}), 0) << row.name;
    EXPECT_EQ(log, Log{"reveal"}) << row.name;
    EXPECT_EQ(fake.scrollMonitor.installed(), row.stops ? 0U : 1U) << row.name;
    reveal->start();
    log.clear();
  }
}

TEST_F(EdgeRevealTest, ADestroyedRevealNeitherConcealsNorBegins) {
  scroll(lines(1));
  reveal.reset();
  EXPECT_EQ(concealTick({400, 300}), 0);
  fake.screens.pointer = zone;
  scroll(lines(1));
  EXPECT_EQ(log, Log{"reveal"});
}

}  // namespace
}  // namespace velmoryn
