// Whole lines on standard output for everything the simulated desktop shows.
// Any thread; standard output itself is written by a thread of the console's
// own, so that an output nobody reads never holds up the program.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmoryn {

// Whole lines, never interleaved, in the order printed; each line also goes to
// the listeners (the control socket's clients, tests) at once. Printing never
// waits for the output: a line that finds more than kLargestBacklog bytes
// still unwritten is dropped from the output (the listeners still get it),
// and once the output moves again one line says how many were dropped there.
// When the process ends through exit(), the lines held are given at most
// kExitDrainLimit to be written.
class Console {
 public:
  static constexpr std::size_t kLargestBacklog = std::size_t{256} << 10;
  static constexpr std::chrono::seconds kExitDrainLimit{2};

  // Writes to its own duplicate of `fd`, standard output unless a test says.
  explicit Console(int fd = STDOUT_FILENO);
  // The writer writes what it holds and ends on its own; nobody waits for it.
  ~Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  void printLine(std::string_view text);
  // Listeners are called under the console's lock: they must only hand the line on.
  int addListener(std::function<void(const std::string&)> listener);
  void removeListener(int id);
  // Waits until every line printed so far has been written out, or the limit
  // has passed; true when all were.
  bool drain(std::chrono::steady_clock::duration limit);

  // What the writer thread shares with the console (console.cc).
  struct Writer;

 private:
  std::shared_ptr<Writer> writer;
  std::mutex mutex;
  int nextId = 1;
  std::vector<std::pair<int, std::function<void(const std::string&)>>> listeners;
};

}  // namespace velmoryn
