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
  deadline.async_wait([&expired](const asio::error_code& error) {
    if (!error) expired = true;
  });
  auto finished = [&] { return expired || done(); };
  if (modal) {
    loop.runModalUntil(finished);
  } else {
    loop.runUntil(finished);
  }
  deadline.cancel();
  // Lets the cancelled deadline's handler run before `expired` goes away.
  loop.context().poll();
  return !expired;
}

void idleFor(RunLoop& loop, milliseconds span, bool modal = false) {
  runFor(
      loop, span, [] { return false; }, modal);
}

TEST(RunLoopTimers, ARepeatingTimerFiresAgainAndAgainAndNeverEarly) {
  RunLoop loop;
  TimerServiceLinux timers(loop);
  const double interval = 0.03;
  std::vector<Clock::time_point> firings;
  const auto scheduled = Clock::now();
  auto timer = timers.scheduleRepeating(interval, [&] { firings.push_back(Clock::now()); });

  ASSERT_TRUE(runFor(loop, milliseconds(3000), [&] { return firings.size() >= 5; }));
  timer->invalidate();

  for (std::size_t k = 0; k < firings.size(); ++k) {
    const auto due = scheduled + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(interval * double(k + 1)));
    EXPECT_GE(firings[k], due) << "firing " << k + 1 << " came early";
  }
}

TEST(RunLoopTimers, AnInvalidatedTimerNeverFiresAgain) {
  RunLoop loop;
  TimerServiceLinux timers(loop);
  int count = 0;
  auto timer = timers.scheduleRepeating(0.01, [&] { ++count; });
  ASSERT_TRUE(runFor(loop, milliseconds(3000), [&] { return count == 2; }));
  timer->invalidate();
  idleFor(loop, milliseconds(100));
  EXPECT_EQ(count, 2);
}

TEST(RunLoopTimers, ATimerInvalidatedBeforeItsFirstFiringNeverFires) {
  RunLoop loop;
  TimerServiceLinux timers(loop);
  int count = 0;
  auto timer = timers.scheduleRepeating(0.01, [&] { ++count; });
  timer->invalidate();
  idleFor(loop, milliseconds(80));
  EXPECT_EQ(count, 0);
}

TEST(RunLoopTimers, ABlockThatInvalidatesItsOwnTimerRunsOnce) {
  RunLoop loop;
  TimerServiceLinux timers(loop);
  int count = 0;
  std::shared_ptr<RepeatingTimer> timer;
  timer = timers.scheduleRepeating(0.01, [&] {
    ++count;
    timer->invalidate();
  });
  idleFor(loop, milliseconds(100));
  EXPECT_EQ(count, 1);
}

TEST(RunLoopTimers, TheLoopKeepsATimerWhoseHandleWasDropped) {
  RunLoop loop;
  TimerServiceLinux timers(loop);
  int count = 0;
  auto timer = timers.scheduleRepeating(0.01, [&] { ++count; });
  std::weak_ptr<RepeatingTimer> weak = timer;
  timer.reset();
  ASSERT_TRUE(runFor(loop, milliseconds(3000), [&] { return count == 3; }));
  auto kept = weak.lock();
  ASSERT_TRUE(kept);
  kept->invalidate();
  kept.reset();
  idleFor(loop, milliseconds(50));
  EXPECT_EQ(count, 3);
  EXPECT_TRUE(weak.expired()) << "an invalidated timer is let go";
}

TEST(RunLoopTimers, TicksWaitWhileAMenuIsOpenAndComeOnceItCloses) {
  RunLoop loop;
  TimerServiceLinux timers(loop);
  MainQueueLinux mainQueue(loop);
  int ticks = 0;
  auto timer = timers.scheduleRepeating(0.01, [&] { ++ticks; });
  bool queuedWorkRan = false;
  mainQueue.async([&] { queuedWorkRan = true; });

  idleFor(loop, milliseconds(120), /*modal=*/true);
  EXPECT_EQ(ticks, 0) << "a timer ticked inside the menu's loop";
  EXPECT_TRUE(queuedWorkRan) << "main-queue work must run while a menu is open";

  ASSERT_TRUE(runFor(loop, milliseconds(3000), [&] { return ticks >= 1; }));
  // The ticks missed while the menu was open are not made up in a burst.
  EXPECT_EQ(ticks, 1);
  timer->invalidate();
}

TEST(RunLoopQueues, MainQueueWorkRunsInOrderAndNeverInsideAsync) {
  RunLoop loop;
  MainQueueLinux mainQueue(loop);
  std::vector<int> order;
  bool insideAsync = false;
  for (int i = 0; i < 50; ++i) {
    insideAsync = true;
    mainQueue.async([&order, &insideAsync, i] {
      EXPECT_FALSE(insideAsync);
      order.push_back(i);
    });
    insideAsync = false;
  }
  // Work that queues more work: it runs after what was queued before it.
  mainQueue.async([&] { mainQueue.async([&] { order.push_back(100); }); });
  mainQueue.async([&] { order.push_back(50); });

  ASSERT_TRUE(runFor(loop, milliseconds(3000), [&] { return order.size() == 52; }));
  for (int i = 0; i <= 50; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
  EXPECT_EQ(order.back(), 100);
}

TEST(RunLoopQueues, WorkQueuedFromAnotherThreadRunsOnTheMainThreadInThatThreadsOrder) {
  RunLoop loop;
  MainQueueLinux mainQueue(loop);
  const auto mainThread = std::this_thread::get_id();
  std::vector<int> order;
  std::atomic<bool> offMain{false};
  std::thread producer([&] {
    for (int i = 0; i < 200; ++i) {
      mainQueue.async([&order, &offMain, mainThread, i] {
        if (std::this_thread::get_id() != mainThread) offMain = true;
        order.push_back(i);
      });
    }
  });
  ASSERT_TRUE(runFor(loop, milliseconds(5000), [&] { return order.size() == 200; }));
  producer.join();
  EXPECT_FALSE(offMain);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
}

TEST(RunLoopQueues, UtilityWorkRunsOffTheMainThreadAndHandsItsResultBack) {
  RunLoop loop;
  MainQueueLinux mainQueue(loop);
  static UtilityQueueLinux utility;  // its worker lives on, as in the program
  const auto mainThread = std::this_thread::get_id();
  std::thread::id workerThread;
  std::thread::id handedBackOn;
  int result = 0;
  bool done = false;
  utility.async([&] {
    workerThread = std::this_thread::get_id();
    int computed = 42;  // not const, or clang calls the copy needless
    mainQueue.async([&, computed] {
      result = computed;
      handedBackOn = std::this_thread::get_id();
      done = true;
    });
  });
  ASSERT_TRUE(runFor(loop, milliseconds(3000), [&] { return done; }));
  EXPECT_NE(workerThread, mainThread);
  EXPECT_EQ(handedBackOn, mainThread);
  EXPECT_EQ(result, 42);
}

TEST(RunLoopSignals, ARaisedSignalRunsTheHandlerOnTheMainThread) {
  RunLoop loop;
  SignalServiceLinux signals(loop);
  const auto mainThread = std::this_thread::get_id();
  int calls = 0;
  std::thread::id calledOn;
  signals.ignore(SIGHUP);
  auto source = signals.makeSource(SIGHUP, [&] {
    ++calls;
    calledOn = std::this_thread::get_id();
  });
  source->resume();

  ASSERT_EQ(::kill(::getpid(), SIGHUP), 0);
  ASSERT_TRUE(runFor(loop, milliseconds(3000), [&] { return calls == 1; }));
  EXPECT_EQ(calledOn, mainThread);

  // And again: a source keeps delivering.
  ASSERT_EQ(::kill(::getpid(), SIGHUP), 0);
  ASSERT_TRUE(runFor(loop, milliseconds(3000), [&] { return calls == 2; }));
}

TEST(RunLoopSignals, ASignalBeforeResumeWaitsForIt) {
  RunLoop loop;
  SignalServiceLinux signals(loop);
  int calls = 0;
  signals.ignore(SIGHUP);
  auto source = signals.makeSource(SIGHUP, [&] { ++calls; });
  ASSERT_EQ(::kill(::getpid(), SIGHUP), 0);
  idleFor(loop, milliseconds(100));
  EXPECT_EQ(calls, 0) << "a suspended source delivered";
  source->resume();
  EXPECT_TRUE(runFor(loop, milliseconds(3000), [&] { return calls == 1; }));
}

TEST(RunLoopSignals, IgnoreSwitchesOffTheDefaultActionAndARemovedSourceLeavesItOff) {
  RunLoop loop;
  SignalServiceLinux signals(loop);
  signals.ignore(SIGHUP);
  struct sigaction now {};
  ASSERT_EQ(::sigaction(SIGHUP, nullptr, &now), 0);
  EXPECT_EQ(now.sa_handler, SIG_IGN);

  auto source = signals.makeSource(SIGHUP, [] {});
  source->resume();
  source.reset();
  ASSERT_EQ(::sigaction(SIGHUP, nullptr, &now), 0);
  EXPECT_EQ(now.sa_handler, SIG_IGN);
  // Still alive after the signal: it is ignored, not fatal.
  ASSERT_EQ(::kill(::getpid(), SIGHUP), 0);
  idleFor(loop, milliseconds(20));
}

TEST(RunLoopClock, NowCountsSecondsSinceTheFirstOf2001) {
  SystemClockLinux clock;
  const double unixNow =
      std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  EXPECT_NEAR(clock.now(), unixNow - 978307200.0, 1.0);
  EXPECT_GT(clock.now(), 0);
}

}  // namespace
}  // namespace velmoryn
