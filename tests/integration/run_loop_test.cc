// The real run loop, log and console; every wait is bounded by a deadline.
#include "platform/linux/run_loop_linux.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <iterator>
#include <sstream>
#include <thread>
#include <vector>

#include <asio/steady_timer.hpp>

#include "platform/linux/log_linux.h"
#include "sim/console.h"

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

TEST(SystemClockLinux, CountsSecondsSinceTheFirstOf2001) {
  const auto sinceUnixEpoch = std::chrono::system_clock::now().time_since_epoch();
  EXPECT_NEAR(SystemClockLinux().now(),
              std::chrono::duration<double>(sinceUnixEpoch).count() - 978307200.0, 1.0);
}

// What `body` logs, each "YYYY-MM-DD HH:MM:SS.mmm velmoryn[PID:TID] " prefix checked and cut.
template <typename Body>
std::vector<std::string> logged(Body body, bool readerGone = false) {
  int fd[2];
  EXPECT_EQ(::pipe(fd), 0);
  if (readerGone) ::close(fd[0]);
  std::string written;
  std::thread reader([&] {
    char buffer[65536];
    for (ssize_t got; !readerGone && (got = ::read(fd[0], buffer, sizeof buffer)) > 0;)
      written.append(buffer, got);
  });
  {
    StderrLog log("velmoryn", fd[1]);
    ::close(fd[1]);
    body(log);
    EXPECT_TRUE(log.drain(std::chrono::seconds(10)));
  }  // the writer ends once it has written what it holds, and the pipe with it
  reader.join();
  if (!readerGone) ::close(fd[0]);
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; (end = written.find('\n', at)) != std::string::npos; at = end + 1) {
    int n[9] = {}, text = 0;
    std::sscanf(written.substr(at, 80).c_str(), "%4d-%2d-%2d %2d:%2d:%2d.%3d velmoryn[%d:%d]%n",
                &n[0], &n[1], &n[2], &n[3], &n[4], &n[5], &n[6], &n[7], &n[8], &text);
    const auto width = std::to_string(n[7]).size() + std::to_string(n[8]).size();
    EXPECT_TRUE(text == int(35 + width) && written[at + text] == ' ' && n[7] == ::getpid())
        << written.substr(at, 80);
    lines.push_back(written.substr(at + text + 1, end - at - text - 1));
  }
  return lines;
}

// Lines longer than a pipe's atomic write, in the order each thread wrote them.
TEST(StderrLog, LinesFromManyThreadsArriveWholeAndInOrder) {
  const auto lines = logged([](StderrLog& log) {
    std::vector<std::thread> writers;
    for (char c = 'a'; c < 'e'; ++c) {
      writers.emplace_back([&log, c] {
        for (int i = 0; i < 10; ++i) log.write(std::string(5000, c) + std::to_string(i));
      });
    }
    for (auto& writer : writers) writer.join();
  });
  EXPECT_EQ(lines.size(), 40u);
  for (char c = 'a'; c < 'e'; ++c) {
    std::vector<std::string> fromThread;
    std::ranges::copy_if(lines, std::back_inserter(fromThread),
                         [c](const std::string& line) { return line.front() == c; });
    for (int i = 0; i < 10; ++i)
      EXPECT_EQ(fromThread.at(i), std::string(5000, c) + std::to_string(i));
  }
}

TEST(StderrLog, AReaderThatWentAwayCostsTheLinesNotTheProcessAndAFinalNewlineIsNotDoubled) {
  const sighandler_t previous = ::signal(SIGPIPE, SIG_DFL);
  logged([](StderrLog& log) { log.write("nobody reads this"), log.write("nor this"); },
         /*readerGone=*/true);
  ::signal(SIGPIPE, previous);
  EXPECT_EQ(logged([](StderrLog& log) {
              log.write("戻りました（-9878）"), log.write("ends\n"), log.write("");
            }),
            (std::vector<std::string>{"戻りました（-9878）", "ends", ""}));
}

// Nobody reads at first: printing never waits and the listener hears every
// line; once read, the output has the lines in order, each gap said in its place.
TEST(Console, AnOutputNobodyReadsNeverHoldsThePrinterAndLinesDroppedAreCountedWhereTheyWere) {
  int fd[2];
  ASSERT_EQ(::pipe(fd), 0);
  constexpr int kLines = 20000;  // 2 MB: far beyond the pipe and the backlog
  const std::string filler(100, '.');
  int heard = 0;
  std::string written;
  std::thread reader;
  {
    Console console(fd[1]);
    ::close(fd[1]);
    console.addListener([&heard](const std::string&) { ++heard; });
    for (int i = 0; i < kLines; ++i) console.printLine(std::to_string(i) + filler);
    reader = std::thread([&] {
      char buffer[65536];
      for (ssize_t got; (got = ::read(fd[0], buffer, sizeof buffer)) > 0;)
        written.append(buffer, got);
    });
    EXPECT_TRUE(console.drain(std::chrono::seconds(10)));
    console.printLine("end");
  }  // the writer ends once it has written what it holds, and the pipe with it
  reader.join();
  ::close(fd[0]);
  EXPECT_EQ(heard, kLines + 1);
  std::istringstream lines(written);
  int next = 0, notes = 0;
  for (std::string line; std::getline(lines, line) && line != "end";) {
    if (line.starts_with("console: ")) {
      const int dropped = std::stoi(line.substr(9));
      EXPECT_EQ(line, "console: " + std::to_string(dropped) +
                          " lines dropped while standard output was full");
      next += dropped, ++notes;
    } else {
      ASSERT_EQ(line, std::to_string(next++) + filler);
    }
  }
  EXPECT_EQ(next, kLines);
  EXPECT_GE(notes, 1);
  EXPECT_TRUE(written.ends_with("\nend\n"));
}

}  // namespace
}  // namespace velmoryn
