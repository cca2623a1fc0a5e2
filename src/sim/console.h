// Whole lines on standard output for everything the simulated desktop shows.
// Any thread; standard output itself is written by a thread of its own, so
// that an output nobody reads never holds up the program.
#pragma once

#include <unistd.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/linux/output_backlog_linux.h"

namespace velmoryn {

// Whole lines, never interleaved, in the order printed; each line also goes to
// the listeners (the control socket's clients, tests) at once. Printing never
// waits for the output: a line that finds the backlog full is dropped from the
// output (the listeners still get it), and once the output moves again one
// line says how many were dropped there.
class Console {
 public:
  // Writes to its own duplicate of `fd`, standard output unless a test says.
  explicit Console(int fd = STDOUT_FILENO);

  void printLine(std::string_view text);
  // Listeners are called under the console's lock: they must only hand the line on.
  int addListener(std::function<void(const std::string&)> listener);
  void removeListener(int id);
  // Waits until every line printed so far has been written out, or the limit
  // has passed; true when all were.
  bool drain(std::chrono::steady_clock::duration limit) { return output.drain(limit); }

 private:
  OutputBacklog output;
  std::mutex mutex;
  int nextId = 1;
  std::vector<std::pair<int, std::function<void(const std::string&)>>> listeners;
};

}  // namespace velmoryn
