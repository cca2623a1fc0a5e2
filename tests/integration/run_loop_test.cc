// The real run loop, its timers, queues and signals; every wait is bounded by a deadline.
#include "platform/linux/run_loop_linux.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <asio/steady_timer.hpp>

namespace velmoryn {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct RunLoopTest : ::testing::Test {
  bool runFor(milliseconds limit, const std::function<bool()>& done, bool modal = false) {
    bool expired = false;
    asio::steady_timer deadline(loop.context(), limit);
    deadline.async_wait([&expired](const asio::error_code& error) { expired = !error; });
    auto finished = [&] { return expired || done(); };
    modal ? loop.runModalUntil(finished) : loop.runUntil(finished);
    deadline.cancel();
    loop.context().poll();  // the cancelled deadline's handler runs before `expired` goes
    return !expired;
  }
  void idleFor(milliseconds span, bool modal = false) { runFor(span, nothing, modal); }
  const std::function<bool()> nothing = [] { return false; };
  const std::thread::id mainThread = std::this_thread::get_id();
  RunLoop loop;
  TimerServiceLinux timers{loop};
  MainQueueLinux mainQueue{loop};
};

// Never early; stops once invalidated, even from its own still-running block.
TEST_F(RunLoopTest, TimersRepeatNeverEarlyAndStopOnlyOnceInvalidated) {
  int self = 0;
  std::shared_ptr<RepeatingTimer> selfStopping;
  selfStopping = timers.scheduleRepeating(0.01, [&, held = std::string(64, 'x')] {
    selfStopping->invalidate();
    self += held.size() == 64 ? 1 : 100;
  });
  std::vector<Clock::time_point> firings;
  const auto scheduled = Clock::now();
  std::weak_ptr<RepeatingTimer> dropped =
      timers.scheduleRepeating(0.02, [&] { firings.push_back(Clock::now()); });
  ASSERT_TRUE(runFor(milliseconds(3000), [&] { return firings.size() == 4; }));
  dropped.lock()->invalidate();
  idleFor(milliseconds(60));
  EXPECT_EQ(self, 1);
  EXPECT_EQ(firings.size(), 4u);
  EXPECT_TRUE(dropped.expired()) << "an invalidated timer is let go";
  for (std::size_t k = 0; k < firings.size(); ++k) {
    EXPECT_GE(firings[k], scheduled + milliseconds(20 * (k + 1))) << "firing " << k + 1;
  }
}

TEST_F(RunLoopTest, TicksWaitWhileAMenuIsOpenAndComeOnceItClosesWithoutABurst) {
  int ticks = 0;
  auto timer = timers.scheduleRepeating(0.005, [&] { ++ticks; });
  bool queuedWorkRan = false;
  mainQueue.async([&] { queuedWorkRan = true; });
  idleFor(milliseconds(150), /*modal=*/true);
  EXPECT_EQ(ticks, 0) << "a timer ticked inside the menu's loop";
  EXPECT_TRUE(queuedWorkRan) << "main-queue work must run while a menu is open";
  const auto closed = Clock::now();
  idleFor(milliseconds(20));
  EXPECT_GE(ticks, 1);
  EXPECT_LE(ticks, (Clock::now() - closed) / milliseconds(5) + 2) << "missed ticks came in a burst";
}

// On the main thread, in each queuer's order, never inside async().
TEST_F(RunLoopTest, MainQueueWorkRunsOnTheMainThreadInEachQueuersOrder) {
  static UtilityQueueLinux utility;  // its worker lives on, as in the program
  std::vector<int> fromMain, fromUtility;
  std::atomic<bool> wrongThread{false};
  utility.async([&] {
    wrongThread = wrongThread || std::this_thread::get_id() == mainThread;
    for (int i = 0; i < 200; ++i) {
      mainQueue.async([&, i] {
        wrongThread = wrongThread || std::this_thread::get_id() != mainThread;
        fromUtility.push_back(i);
      });
    }
  });
  mainQueue.async([&] { mainQueue.async([&] { fromMain.push_back(50); }); });
  for (int i = 0; i < 50; ++i) mainQueue.async([&, i] { fromMain.push_back(i); });
  EXPECT_TRUE(fromMain.empty());
  ASSERT_TRUE(
      runFor(milliseconds(5000), [&] { return fromMain.size() + fromUtility.size() == 251; }));
  EXPECT_FALSE(wrongThread);
  EXPECT_TRUE(std::ranges::is_sorted(fromUtility) && std::ranges::is_sorted(fromMain));
}

TEST_F(RunLoopTest, ASignalWaitsForResumeThenRunsTheHandlerOnTheMainThreadEachTime) {
  SignalServiceLinux signals(loop);
  int calls = 0;
  signals.ignore(SIGHUP);
  auto source = signals.makeSource(
      SIGHUP, [&] { calls += std::this_thread::get_id() == mainThread ? 1 : 100; });
  ASSERT_EQ(::kill(::getpid(), SIGHUP), 0);
  idleFor(milliseconds(100));
  EXPECT_EQ(calls, 0) << "a suspended source delivered";
  source->resume();
  ASSERT_TRUE(runFor(milliseconds(3000), [&] { return calls == 1; }));
  ASSERT_EQ(::kill(::getpid(), SIGHUP), 0);
  ASSERT_TRUE(runFor(milliseconds(3000), [&] { return calls == 2; }));
  source.reset();  // leaves the signal ignored, not fatal, as it found it
  EXPECT_EQ(::signal(SIGHUP, SIG_IGN), SIG_IGN);
}

}  // namespace
}  // namespace velmoryn
