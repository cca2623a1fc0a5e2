// The standard-error log, read back through real files and pipes.
#include "platform/linux/log_linux.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace velmoryn {
namespace {

// Points standard error at `fd` while alive.
class StderrRedirect {
 public:
  explicit StderrRedirect(int fd) {
    std::fflush(stderr);
    saved = ::dup(STDERR_FILENO);
    ::dup2(fd, STDERR_FILENO);
  }
  ~StderrRedirect() {
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
  }

 private:
  int saved = -1;
};

// What reached standard error while `body` ran, through an unlinked file.
template <typename Body>
std::string captureStderr(Body body) {
  char name[] = "/tmp/velmoryn-log-XXXXXX";
  int fd = ::mkstemp(name);
  ::unlink(name);
  {
    StderrRedirect redirect(fd);
    body();
  }
  std::string text;
  char buffer[65536];
  ::lseek(fd, 0, SEEK_SET);
  for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, got);
  ::close(fd);
  return text;
}

std::string prefixPattern() {
  return R"((\d{4})-(\d{2})-(\d{2}) (\d{2}):(\d{2}):(\d{2})\.\d{3} velmoryn\[)" +
         std::to_string(::getpid()) + R"(:(\d+)\] )";
}

TEST(StderrLog, WritesLocalTimeWithMillisecondsProgramProcessAndThreadThenTheText) {
  StderrLog log("velmoryn");
  std::time_t before = std::time(nullptr);
  std::string text =
      captureStderr([&] { log.write("Velmoryn: ホットキーの登録に失敗しました（-9878）"); });
  std::time_t after = std::time(nullptr);

  std::smatch match;
  ASSERT_TRUE(std::regex_match(
      text, match,
      std::regex(prefixPattern() + "Velmoryn: ホットキーの登録に失敗しました（-9878）\n")))
      << text;
  EXPECT_EQ(std::stol(match[7]), static_cast<long>(::gettid()));
  std::tm stamp{};
  stamp.tm_year = std::stoi(match[1]) - 1900;
  stamp.tm_mon = std::stoi(match[2]) - 1;
  stamp.tm_mday = std::stoi(match[3]);
  stamp.tm_hour = std::stoi(match[4]);
  stamp.tm_min = std::stoi(match[5]);
  stamp.tm_sec = std::stoi(match[6]);
  stamp.tm_isdst = -1;
  std::time_t written = std::mktime(&stamp);  // read back as local time
  EXPECT_GE(written, before - 1);
  EXPECT_LE(written, after + 1);
}

TEST(StderrLog, EndsEveryLineWithExactlyOneNewline) {
  StderrLog log("velmoryn");
  std::string text = captureStderr([&] {
    log.write("already ends\n");
    log.write("");
    log.write("plain");
  });
  EXPECT_TRUE(
      std::regex_match(text, std::regex(prefixPattern() + "already ends\n" + prefixPattern() +
                                        "\n" + prefixPattern() + "plain\n")))
      << text;
}

// Lines much longer than a pipe's atomic write size, from many threads at
// once: each must arrive whole.
TEST(StderrLog, LinesFromManyThreadsNeverInterleave) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  std::string received;
  std::thread reader([&] {
    char buffer[65536];
    for (ssize_t got; (got = ::read(ends[0], buffer, sizeof buffer)) > 0;) {
      received.append(buffer, got);
    }
  });

  constexpr int kThreads = 8;
  constexpr int kLinesEach = 100;
  constexpr std::size_t kLength = 20000;
  StderrLog log("velmoryn");
  {
    StderrRedirect redirect(ends[1]);
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
      writers.emplace_back([&log, t] {
        std::string body(kLength, static_cast<char>('a' + t));
        for (int i = 0; i < kLinesEach; ++i) log.write(body);
      });
    }
    for (auto& writer : writers) writer.join();
  }
  ::close(ends[1]);
  reader.join();
  ::close(ends[0]);

  std::map<char, int> linesPerThread;
  std::regex prefix(prefixPattern());
  std::size_t start = 0;
  int lines = 0;
  while (start < received.size()) {
    std::size_t end = received.find('\n', start);
    ASSERT_NE(end, std::string::npos);
    std::string line = received.substr(start, end - start);
    start = end + 1;
    std::smatch match;
    ASSERT_TRUE(std::regex_search(line, match, prefix, std::regex_constants::match_continuous))
        << "line " << lines << " begins " << line.substr(0, 80);
    std::string body = match.suffix();
    ASSERT_EQ(body.size(), kLength) << "line " << lines;
    ASSERT_EQ(body.find_first_not_of(body[0]), std::string::npos) << "line " << lines;
    ++linesPerThread[body[0]];
    ++lines;
  }
  EXPECT_EQ(lines, kThreads * kLinesEach);
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(linesPerThread['a' + t], kLinesEach);
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
  sigpending(&pending);
  EXPECT_EQ(sigismember(&pending, SIGPIPE), 0);
  ::sigaction(SIGPIPE, &previous, nullptr);

  // And the log still writes once standard error is usable again.
  std::string text = captureStderr([&] { log.write("back"); });
  EXPECT_TRUE(std::regex_match(text, std::regex(prefixPattern() + "back\n"))) << text;
}

}  // namespace
}  // namespace velmoryn
