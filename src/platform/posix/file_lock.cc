// Any thread.
#include "platform/posix/file_lock.h"

#include <sys/file.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

namespace velmoryn {

FileLock::FileLock(const std::filesystem::path& path, int openFlags, mode_t mode,
                   std::chrono::milliseconds patience)
    : file(path) {
  using SteadyClock = std::chrono::steady_clock;
  auto fail = [this](const char* step) {
    state = Outcome::failed;
    failedStep = step;
    failedCode = errno;
  };
  UniqueFd opened = openFd(path, openFlags, mode);
  if (!opened.valid()) {
    fail("open");
    return;
  }
  const auto deadline = SteadyClock::now() + patience;
  auto pause = std::chrono::milliseconds(1);
  while (::flock(opened.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      fail("lock");
      return;
    }
    const auto left = deadline - SteadyClock::now();
    if (left <= SteadyClock::duration::zero()) {
      state = Outcome::busy;
      return;
    }
    std::this_thread::sleep_for(std::min<SteadyClock::duration>(pause, left));
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
  fd = std::move(opened);
  state = Outcome::held;
}

std::string FileLock::reason() const {
  if (failedStep == nullptr) return {};
  return std::string("cannot ") + failedStep + " " + file.string() + ": " +
         std::strerror(failedCode);
}

}  // namespace velmoryn
