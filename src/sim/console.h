// Whole lines on standard output for everything the simulated desktop shows.
// Any thread.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmoryn {

// Whole lines on standard output, never interleaved, flushed at once; each
// line also goes to the listeners (the control socket's clients, tests) in
// the same order. Any thread.
class Console {
 public:
  void printLine(std::string_view text);
  // Listeners are called under the console's lock: they must only hand the line on.
  int addListener(std::function<void(const std::string&)> listener);
  void removeListener(int id);

 private:
  std::mutex mutex;
  int nextId = 1;
  std::vector<std::pair<int, std::function<void(const std::string&)>>> listeners;
};

}  // namespace velmoryn
