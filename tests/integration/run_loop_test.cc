// The real run loop: asio timers, queues on real threads and real signals.
// Every wait here is bounded by a deadline on the loop itself.
#include "platform/linux/run_loop_linux.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <asio/steady_timer.hpp>

namespace velmoryn {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Runs the loop until `done` or until the deadline has passed; false on the deadline.
bool runFor(RunLoop& loop, milliseconds limit, const std::function<bool()>& done,
            bool modal = false) {
  bool expired = false;
  asio::steady_timer deadline(loop.context(), limit);
  deadline.async_wait([&expired](const asio::error_code& error) { expired = !error; });
  auto finished = [&] { return expired || done(); };
  modal ? loop.runModalUntil(finished) : loop.runUntil(finished);
  deadline.cancel();
  loop.context().poll();  // the cancelled deadline's handler runs before `expired` goes
  return !expired;
}

void idleFor(RunLoop& loop, milliseconds span, bool modal = false) {
  runFor(
      loop, span, [] { return false; }, modal);
}

TEST(RunLoopTimers, ARepeatingTimerFiresAgainAndAgainAndNeverEarly) {
  RunLoop loop;
  TimerServiceLinux timers(loop);
  std::vector<Clock::time_point> firings;
  const auto scheduled = Clock::now();
  auto timer = timers.scheduleRepeating(0.03, [&] { firings.push_back(Clock::now()); });
  ASSERT_TRUE(runFor(loop, milliseconds(3000), [&] { return firings.size() == 5; }));
  timer->invalidate();
  for (std::size_t k = 0; k < firings.size(); ++k) {
    EXPECT_GE(firings[k], scheduled + milliseconds(30 * (k + 1))) << "firing " << k + 1;
  }
}

TEST(RunLoopTimers, AnInvalidatedTimerStopsEvenFromItsOwnBlockAndADroppedHandleDoesNot) {
  RunLoop loop;
  TimerServiceLinux timers(loop);
  int cancelledCount = 0, selfCount = 0, droppedCount = 0;
  timers.scheduleRepeating(0.01, [&] { ++cancelledCount; })->invalidate();
  std::shared_ptr<RepeatingTimer> self;
  self = timers.scheduleRepeating(0.01, [&] {
    ++selfCount;
    self->invalidate();
  });
  std::weak_ptr<RepeatingTimer> dropped = timers.scheduleRepeating(0.01, [&] { ++droppedCount; });
  ASSERT_TRUE(runFor(loop, milliseconds(3000), [&] { return droppedCount == 3; }));
  dropped.lock()->invalidate();
  idleFor(loop, milliseconds(60));
  EXPECT_EQ(cancelledCount, 0);
  EXPECT_EQ(selfCount, 1);
  EXPECT_EQ(droppedCount, 3);
  EXPECT_TRUE(dropped.expired()) << "an invalidated timer is let go";
}

TEST(RunLoopTimers, TicksWaitWhileAMenuIsOpenAndComeOnceItClosesWithoutABurst) {
  RunLoop loop;
  TimerServiceLinux timers(loop);
  MainQueueLinux mainQueue(loop);
  int ticks = 0;
  auto timer = timers.scheduleRepeating(0.005, [&] { ++ticks; });
  bool queuedWorkRan = false;
  mainQueue.async([&] { queuedWorkRan = true; });
  idleFor(loop, milliseconds(150), /*modal=*/true);
  EXPECT_EQ(ticks, 0) << "a timer ticked inside the menu's loop";
  EXPECT_TRUE(queuedWorkRan) << "main-queue work must run while a menu is open";
  // About thirty ticks were missed; the one that fell due comes, the rest do not.
  const auto closed = Clock::now();
  idleFor(loop, milliseconds(20));
  EXPECT_GE(ticks, 1);
  EXPECT_LE(ticks, (Clock::now() - closed) / milliseconds(5) + 2) << "missed ticks came in a burst";
  timer->invalidate();
}

// Work queued on the main thread and from the utility queue's thread.
TEST(RunLoopQueues, MainQueueWorkRunsOnTheMainThreadInEachQueuersOrderNeverInsideAsync) {
  RunLoop loop;
  MainQueueLinux mainQueue(loop);
  static UtilityQueueLinux utility;  // its worker lives on, as in the program
  const auto mainThread = std::this_thread::get_id();
  std::vector<int> fromMain, fromUtility;
  std::atomic<bool> wrongThread{false};
  bool insideAsync = false;
  utility.async([&] {
    wrongThread = wrongThread || std::this_thread::get_id() == mainThread;
    for (int i = 0; i < 200; ++i) {
      mainQueue.async([&, i] {
        wrongThread = wrongThread || std::this_thread::get_id() != mainThread;
        fromUtility.push_back(i);
      });
    }
  });
  // Work that queues more work: it runs after what was queued before it.
  mainQueue.async([&] { mainQueue.async([&] { fromMain.push_back(50); }); });
  for (int i = 0; i < 50; ++i) {
    insideAsync = true;
    mainQueue.async([&, i] {
      EXPECT_FALSE(insideAsync);
      fromMain.push_back(i);
    });
    insideAsync = false;
  }
  ASSERT_TRUE(runFor(loop, milliseconds(5000),
                     [&] { return fromMain.size() + fromUtility.size() == 251; }));
  EXPECT_FALSE(wrongThread);
  for (int i = 0; i < 200; ++i) ASSERT_EQ(fromUtility[static_cast<std::size_t>(i)], i);
  for (int i = 0; i <= 50; ++i) ASSERT_EQ(fromMain[static_cast<std::size_t>(i)], i);
}

TEST(RunLoopSignals, ASignalWaitsForResumeThenRunsTheHandlerOnTheMainThreadEachTime) {
  RunLoop loop;
  SignalServiceLinux signals(loop);
  const auto mainThread = std::this_thread::get_id();
  int calls = 0;
  signals.ignore(SIGHUP);
  auto source = signals.makeSource(
      SIGHUP, [&] { calls += std::this_thread::get_id() == mainThread ? 1 : 100; });
  ASSERT_EQ(::kill(::getpid(), SIGHUP), 0);
  idleFor(loop, milliseconds(100));
  EXPECT_EQ(calls, 0) << "a suspended source delivered";
  source->resume();
  ASSERT_TRUE(runFor(loop, milliseconds(3000), [&] { return calls == 1; }));
  ASSERT_EQ(::kill(::getpid(), SIGHUP), 0);
  ASSERT_TRUE(runFor(loop, milliseconds(3000), [&] { return calls == 2; }));

  // A removed source leaves the signal ignored, not fatal, as it found it.
  source.reset();
  struct sigaction now {};
  ASSERT_EQ(::sigaction(SIGHUP, nullptr, &now), 0);
  EXPECT_EQ(now.sa_handler, SIG_IGN);
}

TEST(RunLoopClock, NowCountsSecondsSinceTheFirstOf2001) {
  const double unixNow =
      std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  EXPECT_NEAR(SystemClockLinux().now(), unixNow - 978307200.0, 1.0);
}

}  // namespace
}  // namespace velmoryn
