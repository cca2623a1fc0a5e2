#include "platform/linux/run_loop_linux.h"

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <utility>

#include <asio/post.hpp>
#include <asio/signal_set.hpp>
#include <asio/steady_timer.hpp>

namespace velmoryn {

RunLoop::RunLoop() : keepRunning(asio::make_work_guard(io)) {}

bool RunLoop::runOne() {
  auto take = [](std::deque<std::function<void()>>& queue) {
    std::function<void()> work = std::move(queue.front());
    queue.pop_front();
    return work;
  };
  if (!commonWork.empty()) {
    take(commonWork)();
    return true;
  }
  if (modalDepth == 0 && !defaultWork.empty()) {
    take(defaultWork)();
    return true;
  }
  // Sleeps in epoll_wait until something happens; the handler only queues work.
  io.run_one();
  return false;
}

void RunLoop::runUntil(const std::function<bool()>& done) {
  while (!done()) runOne();
}

void RunLoop::runModalUntil(const std::function<bool()>& done) {
  ++modalDepth;
  runUntil(done);
  --modalDepth;
}

void RunLoop::post(std::function<void()> work) {
  // Safe because the loop lives for the whole process.
  asio::post(io, [this, work = std::move(work)]() mutable { queueCommonMode(std::move(work)); });
}

void RunLoop::queueDefaultMode(std::function<void()> work) {
  defaultWork.push_back(std::move(work));
}

void RunLoop::queueCommonMode(std::function<void()> work) {
  commonWork.push_back(std::move(work));
}

void MainQueueLinux::async(std::function<void()> work) {
  loop.post(std::move(work));
}

void UtilityQueueLinux::async(std::function<void()> work) {
  asio::post(pool, std::move(work));
}

double SystemClockLinux::now() const {
  const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
  return std::chrono::duration<double>(sinceEpoch).count() - kReferenceDateInUnixTime;
}

namespace {

using SteadyClock = std::chrono::steady_clock;

class TimerLinux : public RepeatingTimer, public std::enable_shared_from_this<TimerLinux> {
 public:
  TimerLinux(RunLoop& loop, double intervalSeconds, std::function<void()> block)
      : loop(loop),
        timer(loop.context()),
        interval(std::chrono::duration_cast<SteadyClock::duration>(
            std::chrono::duration<double>(std::max(intervalSeconds, kShortestInterval)))),
        block(std::move(block)) {}

  void start() {
    due = SteadyClock::now() + interval;
    arm();
  }

  void invalidate() override {
    valid = false;
    timer.cancel();
    // A block that invalidates its own timer is still running: release it afterwards.
    if (!running) block = nullptr;
  }

 private:
  // Like the platform's timers, which treat a shorter interval as this one.
  static constexpr double kShortestInterval = 0.0001;

  void arm() {
    timer.expires_at(due);
    // The pending wait holds the timer, so it lives on without its handle.
    timer.async_wait([self = shared_from_this()](const asio::error_code& error) {
      if (error || !self->valid) return;
      self->loop.queueDefaultMode([self] { self->tick(); });
    });
  }

  void tick() {
    if (!valid) return;
    running = true;
    block();
    running = false;
    // The block may have invalidated its own timer.
    // cppcheck-suppress identicalConditionAfterEarlyExit
    if (!valid) {
      block = nullptr;
      return;
    }
    // The next scheduled time still ahead: a late tick is not followed by a burst.
    const auto now = SteadyClock::now();
    do due += interval;
    while (due <= now);
    arm();
  }

  RunLoop& loop;  // safe because the run loop lives for the whole process
  asio::steady_timer timer;
  const SteadyClock::duration interval;
  std::function<void()> block;
  SteadyClock::time_point due;
  bool valid = true;
  bool running = false;
};

class SignalSourceLinux : public SignalSource {
 public:
  SignalSourceLinux(RunLoop& loop, int signalNumber, std::function<void()> handler)
      : state(std::make_shared<State>(loop, std::move(handler))) {
    struct sigaction before {};
    wasIgnored = ::sigaction(signalNumber, nullptr, &before) == 0 && before.sa_handler == SIG_IGN;
    asio::error_code error;
    state->set.add(signalNumber, error);
    registered = !error;
    if (registered) {
      // Asio installs its catcher without SA_RESTART, which would make blocking
      // calls on other threads fail with EINTR when the signal arrives.
      struct sigaction installed {};
      if (::sigaction(signalNumber, nullptr, &installed) == 0) {
        installed.sa_flags |= SA_RESTART;
        ::sigaction(signalNumber, &installed, nullptr);
      }
    }
    this->signalNumber = signalNumber;
  }

  ~SignalSourceLinux() override {
    state->active = false;
    asio::error_code ignored;
    state->set.cancel(ignored);
    state->set.clear(ignored);
    // Asio puts back the default action; the program had switched it off.
    if (registered && wasIgnored) ::signal(signalNumber, SIG_IGN);
  }

  void resume() override {
    if (resumed || !registered) return;
    resumed = true;
    wait(state);
  }

 private:
  struct State {
    State(RunLoop& loop, std::function<void()> handler)
        : loop(loop), set(loop.context()), handler(std::move(handler)) {}
    RunLoop& loop;  // safe because the run loop lives for the whole process
    asio::signal_set set;
    std::function<void()> handler;
    bool active = true;
  };

  // Signals that arrive before resume() are held by the set and delivered then.
  static void wait(const std::shared_ptr<State>& state) {
    state->set.async_wait([state](const asio::error_code& error, int) {
      if (error || !state->active) return;
      state->loop.queueCommonMode([state] {
        if (state->active) state->handler();
      });
      wait(state);
    });
  }

  std::shared_ptr<State> state;
  int signalNumber = 0;
  bool wasIgnored = false;
  bool registered = false;
  bool resumed = false;
};

}  // namespace

std::shared_ptr<RepeatingTimer> TimerServiceLinux::scheduleRepeating(double intervalSeconds,
                                                                     std::function<void()> block) {
  auto timer = std::make_shared<TimerLinux>(loop, intervalSeconds, std::move(block));
  timer->start();
  return timer;
}

void SignalServiceLinux::ignore(int signalNumber) {
  ::signal(signalNumber, SIG_IGN);
}

std::unique_ptr<SignalSource> SignalServiceLinux::makeSource(int signalNumber,
                                                             std::function<void()> handler) {
  return std::make_unique<SignalSourceLinux>(loop, signalNumber, std::move(handler));
}

}  // namespace velmoryn
