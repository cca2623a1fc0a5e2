// Thread-safe.
#include "platform/linux/log_linux.h"

#include <pthread.h>
#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace velmoryn {

namespace {

// Writes all of `text` with SIGPIPE held back for this thread, so a reader
// that went away costs the line, not the process. A SIGPIPE that was already
// pending before is somebody else's and stays pending.
void writeWithoutSigpipe(int fd, const std::string& text) {
  sigset_t pipeOnly, previous, pending;
  sigemptyset(&pipeOnly);
  sigaddset(&pipeOnly, SIGPIPE);
  sigpending(&pending);
  bool pendingBefore = sigismember(&pending, SIGPIPE) == 1;
  pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous);

  const char* data = text.data();
  std::size_t left = text.size();
  bool broken = false;
  while (left > 0) {
    ssize_t written = ::write(fd, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      broken = errno == EPIPE;
      break;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }

  if (broken && !pendingBefore) {
    struct timespec none {};
    while (sigtimedwait(&pipeOnly, nullptr, &none) < 0 && errno == EINTR) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

}  // namespace

StderrLog::StderrLog(std::string programName) : programName(std::move(programName)) {}

std::string StderrLog::format(const std::string& line) const {
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  struct tm local {};
  localtime_r(&now.tv_sec, &local);
  char stamp[64];
  std::size_t length = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  std::snprintf(stamp + length, sizeof stamp - length, ".%03ld",
                static_cast<long>(now.tv_nsec / 1000000));

  std::string text;
  text.reserve(line.size() + programName.size() + 64);
  text += stamp;
  text += ' ';
  text += programName;
  text += '[' + std::to_string(::getpid()) + ':' + std::to_string(::gettid()) + "] ";
  text += line;
  // Like the platform log, a line that already ends in a newline gets no second one.
  if (line.empty() || line.back() != '\n') text += '\n';
  return text;
}

void StderrLog::write(const std::string& line) {
  std::string text = format(line);
  std::lock_guard<std::mutex> lock(writing);
  writeWithoutSigpipe(STDERR_FILENO, text);
}

}  // namespace velmoryn
