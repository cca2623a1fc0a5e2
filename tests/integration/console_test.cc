// The simulated desktop's console on a pipe that may never be read.
#include "sim/console.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <thread>

namespace velmoryn {
namespace {

// Nobody reads at first: printing never waits and the listener hears every
// line; once read, the output has the lines in order, each gap said in its
// place, the last one too though no line follows it.
TEST(Console, AnOutputNobodyReadsNeverHoldsThePrinterAndLinesDroppedAreCountedWhereTheyWere) {
  int fd[2];
  ASSERT_EQ(::pipe(fd), 0);
  constexpr int kLines = 20000;  // 2 MB: far beyond the pipe and the backlog
  const std::string filler(100, '.');
  int heard = 0;
  std::string written;
  std::thread reader;
  {
    Console console(fd[1]);
    ::close(fd[1]);
    console.addListener([&heard](const std::string&) { ++heard; });
    for (int i = 0; i < kLines; ++i) console.printLine(std::to_string(i) + filler);
    reader = std::thread([&] {
      char buffer[65536];
      for (ssize_t got; (got = ::read(fd[0], buffer, sizeof buffer)) > 0;)
        written.append(buffer, got);
    });
    EXPECT_TRUE(console.drain(std::chrono::seconds(10)));  // no line comes after the last gap
  }  // the writer ends once it has written what it holds, and the pipe with it
  reader.join();
  ::close(fd[0]);
  EXPECT_EQ(heard, kLines);
  std::istringstream lines(written);
  int next = 0, notes = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("console: ")) {
      const int dropped = std::stoi(line.substr(9));
      EXPECT_EQ(line, "console: " + std::to_string(dropped) +
                          " lines dropped while standard output was full");
      next += dropped;
      ++notes;
    } else {
      ASSERT_EQ(line, std::to_string(next++) + filler);
    }
  }
  EXPECT_EQ(next, kLines);
  EXPECT_GE(notes, 1);
}

}  // namespace
}  // namespace velmoryn
