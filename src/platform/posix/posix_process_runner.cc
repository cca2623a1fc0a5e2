// Any thread: every run owns its own process, pipes and buffers.
#include "platform/posix/posix_process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>

#if defined(__linux__)
#include <sys/syscall.h>
#endif

#include "platform/posix/unique_fd.h"

extern char** environ;

namespace velmoryn {
namespace {

using SteadyClock = std::chrono::steady_clock;

// Moves a descriptor above the standard three, so that the child's dup2 onto
// 0, 1 or 2 always copies it (a dup2 onto itself would keep close-on-exec).
bool keepAboveStandardStreams(UniqueFd& fd) {
  if (fd.get() > STDERR_FILENO) return true;
  const int moved = ::fcntl(fd.get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  if (moved < 0) return false;
  fd.reset(moved);
  return true;
}

// Both ends close-on-exec from the start, so a spawn on another thread never
// inherits them.
bool makePipe(UniqueFd& readEnd, UniqueFd& writeEnd) {
  int fds[2];
#if defined(__APPLE__)
  // No pipe2 here; POSIX_SPAWN_CLOEXEC_DEFAULT covers the short window.
  if (::pipe(fds) != 0) return false;
  ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  ::fcntl(fds[1], F_SETFD, FD_CLOEXEC);
#else
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
#endif
  readEnd.reset(fds[0]);
  writeEnd.reset(fds[1]);
  return keepAboveStandardStreams(readEnd) && keepAboveStandardStreams(writeEnd);
}

class SpawnFileActions {
 public:
  SpawnFileActions() { ok = ::posix_spawn_file_actions_init(&actions) == 0; }
  ~SpawnFileActions() {
    if (ok) ::posix_spawn_file_actions_destroy(&actions);
  }
  SpawnFileActions(const SpawnFileActions&) = delete;
  SpawnFileActions& operator=(const SpawnFileActions&) = delete;
  posix_spawn_file_actions_t actions;
  bool ok = false;
};

class SpawnAttributes {
 public:
  SpawnAttributes() { ok = ::posix_spawnattr_init(&attributes) == 0; }
  ~SpawnAttributes() {
    if (ok) ::posix_spawnattr_destroy(&attributes);
  }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
  posix_spawnattr_t attributes;
  bool ok = false;
};

// The program ignores SIGTERM, SIGINT and SIGHUP, and ignored signals survive
// exec: every catchable signal goes back to its default in the tool, and the
// tool starts with nothing blocked. It leads a new process group whose id is
// its pid, set before exec, so that one kill reaches everything it starts.
bool prepareAttributes(SpawnAttributes& attr) {
  if (!attr.ok) return false;
  sigset_t defaults;
  sigfillset(&defaults);
  sigdelset(&defaults, SIGKILL);
  sigdelset(&defaults, SIGSTOP);
  sigset_t emptyMask;
  sigemptyset(&emptyMask);
  short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP;
#if defined(__APPLE__)
  flags |= POSIX_SPAWN_CLOEXEC_DEFAULT;  // every descriptor not named below is closed
#endif
  return ::posix_spawnattr_setsigdefault(&attr.attributes, &defaults) == 0 &&
         ::posix_spawnattr_setsigmask(&attr.attributes, &emptyMask) == 0 &&
         ::posix_spawnattr_setpgroup(&attr.attributes, 0) == 0 &&
         ::posix_spawnattr_setflags(&attr.attributes, flags) == 0;
}

bool prepareFileActions(SpawnFileActions& file, const UniqueFd* stdoutWrite,
                        const UniqueFd& stderrWrite) {
  if (!file.ok) return false;
  posix_spawn_file_actions_t* a = &file.actions;
  if (::posix_spawn_file_actions_addopen(a, STDIN_FILENO, "/dev/null", O_RDONLY, 0) != 0) {
    return false;
  }
  if (stdoutWrite != nullptr) {
    if (::posix_spawn_file_actions_adddup2(a, stdoutWrite->get(), STDOUT_FILENO) != 0) return false;
  } else {
#if defined(__APPLE__)
    // Our own standard output, which CLOEXEC_DEFAULT would otherwise close.
    if (::posix_spawn_file_actions_addinherit_np(a, STDOUT_FILENO) != 0) return false;
#endif
  }
  if (::posix_spawn_file_actions_adddup2(a, stderrWrite.get(), STDERR_FILENO) != 0) return false;
#if !defined(__APPLE__)
  if (::posix_spawn_file_actions_addclosefrom_np(a, STDERR_FILENO + 1) != 0) return false;
#endif
  return true;
}

pid_t waitInterruptible(pid_t pid, int* status, int options) {
  for (;;) {
    const pid_t got = ::waitpid(pid, status, options);
    if (got >= 0 || errno != EINTR) return got;
  }
}

int exitStatusOf(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int millisecondsUntil(SteadyClock::time_point deadline) {
  const auto left = deadline - SteadyClock::now();
  if (left <= SteadyClock::duration::zero()) return 0;
  // Round up, so that a wake-up never comes just before the deadline and spins.
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return ms > 1'000'000 ? 1'000'000 : static_cast<int>(ms);
}

// The earlier of the two limits. Nothing waits longer than a day, and a limit
// that is not a number of seconds kills the tool at once rather than never.
SteadyClock::duration limitOf(double requested, double ceiling) {
  constexpr double kLongest = 24 * 60 * 60.0;
  double seconds = requested < ceiling ? requested : ceiling;
  if (std::isnan(requested) || std::isnan(ceiling) || seconds < 0) seconds = 0;
  if (seconds > kLongest) seconds = kLongest;
  return std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(seconds));
}

// One of the tool's output streams: kept (standard output) or counted and
// dropped (standard error, drained only so that a chatty tool never blocks).
struct Stream {
  UniqueFd fd{};
  std::string* sink = nullptr;
  std::size_t seen = 0;
};

enum class Drained { more, ended, tooLarge };

// Reads what is there, at most one byte past the limit, so that a tool that
// prints without end costs neither memory nor the rest of its time limit.
Drained drainOnce(Stream& stream) {
  char buffer[65536];
  for (;;) {
    const std::size_t room = PosixProcessRunner::kOutputLimit + 1 - stream.seen;
    const ssize_t n = ::read(stream.fd.get(), buffer, room < sizeof buffer ? room : sizeof buffer);
    if (n > 0) {
      stream.seen += static_cast<std::size_t>(n);
      if (stream.seen > PosixProcessRunner::kOutputLimit) return Drained::tooLarge;
      if (stream.sink != nullptr) stream.sink->append(buffer, static_cast<std::size_t>(n));
      return Drained::more;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return Drained::more;
    return Drained::ended;
  }
}

// `gone`: someone else reaped the tool (SIGCHLD ignored, say); its pid may
// already belong to another process, so it must not be signalled.
// `tooLarge`: it printed past the output limit.
enum class Wait { exited, running, timedOut, tooLarge, gone };

Wait checkChild(pid_t pid, int* status, int options) {
  const pid_t got = waitInterruptible(pid, status, options);
  if (got == pid) return Wait::exited;
  if (got < 0 && errno == ECHILD) return Wait::gone;
  return Wait::running;
}

// Waits for an exit after both pipes have ended. The tool normally exits a
// moment after closing its streams, but one that closes them and keeps
// running must still meet the time limit.
Wait waitForExit(pid_t pid, int* status, SteadyClock::time_point deadline) {
  if (const Wait w = checkChild(pid, status, WNOHANG); w != Wait::running) return w;
#if defined(__linux__) && defined(SYS_pidfd_open)
  // Not reaped yet, so the process id cannot have been reused.
  UniqueFd pidFd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
  if (pidFd.valid()) {
    for (;;) {
      pollfd p{pidFd.get(), POLLIN, 0};
      const int ready = ::poll(&p, 1, millisecondsUntil(deadline));
      if (ready < 0 && errno == EINTR) continue;
      if (ready > 0) {
        const Wait w = checkChild(pid, status, 0);
        return w == Wait::running ? Wait::gone : w;
      }
      if (ready == 0 && SteadyClock::now() >= deadline) return Wait::timedOut;
      if (ready < 0) break;  // fall back to polling the status below
    }
  }
#endif
  int pauseMs = 1;
  for (;;) {
    if (const Wait w = checkChild(pid, status, WNOHANG); w != Wait::running) return w;
    const int left = millisecondsUntil(deadline);
    if (left == 0) return Wait::timedOut;
    ::poll(nullptr, 0, pauseMs < left ? pauseMs : left);
    if (pauseMs < 50) pauseMs *= 2;
  }
}

// Ends the tool and everything in its group, then reaps it. The group's id is
// the tool's pid, which cannot be reused while the tool is unreaped (running
// or a zombie): only then is the group signalled. A tool someone else reaped
// (SIGCHLD ignored) leaves an id that may already lead another group, so
// nothing is sent.
void endGroup(pid_t pid) {
  siginfo_t info{};
  for (;;) {
    if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0) break;
    if (errno != EINTR) return;
  }
  // The group exists from the spawn on; the tool alone is the fallback.
  if (::kill(-pid, SIGKILL) != 0) ::kill(pid, SIGKILL);
  int status = 0;
  waitInterruptible(pid, &status, 0);  // never leave a zombie
}

}  // namespace

ProcessResult PosixProcessRunner::run(const ProcessRequest& request) {
  ProcessResult result;

  // No search path, and no argument that a C string could not carry exactly.
  if (request.path.empty() || request.path.front() != '/') return result;
  if (request.path.find('\0') != std::string::npos) return result;
  for (const auto& arg : request.args) {
    if (arg.find('\0') != std::string::npos) return result;
  }

  Stream out{.sink = &result.out};
  Stream err;
  UniqueFd outWrite, errWrite;
  if (request.captureStdout && !makePipe(out.fd, outWrite)) return result;
  if (!makePipe(err.fd, errWrite)) return result;

  SpawnFileActions file;
  SpawnAttributes attr;
  if (!prepareFileActions(file, request.captureStdout ? &outWrite : nullptr, errWrite) ||
      !prepareAttributes(attr)) {
    return result;
  }

  std::vector<char*> argv;
  argv.reserve(request.args.size() + 2);
  argv.push_back(const_cast<char*>(request.path.c_str()));
  for (const auto& arg : request.args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  const auto deadline = SteadyClock::now() + limitOf(request.timeLimit, ceiling);

  pid_t pid = -1;
  // posix_spawn, never posix_spawnp: the path is taken as it is.
  if (::posix_spawn(&pid, request.path.c_str(), &file.actions, &attr.attributes, argv.data(),
                    environ) != 0) {
    return result;
  }
  result.started = true;

  // Only the child may hold the write ends, so that end of file means the
  // tool (and whatever it started) has closed its streams.
  outWrite.reset();
  errWrite.reset();

  Wait ending = Wait::running;
  while (ending == Wait::running && (out.fd.valid() || err.fd.valid())) {
    pollfd fds[2];
    Stream* streams[2] = {};
    nfds_t count = 0;
    for (Stream* stream : {&out, &err}) {
      if (!stream->fd.valid()) continue;
      streams[count] = stream;
      fds[count++] = pollfd{stream->fd.get(), POLLIN, 0};
    }
    const int ready = ::poll(fds, count, millisecondsUntil(deadline));
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;  // cannot watch the pipes any more; the wait below still keeps the limit
    }
    if (ready == 0) {
      if (SteadyClock::now() >= deadline) ending = Wait::timedOut;
      continue;
    }
    for (nfds_t i = 0; i < count && ending == Wait::running; ++i) {
      if (fds[i].revents == 0) continue;
      const Drained drained = drainOnce(*streams[i]);
      if (drained == Drained::ended) streams[i]->fd.reset();
      if (drained == Drained::tooLarge) ending = Wait::tooLarge;
    }
  }

  int status = 0;
  if (ending == Wait::running) ending = waitForExit(pid, &status, deadline);
  if (ending == Wait::gone) {
    result.exitStatus = -1;  // how it ended is lost with its status
    return result;
  }
  if (ending == Wait::timedOut || ending == Wait::tooLarge) {
    // Whatever else of the group still holds our pipes goes with it.
    endGroup(pid);
    result.timedOut = ending == Wait::timedOut;
    result.outputTooLarge = ending == Wait::tooLarge;
    result.exitStatus = -1;
    result.out.clear();
    return result;
  }
  result.exitStatus = exitStatusOf(status);
  return result;
}

}  // namespace velmoryn
