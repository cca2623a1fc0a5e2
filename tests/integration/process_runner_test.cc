// The real process runner against real processes: what a tool is given, how
// its output comes back, and how it ends.
#include "platform/posix/posix_process_runner.h"

#include <dirent.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <string>
#include <thread>
#include <vector>

namespace velmoryn {
namespace {

const std::string kProbe = std::string(VELMORYN_BINARY_DIR) + "/velmoryn-process-probe";

int openDescriptorCount() {
  int count = -1;  // the directory's own descriptor
  DIR* dir = ::opendir("/proc/self/fd");
  while (dirent* entry = ::readdir(dir)) count += entry->d_name[0] != '.';
  ::closedir(dir);
  return count;
}

// No child of ours is left, running or as a zombie.
bool noChildrenLeft() {
  int status = 0;
  return ::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

ProcessResult probe(std::vector<std::string> args) {
  return PosixProcessRunner(10.0).run({kProbe, std::move(args), true});
}

TEST(PosixProcessRunner, PassesTheExactArgumentVectorWithThePathAsArgvZero) {
  const std::vector<std::string> tricky = {"a b", "$HOME",    "*",    "'quoted'",
                                           "",    "; echo x", "`id`", "ü\t|&>x"};
  std::vector<std::string> args = {"args"};
  args.insert(args.end(), tricky.begin(), tricky.end());
  std::string expected = kProbe + "\n";
  for (const auto& arg : args) expected += arg + "\n";
  EXPECT_EQ(probe(args).out, expected);
}

TEST(PosixProcessRunner, ReportsHowAToolEndedAndRefusesWhatCannotBeStartedExactly) {
  const struct {
    ProcessRequest request;
    bool started;
    int exitStatus;
  } rows[] = {
      {{kProbe, {"exit", "3"}, true}, true, 3},
      {{"/bin/sh", {"-c", "kill -9 $$"}, true}, true, -1},
      {{"/nonexistent/velmoryn-tool", {}, true}, false, -1},
      {{"sh", {"-c", "true"}, true}, false, -1},  // no search path
      {{"bin/sh", {"-c", "true"}, true}, false, -1},
      {{"", {}, true}, false, -1},
      {{kProbe, {"args", std::string("a\0b", 3)}, true}, false, -1},
  };
  PosixProcessRunner runner;
  for (const auto& row : rows) {
    const ProcessResult result = runner.run(row.request);
    EXPECT_EQ(result.started, row.started) << row.request.path;
    EXPECT_EQ(result.exitStatus, row.exitStatus) << row.request.path;
    EXPECT_FALSE(result.timedOut || result.succeeded()) << row.request.path;
  }
  EXPECT_TRUE(noChildrenLeft());
}

// The tool's input, descriptors and signals are its own, whatever ours are.
TEST(PosixProcessRunner, GivesTheToolAnEmptyInputNoOtherDescriptorAndDefaultSignals) {
  int input[2];
  ASSERT_EQ(::pipe(input), 0);
  ASSERT_EQ(::write(input[1], "typed", 5), 5);
  const int savedStdin = ::dup(STDIN_FILENO);
  ::dup2(input[0], STDIN_FILENO);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction old[4];
  const int ignored[] = {SIGTERM, SIGINT, SIGHUP, SIGPIPE};
  for (int i = 0; i < 4; ++i) ::sigaction(ignored[i], &ignore, &old[i]);
  sigset_t usr1, oldMask;
  sigemptyset(&usr1);
  sigaddset(&usr1, SIGUSR1);
  ::pthread_sigmask(SIG_BLOCK, &usr1, &oldMask);

  const ProcessResult in = probe({"stdin"});
  const ProcessResult fds = probe({"fds"});  // the pipe above is not close-on-exec
  const ProcessResult signals = probe({"signals"});

  ::pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
  for (int i = 0; i < 4; ++i) ::sigaction(ignored[i], &old[i], nullptr);
  ::dup2(savedStdin, STDIN_FILENO);
  for (int fd : {savedStdin, input[0], input[1]}) ::close(fd);
  EXPECT_EQ(in.out, "null 0\n");
  EXPECT_TRUE(fds.succeeded());
  EXPECT_EQ(fds.out, "");
  EXPECT_EQ(signals.out,
            "SIGTERM default\nSIGINT default\nSIGHUP default\nSIGPIPE default\n"
            "SIGUSR1 default\nSIGCHLD default\nblocked 0\n");
}

TEST(PosixProcessRunner, AToolReapedBySomeoneElseEndsTheRunWithoutATimeOut) {
  // With SIGCHLD ignored the kernel reaps the tool itself; its pid may then be
  // reused, so the runner must neither wait for the limit nor kill anything.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction old;
  ::sigaction(SIGCHLD, &ignore, &old);
  const ProcessResult result = PosixProcessRunner(5.0).run({kProbe, {"args", "reaped"}, true});
  ::sigaction(SIGCHLD, &old, nullptr);
  EXPECT_TRUE(result.started);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.out, kProbe + "\nargs\nreaped\n");
}

TEST(PosixProcessRunner, DrainsBothStreamsOfAChattyToolAndReturnsAllOfItsOutput) {
  const ProcessResult result = probe({"flood", std::to_string(1 << 20)});
  ASSERT_TRUE(result.succeeded());
  EXPECT_EQ(result.out, std::string(1 << 20, 'x'));
}

TEST(PosixProcessRunner, KillsAToolAtTheEarlierOfTheRequestsLimitAndTheCeilingAndReapsIt) {
  const double never = std::numeric_limits<double>::infinity();
  const struct {
    double ceiling;
    ProcessRequest request;
  } rows[] = {
      {never, {kProbe, {"hang"}, true, 0.5}},
      {0.5, {kProbe, {"quiet-hang"}, true, 30.0}},  // closed its streams, runs on
      {never, {"/bin/sh", {"-c", "echo partial; exec sleep 60"}, true, 0.5}},
  };
  for (const auto& row : rows) {
    const int before = openDescriptorCount();
    const ProcessResult result = PosixProcessRunner(row.ceiling).run(row.request);
    SCOPED_TRACE(row.request.args.back());
    EXPECT_TRUE(result.started && result.timedOut);
    EXPECT_EQ(result.exitStatus, -1);
    EXPECT_EQ(result.out, "") << "the output of a tool cut short is dropped";
    EXPECT_TRUE(noChildrenLeft());
    EXPECT_EQ(openDescriptorCount(), before);
  }
}

TEST(PosixProcessRunner, LetsTheToolWriteToOurStandardOutputWhenNotCapturing) {
  char path[] = "/tmp/velmoryn-stdout-XXXXXX";
  const int file = ::mkstemp(path);
  ::unlink(path);
  std::fflush(stdout);
  const int savedStdout = ::dup(STDOUT_FILENO);
  ::dup2(file, STDOUT_FILENO);
  const ProcessResult result = PosixProcessRunner().run({kProbe, {"args", "ours"}, false});
  ::dup2(savedStdout, STDOUT_FILENO);
  ::close(savedStdout);
  std::string written(256, '\0');
  written.resize(
      static_cast<std::size_t>(std::max<ssize_t>(0, ::pread(file, written.data(), 256, 0))));
  ::close(file);
  EXPECT_TRUE(result.succeeded());
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(written, kProbe + "\nargs\nours\n");
}

// One runner serves the main and the utility thread at once.
TEST(PosixProcessRunner, RunsOnTwoThreadsAtOnceWithoutMixingOrLeaking) {
  const int before = openDescriptorCount();
  PosixProcessRunner runner;
  std::vector<std::string> failures[2];
  auto work = [&](int thread) {
    for (int i = 0; i < 40; ++i) {
      const std::string tag = std::to_string(thread) + "-" + std::to_string(i);
      const ProcessResult args = runner.run({kProbe, {"args", tag}, true});
      if (args.out != kProbe + "\nargs\n" + tag + "\n") failures[thread].push_back(args.out);
      // The other thread's pipes must never reach this tool.
      const ProcessResult fds = runner.run({kProbe, {"fds"}, true});
      if (!fds.succeeded() || !fds.out.empty()) failures[thread].push_back("fds: " + fds.out);
    }
  };
  std::thread first(work, 0), second(work, 1);
  first.join();
  second.join();
  EXPECT_THAT(failures[0], ::testing::IsEmpty());
  EXPECT_THAT(failures[1], ::testing::IsEmpty());
  EXPECT_EQ(openDescriptorCount(), before);
  EXPECT_TRUE(noChildrenLeft());
}

}  // namespace
}  // namespace velmoryn
