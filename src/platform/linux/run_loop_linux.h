// The main run loop on Linux: one asio::io_context run by the main thread,
// a one-thread utility queue, the wall clock, repeating timers and signal
// sources. While nothing happens the main thread sleeps in epoll_wait and the
// utility thread on its condition variable: no polling, no periodic wakeup.
//
// Asio completion handlers on the main context never run program code
// themselves; they only queue it, and the loop runs it between calls into
// asio. So a nested loop (an open menu) runs outside any asio call, and work
// of the default mode (timer ticks) can wait while a menu is open.
#pragma once

#include "platform/linux/asio_config_linux.h"

#include <deque>
#include <functional>
#include <memory>

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/thread_pool.hpp>

#include "platform/clock.h"
#include "platform/queues.h"
#include "platform/signals.h"
#include "platform/timers.h"

namespace velmoryn {

class RunLoop {
 public:
  RunLoop();
  RunLoop(const RunLoop&) = delete;
  RunLoop& operator=(const RunLoop&) = delete;

  asio::io_context& context() { return io; }

  // Main thread. Runs work until `done` answers true; it is asked after each
  // piece of work. Never returns when `done` never becomes true.
  void runUntil(const std::function<bool()>& done);
  // The same while a menu is open: default-mode work waits until it closes.
  void runModalUntil(const std::function<bool()>& done);

  // Any thread: work that runs in every mode (main queue, signals, commands).
  void post(std::function<void()> work);
  // Main thread, from an asio handler: work that waits while a menu is open.
  void queueDefaultMode(std::function<void()> work);
  // Main thread, from an asio handler: work that runs in every mode.
  void queueCommonMode(std::function<void()> work);

 private:
  bool runOne();

  asio::io_context io;
  asio::executor_work_guard<asio::io_context::executor_type> keepRunning;
  std::deque<std::function<void()>> commonWork;
  std::deque<std::function<void()>> defaultWork;
  int modalDepth = 0;
};

// The main queue: work runs on the main thread, in order, never inside async().
class MainQueueLinux : public Queue {
 public:
  explicit MainQueueLinux(RunLoop& loop) : loop(loop) {}
  void async(std::function<void()> work) override;

 private:
  RunLoop& loop;  // safe because the run loop lives for the whole process
};

// A background queue with one worker thread that sleeps while there is no work.
class UtilityQueueLinux : public Queue {
 public:
  UtilityQueueLinux() : pool(1) {}
  void async(std::function<void()> work) override;

 private:
  asio::thread_pool pool;
};

// Seconds since the platform's reference date, from the system's wall clock.
class SystemClockLinux : public Clock {
 public:
  double now() const override;
};

// Repeating steady timers on the main loop. A tick that falls due while a
// menu is open runs once the menu has closed; ticks missed meanwhile are
// skipped, and the next one is the first scheduled time still ahead.
class TimerServiceLinux : public TimerService {
 public:
  explicit TimerServiceLinux(RunLoop& loop) : loop(loop) {}
  std::shared_ptr<RepeatingTimer> scheduleRepeating(double intervalSeconds,
                                                    std::function<void()> block) override;

 private:
  RunLoop& loop;  // safe because the run loop lives for the whole process
};

// signal(2) with SIG_IGN, and sources that catch the signal through an
// asio::signal_set and run their handler on the main thread.
class SignalServiceLinux : public SignalService {
 public:
  explicit SignalServiceLinux(RunLoop& loop) : loop(loop) {}
  void ignore(int signalNumber) override;
  std::unique_ptr<SignalSource> makeSource(int signalNumber,
                                           std::function<void()> handler) override;

 private:
  RunLoop& loop;  // safe because the run loop lives for the whole process
};

}  // namespace velmoryn
