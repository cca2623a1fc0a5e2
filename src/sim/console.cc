// Any thread.
#include "sim/console.h"

#include <cstdio>

namespace velmoryn {

void Console::printLine(std::string_view text) {
  std::string line(text);
  line += '\n';
  std::lock_guard lock(mutex);
  // One write per line; a closed output loses the line, nothing more.
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
  line.pop_back();
  for (const auto& [id, listener] : listeners) listener(line);
}

int Console::addListener(std::function<void(const std::string&)> listener) {
  std::lock_guard lock(mutex);
  listeners.emplace_back(nextId, std::move(listener));
  return nextId++;
}

void Console::removeListener(int id) {
  std::lock_guard lock(mutex);
  std::erase_if(listeners, [id](const auto& entry) { return entry.first == id; });
}

}  // namespace velmoryn
