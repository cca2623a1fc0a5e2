// The standard-error log, read back through real files and pipes.
#include "platform/linux/log_linux.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace velmoryn {
namespace {

// Points standard error at `fd` while alive.
struct StderrRedirect {
  explicit StderrRedirect(int fd) {
    std::fflush(stderr);
    ::dup2(fd, STDERR_FILENO);
  }
  ~StderrRedirect() {
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
  }
  const int saved = ::dup(STDERR_FILENO);
};

// What reached standard error while `body` ran, through an unlinked file.
template <typename Body>
std::string captureStderr(Body body) {
  char name[] = "/tmp/velmoryn-log-XXXXXX";
  const int fd = ::mkstemp(name);
  ::unlink(name);
  {
    StderrRedirect redirect(fd);
    body();
  }
  std::string text(1 << 16, '\0');
  text.resize(
      static_cast<std::size_t>(std::max<ssize_t>(0, ::pread(fd, text.data(), text.size(), 0))));
  ::close(fd);
  return text;
}

// The texts of "YYYY-MM-DD HH:MM:SS.mmm velmoryn[PID:TID] text" lines of this process.
std::vector<std::string> linesOf(const std::string& written) {
  const std::string shape = "0000-00-00 00:00:00.000 velmoryn[" + std::to_string(::getpid()) + ":";
  const auto hasPrefix = [&](const std::string& line, std::size_t close) {
    if (close <= shape.size()) return false;
    for (std::size_t i = 0; i < shape.size(); ++i) {
      const bool digit = i < 23 && shape[i] == '0';  // the time's digits
      if (digit ? !std::isdigit(static_cast<unsigned char>(line[i])) : line[i] != shape[i]) {
        return false;
      }
    }
    return line.find_first_not_of("0123456789", shape.size()) == close;
  };
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; at < written.size(); at = end + 1) {
    end = written.find('\n', at);
    const std::string line = written.substr(at, end - at);
    const std::size_t close = line.find("] ");
    if (end == std::string::npos || close == std::string::npos || !hasPrefix(line, close)) {
      ADD_FAILURE() << "not a log line: " << line.substr(0, 80);
      break;
    }
    lines.push_back(line.substr(close + 2));
  }
  return lines;
}

TEST(StderrLog, PrefixesTimeProgramProcessAndThreadAndEndsEachLineWithOneNewline) {
  StderrLog log("velmoryn");
  const std::string written = captureStderr([&] {
    log.write("Velmoryn: ホットキーの登録に失敗しました（-9878）");
    log.write("already ends\n");
    log.write("");
  });
  EXPECT_EQ(linesOf(written),
            (std::vector<std::string>{"Velmoryn: ホットキーの登録に失敗しました（-9878）",
                                      "already ends", ""}));
  const std::string thread = ":" + std::to_string(::gettid()) + "] ";
  EXPECT_NE(written.find(thread), std::string::npos) << written;
}

// Lines much longer than a pipe's atomic write size, from many threads at
// once: each must arrive whole.
TEST(StderrLog, LinesFromManyThreadsNeverInterleave) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  std::string received;
  std::thread reader([&] {
    char buffer[65536];
    for (ssize_t got; (got = ::read(ends[0], buffer, sizeof buffer)) > 0;)
      received.append(buffer, got);
  });
  StderrLog log("velmoryn");
  {
    StderrRedirect redirect(ends[1]);
    std::vector<std::thread> writers;
    for (char c = 'a'; c < 'i'; ++c) {
      writers.emplace_back([&log, c] {
        for (int i = 0; i < 100; ++i) log.write(std::string(20000, c));
      });
    }
    for (auto& writer : writers) writer.join();
  }
  ::close(ends[1]);
  reader.join();
  ::close(ends[0]);
  std::map<std::string, int> count;
  for (const std::string& line : linesOf(received)) ++count[line];
  EXPECT_EQ(count.size(), 8u);
  for (char c = 'a'; c < 'i'; ++c) EXPECT_EQ(count[std::string(20000, c)], 100) << c;
}

// Standard error may be a pipe whose reader has gone (a closed terminal, an
// ended session): the line is lost, the process lives on.
TEST(StderrLog, AReaderThatWentAwayNeitherEndsTheProcessNorLeavesASignalPending) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ::close(ends[0]);
  struct sigaction defaultAction {};
  defaultAction.sa_handler = SIG_DFL;
  struct sigaction previous {};
  ::sigaction(SIGPIPE, &defaultAction, &previous);
  StderrLog log("velmoryn");
  {
    StderrRedirect redirect(ends[1]);
    log.write("nobody reads this");
    log.write("nor this");
  }
  ::close(ends[1]);
  sigset_t pending;
  ::sigpending(&pending);
  EXPECT_EQ(sigismember(&pending, SIGPIPE), 0);
  ::sigaction(SIGPIPE, &previous, nullptr);
  EXPECT_EQ(linesOf(captureStderr([&] { log.write("back"); })), std::vector<std::string>{"back"});
}

}  // namespace
}  // namespace velmoryn
