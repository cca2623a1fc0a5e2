// Any thread.
#include "sim/console.h"

namespace velmoryn {

Console::Console(int fd)
    : output(fd, [](std::size_t dropped) {
        return "console: " + std::to_string(dropped) +
               " lines dropped while standard output was full";
      }) {}

void Console::printLine(std::string_view text) {
  const std::string line(text);
  std::lock_guard lock(mutex);
  output.add(line);
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
