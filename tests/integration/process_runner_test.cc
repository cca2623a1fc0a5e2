// The real process runner against real processes: what a tool is given, how
// its output comes back, and how it ends.
#include <dirent.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "dock/dock.h"
#include "fakes/fake_platform.h"
#include "platform/posix/posix_process_runner.h"

namespace velmoryn {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kProbe = std::string(VELMORYN_BINARY_DIR) + "/velmoryn-process-probe";

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::string::size_type start = 0;
  while (start < text.size()) {
    const auto end = text.find('\n', start);
    if (end == std::string::npos) {
      result.push_back(text.substr(start));
      break;
    }
    result.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return result;
}

int openDescriptorCount() {
  int count = 0;
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) return -1;
  while (dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
  closedir(dir);
  return count - 1;  // the directory's own descriptor
}

// No child of ours is left, running or as a zombie.
bool noChildrenLeft() {
  int status = 0;
  return waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

ProcessResult probe(std::vector<std::string> args, double limit = 10.0) {
  PosixProcessRunner runner(limit);
  return runner.run({kProbe, std::move(args), true});
}

TEST(PosixProcessRunner, PassesTheExactArgumentVectorWithThePathAsArgvZero) {
  const std::vector<std::string> tricky = {"a b", "$HOME",           "*",    "'quoted'",
                                           "",    "; echo injected", "`id`", "ü\t|&>x"};
  std::vector<std::string> args = {"args"};
  args.insert(args.end(), tricky.begin(), tricky.end());

  const ProcessResult result = probe(args);

  ASSERT_TRUE(result.succeeded());
  std::vector<std::string> expected = {kProbe, "args"};
  expected.insert(expected.end(), tricky.begin(), tricky.end());
  EXPECT_EQ(lines(result.out), expected);
}

TEST(PosixProcessRunner, GivesTheToolAnEmptyStandardInput) {
  const ProcessResult result = probe({"stdin"});
  EXPECT_EQ(result.out, "null 0\n");
}

TEST(PosixProcessRunner, ReportsTheExitStatusAndAStatusOfMinusOneForASignal) {
  const ProcessResult three = probe({"exit", "3"});
  EXPECT_TRUE(three.started);
  EXPECT_FALSE(three.timedOut);
  EXPECT_EQ(three.exitStatus, 3);
  EXPECT_FALSE(three.succeeded());

  PosixProcessRunner runner;
  const ProcessResult killed = runner.run({"/bin/sh", {"-c", "kill -9 $$"}, true});
  EXPECT_TRUE(killed.started);
  EXPECT_FALSE(killed.timedOut);
  EXPECT_EQ(killed.exitStatus, -1);
  EXPECT_FALSE(killed.succeeded());
  EXPECT_TRUE(noChildrenLeft());
}

TEST(PosixProcessRunner, AToolReapedBySomeoneElseEndsTheRunWithoutATimeOut) {
  // With SIGCHLD ignored the kernel reaps the tool itself; its pid may then be
  // reused, so the runner must neither wait for the limit nor kill anything.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction old;
  sigaction(SIGCHLD, &ignore, &old);
  PosixProcessRunner runner(5.0);

  const ProcessResult result = runner.run({kProbe, {"args", "reaped"}, true});

  sigaction(SIGCHLD, &old, nullptr);
  EXPECT_TRUE(result.started);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.out, kProbe + "\nargs\nreaped\n");
}

TEST(PosixProcessRunner, RefusesWhatCannotBeStartedExactly) {
  PosixProcessRunner runner;
  // Missing, relative (no search path), and an argument a C string cannot carry.
  const ProcessRequest requests[] = {
      {"/nonexistent/velmoryn-tool", {}, true},
      {"sh", {"-c", "true"}, true},
      {"bin/sh", {"-c", "true"}, true},
      {"", {}, true},
      {kProbe, {"args", std::string("a\0b", 3)}, true},
  };
  for (const auto& request : requests) {
    const ProcessResult result = runner.run(request);
    EXPECT_FALSE(result.started) << request.path;
    EXPECT_FALSE(result.succeeded()) << request.path;
    EXPECT_EQ(result.out, "") << request.path;
  }
  EXPECT_TRUE(noChildrenLeft());
}

TEST(PosixProcessRunner, DrainsBothStreamsOfAChattyToolAndReturnsAllOfItsOutput) {
  constexpr long kMiB = 1 << 20;
  const ProcessResult result = probe({"flood", std::to_string(kMiB)});

  ASSERT_TRUE(result.succeeded());
  ASSERT_EQ(result.out.size(), static_cast<std::size_t>(kMiB));
  EXPECT_EQ(result.out.find_first_not_of('x'), std::string::npos);
}

TEST(PosixProcessRunner, KillsAToolAtTheEarlierOfTheRequestsLimitAndTheCeilingAndReapsIt) {
  const double never = std::numeric_limits<double>::infinity();
  struct Row {
    double ceiling;
    double requested;
    std::string path;
    std::vector<std::string> args;
  };
  const std::vector<Row> rows = {
      {never, 0.5, kProbe, {"hang"}},
      {0.5, 30.0, kProbe, {"quiet-hang"}},  // closed its streams but keeps running
      {never, 0.5, "/bin/sh", {"-c", "echo partial; exec sleep 60"}},  // its output is dropped
  };
  for (const auto& row : rows) {
    const int before = openDescriptorCount();
    PosixProcessRunner runner(row.ceiling);
    const ProcessResult result = runner.run({row.path, row.args, true, row.requested});
    EXPECT_TRUE(result.started) << row.args[0];
    EXPECT_TRUE(result.timedOut) << row.args[0];
    EXPECT_EQ(result.exitStatus, -1) << row.args[0];
    EXPECT_EQ(result.out, "") << row.args[0];
    EXPECT_FALSE(result.succeeded()) << row.args[0];
    EXPECT_TRUE(noChildrenLeft()) << row.args[0];
    EXPECT_EQ(openDescriptorCount(), before) << row.args[0];
  }
}

TEST(PosixProcessRunner, LeavesTheToolNoDescriptorBeyondTheStandardThree) {
  // Descriptors of ours that are not close-on-exec would leak without closefrom.
  const int leakyFile = open("/dev/null", O_RDONLY);
  int leakyPipe[2];
  ASSERT_EQ(pipe(leakyPipe), 0);
  ASSERT_GE(leakyFile, 0);

  const ProcessResult result = probe({"fds"});

  close(leakyFile);
  close(leakyPipe[0]);
  close(leakyPipe[1]);
  ASSERT_TRUE(result.succeeded());
  EXPECT_EQ(result.out, "");
}

TEST(PosixProcessRunner, GivesTheToolDefaultSignalsEvenWhenWeIgnoreThem) {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction oldTerm, oldInt, oldHup, oldPipe;
  sigaction(SIGTERM, &ignore, &oldTerm);
  sigaction(SIGINT, &ignore, &oldInt);
  sigaction(SIGHUP, &ignore, &oldHup);
  sigaction(SIGPIPE, &ignore, &oldPipe);
  sigset_t usr1, oldMask;
  sigemptyset(&usr1);
  sigaddset(&usr1, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &usr1, &oldMask);

  const ProcessResult result = probe({"signals"});

  pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
  sigaction(SIGTERM, &oldTerm, nullptr);
  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGHUP, &oldHup, nullptr);
  sigaction(SIGPIPE, &oldPipe, nullptr);

  ASSERT_TRUE(result.succeeded());
  EXPECT_THAT(lines(result.out),
              ElementsAre("SIGTERM default", "SIGINT default", "SIGHUP default", "SIGPIPE default",
                          "SIGUSR1 default", "SIGCHLD default", "blocked 0"));
}

TEST(PosixProcessRunner, LetsTheToolWriteToOurStandardOutputWhenNotCapturing) {
  char path[] = "/tmp/velmoryn-stdout-XXXXXX";
  const int file = mkstemp(path);
  ASSERT_GE(file, 0);
  std::fflush(stdout);
  const int savedStdout = dup(STDOUT_FILENO);
  dup2(file, STDOUT_FILENO);

  PosixProcessRunner runner;
  const ProcessResult result = runner.run({kProbe, {"args", "to-our-stdout"}, false});

  dup2(savedStdout, STDOUT_FILENO);
  close(savedStdout);
  std::string written(256, '\0');
  const ssize_t n = pread(file, written.data(), written.size(), 0);
  written.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  close(file);
  unlink(path);

  EXPECT_TRUE(result.succeeded());
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(written, kProbe + "\nargs\nto-our-stdout\n");
}

TEST(PosixProcessRunner, RunsOnTwoThreadsAtOnceWithoutMixingOrLeaking) {
  const int before = openDescriptorCount();
  PosixProcessRunner runner;  // one runner shared, as on the main and the utility thread
  constexpr int kRuns = 40;
  std::vector<std::string> failures[2];

  auto work = [&](int thread) {
    for (int i = 0; i < kRuns; ++i) {
      const std::string tag = "thread" + std::to_string(thread) + "-" + std::to_string(i);
      const ProcessResult args = runner.run({kProbe, {"args", tag}, true});
      if (!args.succeeded() || args.out != kProbe + "\nargs\n" + tag + "\n") {
        failures[thread].push_back("args " + tag + ": " + args.out);
      }
      // The other thread's pipes must never reach this tool.
      const ProcessResult fds = runner.run({kProbe, {"fds"}, true});
      if (!fds.succeeded() || !fds.out.empty()) failures[thread].push_back("fds: " + fds.out);
    }
  };
  std::thread first(work, 0);
  std::thread second(work, 1);
  first.join();
  second.join();

  EXPECT_THAT(failures[0], IsEmpty());
  EXPECT_THAT(failures[1], IsEmpty());
  EXPECT_EQ(openDescriptorCount(), before);
  EXPECT_TRUE(noChildrenLeft());
}

// Stands in for /usr/bin/defaults with the probe printing the bytes named by
// the only argument, so that the core's decoding sees real pipe output.
class BytesRunner : public ProcessRunner {
 public:
  ProcessResult run(const ProcessRequest& request) override {
    return real.run({kProbe, {"bytes", request.args.at(0)}, request.captureStdout});
  }
  PosixProcessRunner real;
};

TEST(PosixProcessRunner, ToolOutputThatIsNotUtf8ReadsAsNoValue) {
  testing::FakePlatform fakes;
  BytesRunner bytes;
  Platform p = platform();
  p.processes = &bytes;
  installPlatform(p);

  EXPECT_EQ(Dock::defaults({"206c6566740a"}), "left");  // " left\n"
  EXPECT_EQ(Dock::defaults({"c3a90a"}), "\xc3\xa9");    // "é\n"
  EXPECT_EQ(Dock::defaults({"6c656674ff0a"}), "");      // "left", a stray byte
  EXPECT_EQ(Dock::defaults({"c328"}), "");              // a broken sequence
}

}  // namespace
}  // namespace velmoryn
