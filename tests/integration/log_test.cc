// The real log on a pipe: whole lines, each with its time and process.
#include "platform/linux/log_linux.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace velmoryn {
namespace {

// What `body` logs, each "YYYY-MM-DD HH:MM:SS.mmm velmoryn[PID:TID] " prefix checked and cut.
template <typename Body>
std::vector<std::string> logged(Body body, bool readerGone = false) {
  int fd[2];
  EXPECT_EQ(::pipe(fd), 0);
  if (readerGone) ::close(fd[0]);
  std::string written;
  std::thread reader([&] {
    char buffer[65536];
    for (ssize_t got; !readerGone && (got = ::read(fd[0], buffer, sizeof buffer)) > 0;)
      written.append(buffer, got);
  });
  {
    StderrLog log("velmoryn", fd[1]);
    ::close(fd[1]);
    body(log);
    EXPECT_TRUE(log.drain(std::chrono::seconds(10)));
  }  // the writer ends once it has written what it holds, and the pipe with it
  reader.join();
  if (!readerGone) ::close(fd[0]);
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; (end = written.find('\n', at)) != std::string::npos; at = end + 1) {
    int n[9] = {}, text = 0;
    std::sscanf(written.substr(at, 80).c_str(), "%4d-%2d-%2d %2d:%2d:%2d.%3d velmoryn[%d:%d]%n",
                &n[0], &n[1], &n[2], &n[3], &n[4], &n[5], &n[6], &n[7], &n[8], &text);
    const auto width = std::to_string(n[7]).size() + std::to_string(n[8]).size();
    EXPECT_TRUE(text == int(35 + width) && written[at + text] == ' ' && n[7] == ::getpid())
        << written.substr(at, 80);
    lines.push_back(written.substr(at + text + 1, end - at - text - 1));
  }
  return lines;
}

TEST(StderrLog, AReaderThatWentAwayCostsTheLinesNotTheProcessAndAFinalNewlineIsNotDoubled) {
  const sighandler_t previous = ::signal(SIGPIPE, SIG_DFL);
  const auto writeTwoLines = [](StderrLog& log) {
    log.write("nobody reads this");
    log.write("nor this");
  };
  logged(writeTwoLines, /*readerGone=*/true);
  ::signal(SIGPIPE, previous);
  const std::string longLine(5000, 'x');  // longer than a pipe's atomic write: still whole
  const auto lines = logged([&](StderrLog& log) {
    log.write("戻りました（-9878）");
    log.write("ends\n");
    log.write(longLine);
    log.write("");
  });
  EXPECT_EQ(lines, (std::vector<std::string>{"戻りました（-9878）", "ends", longLine, ""}));
}

}  // namespace
}  // namespace velmoryn
