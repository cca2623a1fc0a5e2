// The monitor, cancel(), stop() and the closures' order: fuzz/edge_reveal_fuzz.cc.
#include "reveal/edge_reveal.h"

#include <gtest/gtest.h>

#include <cmath>
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
      if (reveal->isRevealing())
        return reveal->cancel(), 12.0 - quarters * 0.25;  // 12 points trigger it
      scroll(pt(0.25));
    }
    return -1;
  }
  // With the pointer at p, the poll tick that conceals; 0 when ten keep the Dock up.
  int concealTick(Point p) {
    fake.screens.pointer = p;
    for (int tick = 1; tick <= 10; ++tick) {
      fake.timers.advance(0.12);  // the poll's interval
      if (!log.empty() && log.back() == "conceal") return log.pop_back(), tick;
    }
    return 0;
  }

  testing::FakePlatform fake;
  Point zone;
  bool enabled = true, hidden = true;
  double onRevealTakes = 0;
  Log log;
  Dock dock;
  // Declared last: destroyed before the fakes and the state its closures use.
  std::shared_ptr<EdgeReveal> reveal = EdgeReveal::create(dock);
};

// The first screen holding the pointer, maximum borders excluded; 8 counts, 0 resets, 4 ignores.
TEST_F(EdgeRevealTest, EdgeZoneOfTheFirstScreenContainingThePointer) {
  const Rect below{0, -768, 1024, 768}, onRight{800, 0, 1024, 768}, onLeft{-1024, 0, 1024, 768};
  const Rect deeper{0, -100, 800, 700}, above{0, 600, 800, 600};
  const std::tuple<DockEdge, std::vector<Rect>, Point, double> rows[] = {
      {bottom, {below}, {10, -763}, 8},        {bottom, {below}, {10, -762.99}, 0},
      {right, {onRight}, {1819, 10}, 8},       {left, {onLeft}, {-1019, 10}, 8},
      {bottom, {kFrame}, {0, 300}, 0},         {left, {kFrame}, {400, 0}, 0},
      {bottom, {kFrame, deeper}, {100, 3}, 8}, {bottom, {deeper, kFrame}, {100, 3}, 0},
      {right, {kFrame, kSide}, {800, 300}, 0}, {bottom, {kFrame, above}, {100, 600}, 8},
      {bottom, {kFrame}, {-10, 0}, 4},         {bottom, {kFrame}, {400, 600}, 4},
  };
  for (const auto& [dockAt, frames, pointer, after] : rows) {
    SCOPED_TRACE(::testing::Message() << "point (" << pointer.x << ", " << pointer.y << ")");
    std::vector<Screen> screens;
    for (const Rect& frame : frames) screens.push_back(Screen{frame, frame});
    at(dockAt, screens);
    scroll(pt(4)), fake.screens.pointer = pointer, scroll(pt(4));
    EXPECT_EQ(sum(), after);
  }
}

// After 4 points, each step's pause and event, counted or ignored (sent in the zone and away).
TEST_F(EdgeRevealTest, AmountsTowardTheEdgeAddUpToTheTriggerWithinTheWindow) {
  enum Skip : char { counts, gestureOff, dockShown, noScreens };
  struct Step {
    double pause;
    ScrollEvent event;
    Skip skip = counts;
  };
  const std::tuple<const char*, DockEdge, std::vector<Step>, double> rows[] = {
      {"bottom, upward", bottom, {{.1, pt(3)}}, 7},
      {"bottom, downward", bottom, {{.1, pt(-3)}}, 0},
      {"bottom, purely horizontal", bottom, {{.1, pt(0, 5)}}, 0},
      {"bottom, not a number", bottom, {{.1, pt(std::nan(""))}}, 0},
      {"bottom, natural upward", bottom, {{.1, pt(-3, 0, true)}}, 7},
      {"bottom, a quarter line", bottom, {{.1, line(.25)}}, 9},
      {"left, mostly leftward", left, {{.1, pt(1, 5)}}, 9},
      {"left, natural mostly leftward", left, {{.1, pt(-1, -5, true)}}, 9},
      {"left, a leftward quarter line", left, {{.1, line(0, .25)}}, 9},
      {"left, tie counts upward", left, {{.1, pt(3, -3)}}, 7},
      {"right, mostly rightward", right, {{.1, pt(1, -5)}}, 9},
      {"right, tie counts upward", right, {{.1, pt(3, 3)}}, 7},
      {"11.75 points after a pause", bottom, {{.6, pt(11.75)}}, 11.75},
      {"4, 4 and 4 points", bottom, {{.2, pt(4)}, {.2, pt(4)}}, 12},
      {"pauses of exactly the window", bottom, {{.5, pt(4)}, {.5, pt(4)}}, 12},
      {"a pause just over the window", bottom, {{.5000001, pt(4)}}, 4},
      // Ignored events neither count, nor restart the sum, nor move the window's start.
      {"gesture off", bottom, {{.4, pt(4), gestureOff}, {.2, pt(4)}, {0, pt(4), gestureOff}}, 4},
      {"Dock shown", bottom, {{.4, pt(4), dockShown}, {.2, pt(4)}, {0, pt(4), dockShown}}, 4},
      {"no screens", bottom, {{.4, pt(4), noScreens}, {.2, pt(4)}, {0, pt(4), noScreens}}, 4},
  };
  for (const auto& [name, dockAt, steps, after] : rows) {
    SCOPED_TRACE(name);
    at(dockAt, {{kFrame, kFrame}});
    fake.timers.advance(1.0), scroll(pt(4));
    for (const auto& [pause, event, skip] : steps) {
      fake.timers.advance(pause);
      enabled = skip != gestureOff, hidden = skip != dockShown;
      if (skip == noScreens) fake.screens.list.clear();
      scroll(event);
      if (skip) fake.screens.pointer = {400, 300}, scroll(event), at(dockAt, {{kFrame, kFrame}});
      enabled = hidden = true;
    }
    EXPECT_EQ(sum(), after);
  }
}

// Up minimumReveal (onReveal's time included), then within the band: the room reserved, or 90.
TEST_F(EdgeRevealTest, RevealLastsItsMinimumTimeAndWhileThePointerStaysWithinTheBand) {
  const Rect none{0, 0, 800, 575}, beyond{-5, -10, 810, 585};  // visible frames
  const Screen lower{{100, -768, 1024, 768}, {100, -708, 1024, 708}};
  const Screen second{{800, 0, 1024, 768}, {800, 0, 960, 743}};
  const std::tuple<DockEdge, Screen, Point, Point, double, int> rows[] = {
      {bottom, {kFrame, kVisible}, {400, 82}, {400, 82.5}, 0, 5},    // 0.48 keeps, 0.60 conceals
      {bottom, {kFrame, none}, {400, 102}, {400, 102.5}, .3, 2},     // 0.42 keeps, 0.54 conceals
      {bottom, {kFrame, beyond}, {400, 102}, {400, 102.5}, .37, 2},  // 0.49 keeps
      {bottom, lower, {500, -696}, {500, -695.5}, .38, 1},  // the first tick, at 0.50, conceals
      {right, {kFrame, {0, 0, 736, 575}}, {724, 300}, {723.5, 300}, 0, 5},
      {right, second, {1748, 3}, {1747.5, 3}, 0, 5},  // measured from the screen's own right
      {left, {kFrame, {64, 0, 736, 575}}, {76, 300}, {76.5, 300}, 0, 5},
  };
  for (const auto& [dockAt, screen, stays, leaves, takes, first] : rows) {
    SCOPED_TRACE(::testing::Message() << "stays at (" << stays.x << ", " << stays.y << ")");
    at(dockAt, {screen});
    onRevealTakes = takes, scroll(line(1)), onRevealTakes = 0;
    EXPECT_EQ(concealTick(leaves), first);
    fake.screens.pointer = zone, scroll(line(1));
    EXPECT_EQ(concealTick(stays), 0);
    EXPECT_EQ(concealTick(leaves), 1);
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
      {"no room reserved any more: band 90", {{kFrame, kFrame}}, {400, 90}, bottom, false},
  };
  for (const auto& [name, screens, pointer, dockAt, conceals] : rows) {
    SCOPED_TRACE(name);
    at(bottom, {main, side}), scroll(line(1));
    at(dockAt, screens);
    EXPECT_EQ(concealTick(pointer), conceals ? 5 : 0);
    reveal->cancel();
  }
}

// Events during a reveal are the fuzzer's; after destruction nothing may act.
TEST_F(EdgeRevealTest, ADestroyedRevealNeitherConcealsNorBegins) {
  scroll(line(1));
  reveal.reset();
  EXPECT_EQ(concealTick({400, 300}), 0);
  fake.screens.pointer = zone, scroll(line(1));
  EXPECT_EQ(log, Log{"reveal"});
}

}  // namespace
}  // namespace velmoryn
