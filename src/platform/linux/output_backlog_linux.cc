// Any thread; Writer::run() on the writer thread.
#include "platform/linux/output_backlog_linux.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/posix/unique_fd.h"

namespace velmoryn {

// What the adding threads share with the writer thread, which keeps it alive
// as long as it runs.
struct OutputBacklog::Writer {
  Writer(int fd, std::function<std::string(std::size_t)> droppedNote)
      : fd(::fcntl(fd, F_DUPFD_CLOEXEC, 0)), droppedNote(std::move(droppedNote)) {}

  // Takes the line unless the backlog is full; a line dropped is counted.
  void add(std::string_view line) {
    {
      std::lock_guard lock(mutex);
      if (held + line.size() + 1 > kLargestBacklog) {
        ++dropped;
        return;
      }
      noteDropped();
      append(line);
    }
    changed.notify_all();
  }

  void run() {
    // Thread-directed SIGPIPE stays pending here and a write fails with EPIPE
    // instead, whatever the process does with the signal; the process's own
    // signals go to the threads that wait for them.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    for (;;) {
      std::string batch;
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return !pending.empty() || stopping; });
        if (pending.empty()) return;
        batch.swap(pending);
      }
      // A reader that went away costs the lines, nothing more.
      writeAll(batch);
      {
        std::lock_guard lock(mutex);
        held -= batch.size();
        // The output moved: lines dropped meanwhile are said in their place.
        noteDropped();
      }
      changed.notify_all();
    }
  }

  bool drainUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex);
    return changed.wait_until(lock, deadline, [this] { return held == 0; });
  }

  void stop() {
    {
      std::lock_guard lock(mutex);
      stopping = true;
    }
    changed.notify_all();
  }

 private:
  // Under the lock.
  void append(std::string_view line) {
    pending.append(line);
    pending += '\n';
    held += line.size() + 1;
  }

  // Under the lock. Small, so it may stand a little beyond the backlog's limit.
  void noteDropped() {
    if (dropped == 0) return;
    append(droppedNote(dropped));
    dropped = 0;
  }

  // Blocking writes, whatever the descriptor's own mode: another program on
  // the same terminal may have made it non-blocking.
  void writeAll(const std::string& bytes) const {
    for (std::size_t done = 0; done < bytes.size();) {
      const ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
      if (n >= 0) {
        done += static_cast<std::size_t>(n);
      } else if (errno == EAGAIN) {
        pollfd writable{fd.get(), POLLOUT, 0};
        ::poll(&writable, 1, -1);
      } else if (errno != EINTR) {
        return;
      }
    }
  }

  UniqueFd fd;
  const std::function<std::string(std::size_t)> droppedNote;
  std::mutex mutex;
  std::condition_variable changed;
  std::string pending;      // whole lines not yet handed to write()
  std::size_t held = 0;     // bytes of `pending` and of the batch being written
  std::size_t dropped = 0;  // lines dropped since the last note
  bool stopping = false;
};

namespace {

// The writers of the backlogs alive, drained when the process exits.
struct LiveWriters {
  std::mutex mutex;
  std::vector<std::weak_ptr<OutputBacklog::Writer>> writers;
};

LiveWriters& liveWriters() {
  // Never destroyed: exit() may run the handler below after static destructors began.
  static auto* live = new LiveWriters;
  return *live;
}

// An exit must not hang on an output nobody reads, yet a one-shot run's line
// must reach a reader that reads it later.
void drainAtExit() {
  const auto deadline = std::chrono::steady_clock::now() + OutputBacklog::kExitDrainLimit;
  std::vector<std::shared_ptr<OutputBacklog::Writer>> writers;
  {
    std::lock_guard lock(liveWriters().mutex);
    for (const auto& weak : liveWriters().writers) {
      if (auto writer = weak.lock()) writers.push_back(std::move(writer));
    }
  }
  for (const auto& writer : writers) writer->drainUntil(deadline);
}

}  // namespace

OutputBacklog::OutputBacklog(int fd, std::function<std::string(std::size_t)> droppedNote)
    : writer(std::make_shared<Writer>(fd, std::move(droppedNote))) {
  static const bool registered = std::atexit(drainAtExit) == 0;
  (void)registered;
  {
    std::lock_guard lock(liveWriters().mutex);
    liveWriters().writers.push_back(writer);
  }
  std::thread([writer = writer] { writer->run(); }).detach();
}

OutputBacklog::~OutputBacklog() {
  {
    std::lock_guard lock(liveWriters().mutex);
    std::erase_if(liveWriters().writers, [this](const auto& weak) {
      const auto alive = weak.lock();
      return !alive || alive == writer;
    });
  }
  writer->stop();
}

void OutputBacklog::add(std::string_view line) {
  writer->add(line);
}

bool OutputBacklog::drain(std::chrono::steady_clock::duration limit) {
  return writer->drainUntil(std::chrono::steady_clock::now() + limit);
}

}  // namespace velmoryn
