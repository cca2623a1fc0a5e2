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

// The prefix the log puts before each line.
struct Prefix {
  std::tm time{};
  long threadId = 0;
};

// Reads "YYYY-MM-DD HH:MM:SS.mmm velmoryn[PID:TID] " at `at`, with this
// process's id; the position after it, or npos when it is not there.
std::size_t readPrefix(const std::string& text, std::size_t at, Prefix* prefix) {
  auto number = [&](std::size_t digits, int* value) {
    if (at + digits > text.size()) return false;
    *value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
      char c = text[at + i];
      if (c < '0' || c > '9') return false;
      *value = *value * 10 + (c - '0');
    }
    at += digits;
    return true;
  };
  auto literal = [&](const std::string& expected) {
    if (text.compare(at, expected.size(), expected) != 0) return false;
    at += expected.size();
    return true;
  };
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millis = 0;
  if (!number(4, &year) || !literal("-") || !number(2, &month) || !literal("-") ||
      !number(2, &day) || !literal(" ") || !number(2, &hour) || !literal(":") ||
      !number(2, &minute) || !literal(":") || !number(2, &second) || !literal(".") ||
      !number(3, &millis) || !literal(" velmoryn[" + std::to_string(::getpid()) + ":")) {
    return std::string::npos;
  }
  std::size_t digitsEnd = text.find_first_not_of("0123456789", at);
  if (digitsEnd == at || digitsEnd == std::string::npos) return std::string::npos;
  long threadId = std::stol(text.substr(at, digitsEnd - at));
  at = digitsEnd;
  if (!literal("] ")) return std::string::npos;
  if (prefix) {
    prefix->time.tm_year = year - 1900;
    prefix->time.tm_mon = month - 1;
    prefix->time.tm_mday = day;
    prefix->time.tm_hour = hour;
    prefix->time.tm_min = minute;
    prefix->time.tm_sec = second;
    prefix->time.tm_isdst = -1;
    prefix->threadId = threadId;
  }
  return at;
}

// The texts of the lines, each checked to carry the prefix and end in a newline.
std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t body = readPrefix(text, at, nullptr);
    if (body == std::string::npos) {
      ADD_FAILURE() << "no prefix at " << at << ": " << text.substr(at, 80);
      break;
    }
    std::size_t end = text.find('\n', body);
    if (end == std::string::npos) {
      ADD_FAILURE() << "no newline after " << text.substr(at, 80);
      break;
    }
    lines.push_back(text.substr(body, end - body));
    at = end + 1;
  }
  return lines;
}

TEST(StderrLog, WritesLocalTimeWithMillisecondsProgramProcessAndThreadThenTheText) {
  StderrLog log("velmoryn");
  std::time_t before = std::time(nullptr);
  std::string text =
      captureStderr([&] { log.write("Velmoryn: ホットキーの登録に失敗しました（-9878）"); });
  std::time_t after = std::time(nullptr);

  Prefix prefix;
  std::size_t body = readPrefix(text, 0, &prefix);
  ASSERT_NE(body, std::string::npos) << text;
  EXPECT_EQ(text.substr(body), "Velmoryn: ホットキーの登録に失敗しました（-9878）\n");
  EXPECT_EQ(prefix.threadId, static_cast<long>(::gettid()));
  std::time_t written = std::mktime(&prefix.time);  // read back as local time
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
  EXPECT_EQ(linesOf(text), (std::vector<std::string>{"already ends", "", "plain"})) << text;
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
  int lines = 0;
  for (const std::string& body : linesOf(received)) {
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
  EXPECT_EQ(linesOf(text), std::vector<std::string>{"back"}) << text;
}

}  // namespace
}  // namespace velmoryn
