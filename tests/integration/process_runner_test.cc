// The real process runner: what a tool is given, what comes back, how it ends.
#include "platform/posix/posix_process_runner.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "integration/file_test_support.h"

namespace velmoryn {
namespace {

// The system's own tools show what a tool is given: printf its arguments, ls
// its descriptors, grep its signal state, the shell its input.
const std::string kPrintf = "/usr/bin/printf";

// BYTES on standard output and as many on standard error, both at once.
ProcessRequest flood(long bytes) {
  const std::string xs = "head -c " + std::to_string(bytes) + " /dev/zero | tr '\\0' x";
  return {"/bin/sh", {"-c", xs + " & " + xs + " >&2; wait"}};
}

int openDescriptors() {
  return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
}

// Whatever happens the tool is reaped and its pipes closed; it is killed at
// the earlier of the request's limit and the runner's ceiling, or once either
// stream passes 1 MiB, its output dropped. A kill takes its whole process
// group: a child left holding the pipes dies with it.
TEST(PosixProcessRunner, ReportsHowAToolEndedRefusesWhatCannotStartExactlyAndKillsAtTheLimit) {
  testing::TemporaryFolder folder;
  const std::string pidFile = (folder.path / "grandchild").string();
  constexpr double inf = std::numeric_limits<double>::infinity();
  const std::vector<std::string> odd = {"%s\n", "a b", "$HOME", "*", "", "`id`;|&>x"};
  const std::string echoed = "a b\n$HOME\n*\n\n`id`;|&>x\n";
  enum Ends { exits, notStarted, timedOut, tooLarge };
  const struct {
    const char* name;
    ProcessRequest request;
    Ends ends;
    int exitStatus = -1;
    std::string out = "";
    double ceiling = inf;  // the runner's
    bool leavesAChild = false;
  } rows[] = {
      {.name = "odd arguments as they are",
       .request = {kPrintf, odd},
       .ends = exits,
       .exitStatus = 0,
       .out = echoed},
      {.name = "killed by a signal", .request = {"/bin/sh", {"-c", "kill -9 $$"}}, .ends = exits},
      {.name = "1 MiB on each stream",
       .request = flood(1048576),
       .ends = exits,
       .exitStatus = 0,
       .out = std::string(1 << 20, 'x')},
      {.name = "a byte more", .request = flood(1048577), .ends = tooLarge},
      {.name = "endless errors",
       .request = {.path = "/bin/sh", .args = {"-c", "exec yes >&2"}, .timeLimit = 30.0},
       .ends = tooLarge},
      {.name = "no such file", .request = {"/nonexistent/velmoryn-tool", {}}, .ends = notStarted},
      {.name = "no search path, no path from the current folder",
       .request = {std::filesystem::relative(kPrintf).string(), {"x"}},
       .ends = notStarted},
      {.name = "a NUL in an argument",
       .request = {kPrintf, {std::string("a\0b", 3)}},
       .ends = notStarted},
      // It would end by itself after its streams, but only after the runner's ceiling.
      {.name = "closed streams, the ceiling",
       .request = {.path = "/bin/sh", .args = {"-c", "exec >&- 2>&- sleep 5"}, .timeLimit = 30.0},
       .ends = timedOut,
       .ceiling = 0.5},
      {.name = "an orphan",
       .request = {.path = "/bin/sh",
                   .args = {"-c", "sleep 60 & echo $! >\"$0\"", pidFile},
                   .timeLimit = 2},
       .ends = timedOut,
       .leavesAChild = true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const int before = openDescriptors();
    // The tool's orphan comes to this process, so that the test can reap it.
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, row.leavesAChild ? 1 : 0), 0);
    const ProcessResult result = PosixProcessRunner(row.ceiling).run(row.request);
    EXPECT_EQ(result.started, row.ends != notStarted);
    EXPECT_EQ(result.timedOut, row.ends == timedOut);
    EXPECT_EQ(result.outputTooLarge, row.ends == tooLarge);
    EXPECT_EQ(result.exitStatus, row.exitStatus);
    EXPECT_EQ(result.out, row.out);
    if (row.leavesAChild) {
      const pid_t child = std::atoi(testing::readFile(pidFile).c_str());
      ASSERT_GT(child, 0);
      ::kill(child, SIGTERM);  // kills it only if the run left it alive
      int status = 0;
      ASSERT_EQ(waitpid(child, &status, 0), child);
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    }
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
    EXPECT_TRUE(waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD) << "a child left unreaped";
    EXPECT_EQ(openDescriptors(), before);
  }
}

// The tool's input, descriptors and signals are its own whatever ours are. With
// SIGCHLD ignored the kernel reaps it: the run ends without waiting for the limit.
TEST(PosixProcessRunner, GivesTheToolAnEmptyInputNoOtherDescriptorAndDefaultSignals) {
  int input[2];
  ASSERT_EQ(::pipe(input), 0);  // not close-on-exec
  ASSERT_EQ(::write(input[1], "typed", 5), 5);
  std::FILE* output = std::tmpfile();
  std::fflush(stdout);
  const int saved[] = {::dup(STDIN_FILENO), ::dup(STDOUT_FILENO)};
  ::dup2(input[0], STDIN_FILENO);
  ::dup2(::fileno(output), STDOUT_FILENO);
  const int ignored[] = {SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGCHLD};
  sighandler_t old[5];
  for (int i = 0; i < 5; ++i) old[i] = ::signal(ignored[i], SIG_IGN);
  sigset_t usr1, oldMask;
  sigemptyset(&usr1);
  sigaddset(&usr1, SIGUSR1);
  ::pthread_sigmask(SIG_BLOCK, &usr1, &oldMask);
  PosixProcessRunner runner(5.0);
  const ProcessResult in =
      runner.run({"/bin/sh", {"-c", "[ /dev/stdin -ef /dev/null ] && echo null; wc -c"}});
  const ProcessResult fds = runner.run({"/bin/ls", {"/proc/self/fd"}});
  const ProcessResult signals =
      runner.run({"/bin/grep", {"-E", "^Sig(Blk|Ign)", "/proc/self/status"}});
  const ProcessResult ours = runner.run({kPrintf, {"%s\n", "ours"}, false});
  ::pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
  for (int i = 0; i < 5; ++i) ::signal(ignored[i], old[i]);
  for (int fd : {STDIN_FILENO, STDOUT_FILENO}) {
    ::dup2(saved[fd], fd);
    ::close(saved[fd]);
  }
  ::close(input[0]);
  ::close(input[1]);
  EXPECT_EQ(in.out, "null\n0\n");
  EXPECT_EQ(fds.out, "0\n1\n2\n3\n") << "3: the folder ls reads";
  std::uint64_t blockedInTool = ~0ULL, ignoredInTool = ~0ULL;
  ASSERT_EQ(std::sscanf(signals.out.c_str(), "SigBlk: %" SCNx64 " SigIgn: %" SCNx64, &blockedInTool,
                        &ignoredInTool),
            2)
      << signals.out;
  EXPECT_EQ(blockedInTool, 0u);
  // The standard signals; glibc's spawn leaves two real-time signals of its own ignored.
  EXPECT_EQ(ignoredInTool & 0x7FFFFFFF, 0u) << std::hex << ignoredInTool;
  std::string written(256, '\0');
  written.resize(std::max<ssize_t>(0, ::pread(::fileno(output), written.data(), 256, 0)));
  std::fclose(output);
  EXPECT_TRUE(ours.started && !ours.timedOut && ours.out.empty());
  EXPECT_EQ(written, "ours\n");
}

}  // namespace
}  // namespace velmoryn
