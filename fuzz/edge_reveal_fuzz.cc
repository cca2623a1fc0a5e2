// The edge gesture and the timed reveal under random streams of scroll events,
// clock advances, pointer moves, screen lists, Dock edges, start/stop/cancel
// calls and closure answers. Checked after every step and inside the closures:
// - onConceal never comes without a reveal before it, never twice for one
//   reveal, never before the minimum reveal time, and finds the reveal over;
// - a live poll timer exists exactly while a reveal runs, and not yet in onReveal;
// - a reveal begins only from a scroll event, with the gesture on, the Dock
//   hidden and the pointer on a screen;
// - the Dock is asked about only with the gesture on and no reveal running;
// - cancel() restarts the sum: less than the trigger after it begins nothing;
// - start() installs one monitor unless the platform refuses, stop() removes it.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
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

namespace {

using velmoryn::EdgeReveal;
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
  bool delivering = false;
  double revealStartedAt = 0;
  velmoryn::Dock dock;
  // Declared last: destroyed before the state its closures use.
  std::shared_ptr<EdgeReveal> reveal = EdgeReveal::create(dock);

  Harness() {
    fake.screens.list = {Screen{{0, 0, 800, 600}, {0, 70, 800, 505}}};
    fake.screens.pointer = Point{400, 2};
    reveal->isEnabled = [this] { return enabled; };
    reveal->isDockHidden = [this] {
      FUZZ_CHECK(enabled && !reveal->isRevealing(),
                 "the Dock is asked about only with the gesture on and no reveal running");
      return hidden;
    };
    reveal->onReveal = [this] {
      FUZZ_CHECK(delivering, "a reveal begins only from a scroll event");
      FUZZ_CHECK(enabled && hidden, "a reveal begins only with the gesture on and the Dock hidden");
      FUZZ_CHECK(
          std::any_of(fake.screens.list.begin(), fake.screens.list.end(),
                      [&](const Screen& s) { return s.frame.contains(fake.screens.pointer); }),
          "a reveal begins only with the pointer on a screen");
      FUZZ_CHECK(reveal->isRevealing(), "onReveal runs inside the reveal");
      FUZZ_CHECK(fake.timers.liveTimers() == 0, "the poll timer comes after onReveal");
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
      FUZZ_CHECK(fake.clock.now() - revealStartedAt >= 0.5,
                 "the Dock stays up for the minimum time");
      ++conceals;
      concealedThisReveal = true;
    };
  }

  void deliver(const ScrollEvent& event) {
    delivering = true;
    fake.scrollMonitor.deliver(event);
    delivering = false;
  }

  void checkTimer() const {
    FUZZ_CHECK(fake.timers.liveTimers() == (reveal->isRevealing() ? 1U : 0U),
               "a live timer exactly while a reveal runs");
  }

  void setEdge(const char* orientation) {
    fake.processes.respond = [orientation](const velmoryn::ProcessRequest&) {
      return velmoryn::testing::FakeProcessRunner::output(std::string(orientation) + "\n");
    };
    dock.primeEdge();
  }

  void step(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 11)) {
      case 0:
      case 1:
        deliver(ScrollEvent{in.ConsumeBool(), in.ConsumeBool(), interesting(in), interesting(in)});
        break;
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
        FUZZ_CHECK(!reveal->isRevealing(), "cancel() ends the reveal");
        deliver(ScrollEvent{true, false, 12.0 - 0.25, 0});  // just short of the trigger
        FUZZ_CHECK(!reveal->isRevealing(), "cancel() restarts the sum");
        break;
      case 7:
        reveal->stop();
        FUZZ_CHECK(!reveal->isRevealing(), "stop() ends the reveal");
        FUZZ_CHECK(fake.scrollMonitor.installed() == 0, "stop() removes the monitor");
        break;
      case 8:
        fake.scrollMonitor.refuse = in.ConsumeBool();
        reveal->start();
        FUZZ_CHECK(fake.scrollMonitor.installed() <= 1, "one monitor at most");
        FUZZ_CHECK(fake.scrollMonitor.refuse || fake.scrollMonitor.installed() == 1,
                   "start() installs the monitor, also after a refusal");
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
    std::fprintf(stderr, "reveals %d, conceals %d, revealing %d, clock %g\n", harness.reveals,
                 harness.conceals, harness.reveal->isRevealing() ? 1 : 0, harness.fake.clock.now());
  harness.reveal->stop();
  return 0;
}
