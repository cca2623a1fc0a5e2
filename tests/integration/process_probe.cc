// A small program that tests of the process runner start to see, from the
// inside, what a tool is given: its arguments, descriptors, signal state, and
// how it behaves when it floods its streams or never ends.
//
//   args                  each argument (argv[0] included), one per line
//   fds                   every descriptor above 2 that is open, one per line
//   stdin                 the device of descriptor 0 and what reading it gives
//   signals               "SIGNAME default|ignored|handled" for each signal, then "blocked N"
//   flood BYTES           BYTES on standard output and as many on standard error
//   endless out|err       prints on that stream without end
//   orphan FILE           starts a child that keeps both streams and never ends,
//                         writes the child's pid to FILE, and exits
//   quiet-hang            closes its streams, then never ends
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

int flood(long bytes) {
  // Alternate between the streams so that both pipes fill up at once.
  char chunk[4096];
  std::memset(chunk, 'x', sizeof chunk);
  long left[2] = {bytes, bytes};
  while (left[0] > 0 || left[1] > 0) {
    for (int i = 0; i < 2; ++i) {
      const long n = left[i] < static_cast<long>(sizeof chunk) ? left[i] : sizeof chunk;
      if (n > 0 && !writeAll(i == 0 ? 1 : 2, chunk, static_cast<size_t>(n))) return 1;
      left[i] -= n;
    }
  }
  return 0;
}

int endless(int fd) {
  char chunk[4096];
  std::memset(chunk, 'y', sizeof chunk);
  while (writeAll(fd, chunk, sizeof chunk)) {
  }
  return 1;
}

int orphan(const char* file) {
  const pid_t child = fork();
  if (child < 0) return 1;
  if (child == 0) {
    for (;;) pause();
  }
  const std::string pid = std::to_string(child);
  const int fd = open(file, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  return fd >= 0 && writeAll(fd, pid.data(), pid.size()) && close(fd) == 0 ? 0 : 1;
}

int signals() {
  const struct {
    int number;
    const char* name;
  } watched[] = {{SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"},   {SIGHUP, "SIGHUP"},
                 {SIGPIPE, "SIGPIPE"}, {SIGUSR1, "SIGUSR1"}, {SIGCHLD, "SIGCHLD"}};
  for (const auto& w : watched) {
    struct sigaction current;
    sigaction(w.number, nullptr, &current);
    const char* state = current.sa_handler == SIG_DFL   ? "default"
                        : current.sa_handler == SIG_IGN ? "ignored"
                                                        : "handled";
    std::printf("%s %s\n", w.name, state);
  }
  sigset_t blocked;
  sigprocmask(SIG_BLOCK, nullptr, &blocked);
  int count = 0;
  for (int s = 1; s < NSIG; ++s) count += sigismember(&blocked, s) == 1;
  std::printf("blocked %d\n", count);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "args") {
    for (int i = 0; i < argc; ++i) std::printf("%s\n", argv[i]);
    return 0;
  }
  if (mode == "fds") {
    // /proc lists the open descriptors at once where there is one.
    if (DIR* dir = opendir("/proc/self/fd")) {
      while (dirent* entry = readdir(dir)) {
        const int fd = std::atoi(entry->d_name);
        if (entry->d_name[0] != '.' && fd > 2 && fd != dirfd(dir)) std::printf("%d\n", fd);
      }
      closedir(dir);
      return 0;
    }
    const long highest = sysconf(_SC_OPEN_MAX) > 0 ? sysconf(_SC_OPEN_MAX) : 1024;
    for (long fd = 3; fd < highest && fd < 65536; ++fd) {
      if (fcntl(static_cast<int>(fd), F_GETFD) != -1) std::printf("%ld\n", fd);
    }
    return 0;
  }
  if (mode == "stdin") {
    struct stat in, null;
    const bool isNull = fstat(0, &in) == 0 && stat("/dev/null", &null) == 0 &&
                        S_ISCHR(in.st_mode) && in.st_rdev == null.st_rdev;
    char c;
    const ssize_t n = read(0, &c, 1);
    std::printf("%s %zd\n", isNull ? "null" : "other", n);
    return 0;
  }
  if (mode == "signals") return signals();
  if (mode == "flood" && argc > 2) return flood(std::atol(argv[2]));
  if (mode == "endless" && argc > 2) return endless(std::strcmp(argv[2], "err") == 0 ? 2 : 1);
  if (mode == "orphan" && argc > 2) return orphan(argv[2]);
  if (mode == "quiet-hang") {
    close(1);
    close(2);
    for (;;) pause();
  }
  std::fprintf(stderr, "process-probe: unknown mode\n");
  return 2;
}
