// The edge gesture and the timed reveal under random streams of scroll events,
// clock advances, pointer moves, screen lists, Dock edges, start/stop/cancel
// calls and closure answers. Checked after every step and inside the closures:
// - onConceal never comes without a reveal before it, never twice for one
//   reveal, never before the minimum reveal time, and finds the reveal over;
// - a live poll timer exists exactly while a reveal runs;
// - the running sum is 0 after every reset and while a reveal runs, never
//   negative or NaN, and below the trigger between events;
// - a reveal begins only while the gesture is on and the Dock is hidden.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "dock/dock.h"
#include "fakes/fake_platform.h"
#include "fuzz_check.h"
#include "reveal/edge_reveal.h"

namespace velmoryn {

// The fuzz target's own view of the private state (the unit tests have theirs).
class EdgeRevealTestPeer {
 public:
  static double accumulated(const EdgeReveal& reveal) { return reveal.accumulated; }
  static void handle(EdgeReveal& reveal, const ScrollEvent& event) { reveal.handle(event); }
};

}  // namespace velmoryn

namespace {

using velmoryn::EdgeReveal;
using velmoryn::EdgeRevealTestPeer;
using velmoryn::Point;
using velmoryn::Rect;
using velmoryn::Screen;
using velmoryn::ScrollEvent;
using velmoryn::testing::FakePlatform;

// Values that sit on the boundaries of the recogniser and the reveal.
double interesting(FuzzedDataProvider& in) {
  static const double values[] = {0.0,
                                  -0.0,
                                  0.5,
                                  1.0,
                                  -1.0,
                                  4.0,
                                  5.0,
                                  5.01,
                                  12.0,
                                  20.0,
                                  70.0,
                                  82.0,
                                  82.5,
                                  90.0,
                                  102.0,
                                  600.0,
                                  723.5,
                                  724.0,
                                  736.0,
                                  800.0,
                                  795.0,
                                  -800,
                                  1e9,
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN(),
                                  std::numeric_limits<double>::denorm_min()};
  switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0:
      return in.PickValueInArray(values);
    case 1:
      return in.ConsumeIntegralInRange(-4000, 8000) / 4.0;
    default:
      return in.ConsumeFloatingPoint<double>();
  }
}

Rect rect(FuzzedDataProvider& in) {
  static const Rect frames[] = {{0, 0, 800, 600},      {800, 0, 800, 600}, {0, 70, 800, 505},
                                {0, 0, 800, 575},      {0, 0, 736, 575},   {64, 0, 736, 575},
                                {-1440, 0, 1440, 900}, {0, 600, 800, 600}};
  if (in.ConsumeBool()) return in.PickValueInArray(frames);
  return Rect{interesting(in), interesting(in), interesting(in), interesting(in)};
}

struct Harness {
  FakePlatform fake;
  bool enabled = true;
  bool hidden = true;
  int onRevealAction = 0;  // 0 nothing, 1 cancel, 2 stop, 3 stop and start again
  int reveals = 0;
  int conceals = 0;
  bool concealedThisReveal = true;
  double revealStartedAt = 0;
  // Declared last: destroyed before the state its closures use.
  std::shared_ptr<EdgeReveal> reveal = EdgeReveal::create();

  Harness() {
    fake.screens.list = {Screen{{0, 0, 800, 600}, {0, 70, 800, 505}}};
    fake.screens.pointer = Point{400, 2};
    reveal->isEnabled = [this] { return enabled; };
    reveal->isDockHidden = [this] { return hidden; };
    reveal->onReveal = [this] {
      FUZZ_CHECK(enabled && hidden, "a reveal begins only with the gesture on and the Dock hidden");
      FUZZ_CHECK(reveal->isRevealing(), "onReveal runs inside the reveal");
      FUZZ_CHECK(EdgeRevealTestPeer::accumulated(*reveal) == 0, "the sum restarts at a reveal");
      ++reveals;
      concealedThisReveal = false;
      revealStartedAt = fake.clock.now();
      if (onRevealAction == 1) reveal->cancel();
      if (onRevealAction >= 2) reveal->stop();
      if (onRevealAction == 3) reveal->start();
    };
    reveal->onConceal = [this] {
      FUZZ_CHECK(reveals > 0, "onConceal never without a reveal before it");
      FUZZ_CHECK(!concealedThisReveal, "onConceal at most once for one reveal");
      FUZZ_CHECK(!reveal->isRevealing(), "onConceal finds the reveal over");
      FUZZ_CHECK(fake.timers.liveTimers() == 0, "onConceal finds the timer gone");
      FUZZ_CHECK(fake.clock.now() - revealStartedAt >= EdgeReveal::minimumReveal,
                 "the Dock stays up for the minimum time");
      ++conceals;
      concealedThisReveal = true;
    };
  }

  void checkSum() const {
    const double sum = EdgeRevealTestPeer::accumulated(*reveal);
    FUZZ_CHECK(!std::isnan(sum) && sum >= 0, "the sum is a number and never negative");
    FUZZ_CHECK(sum < EdgeReveal::triggerAmount, "the sum stays below the trigger");
    if (reveal->isRevealing()) FUZZ_CHECK(sum == 0, "no sum while a reveal runs");
  }

  void checkTimer() const {
    FUZZ_CHECK(fake.timers.liveTimers() == (reveal->isRevealing() ? 1U : 0U),
               "a live timer exactly while a reveal runs");
  }

  void setEdge(const char* orientation) {
    fake.processes.respond = [orientation](const velmoryn::ProcessRequest&) {
      return velmoryn::testing::FakeProcessRunner::output(std::string(orientation) + "\n");
    };
    velmoryn::Dock::primeEdge();
  }

  void step(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 11)) {
      case 0:
      case 1: {  // a scroll event, through the monitor when one is installed
        ScrollEvent event{in.ConsumeBool(), in.ConsumeBool(), interesting(in), interesting(in)};
        if (fake.scrollMonitor.installed() > 0) {
          fake.scrollMonitor.deliver(event);
        } else {
          EdgeRevealTestPeer::handle(*reveal, event);
        }
        break;
      }
      case 2: {  // time passes; the fake's timers fire at their due times
        const double seconds = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 300) / 100.0
                                                : in.ConsumeFloatingPointInRange(0.0, 10.0);
        fake.timers.advance(seconds);
        break;
      }
      case 3:
        fake.screens.pointer = Point{interesting(in), interesting(in)};
        break;
      case 4: {
        std::vector<Screen> screens;
        const int count = in.ConsumeIntegralInRange(0, 3);
        screens.reserve(static_cast<std::size_t>(count));
        for (int k = 0; k < count; ++k) screens.push_back(Screen{rect(in), rect(in)});
        fake.screens.list = screens;
        break;
      }
      case 5: {
        static const char* const orientations[] = {"bottom", "left", "right", "", "Left", "top"};
        setEdge(in.PickValueInArray(orientations));
        break;
      }
      case 6:
        reveal->cancel();
        FUZZ_CHECK(EdgeRevealTestPeer::accumulated(*reveal) == 0, "cancel() resets the sum");
        FUZZ_CHECK(!reveal->isRevealing(), "cancel() ends the reveal");
        break;
      case 7:
        reveal->stop();
        FUZZ_CHECK(EdgeRevealTestPeer::accumulated(*reveal) == 0, "stop() resets the sum");
        FUZZ_CHECK(fake.scrollMonitor.installed() == 0, "stop() removes the monitor");
        break;
      case 8:
        fake.scrollMonitor.refuse = in.ConsumeBool();
        reveal->start();
        FUZZ_CHECK(fake.scrollMonitor.installed() <= 1, "one monitor at most");
        break;
      case 9:
        enabled = in.ConsumeBool();
        hidden = in.ConsumeBool();
        break;
      case 10:
        onRevealAction = in.ConsumeIntegralInRange(0, 3);
        break;
      default:  // the edge refresh hands its answer back through the queues
        fake.utilityQueue.drain();
        fake.mainQueue.drain();
        break;
    }
    checkSum();
    checkTimer();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  Harness harness;
  harness.setEdge("bottom");
  if (in.ConsumeBool()) harness.reveal->start();
  for (int steps = 0; steps < 256 && in.remaining_bytes() > 0; ++steps) harness.step(in);
  FUZZ_CHECK(harness.conceals <= harness.reveals, "no more conceals than reveals");
  // For checking what a seed does: VELMORYN_FUZZ_TRACE=1 ./edge_reveal_fuzz SEED
  if (std::getenv("VELMORYN_FUZZ_TRACE"))
    std::fprintf(stderr, "reveals %d, conceals %d, revealing %d, sum %g, clock %g\n",
                 harness.reveals, harness.conceals, harness.reveal->isRevealing() ? 1 : 0,
                 EdgeRevealTestPeer::accumulated(*harness.reveal), harness.fake.clock.now());
  harness.reveal->stop();
  return 0;
}
