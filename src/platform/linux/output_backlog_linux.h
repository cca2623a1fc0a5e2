// Lines for a descriptor that nobody may be reading (a pipe into a pager, a
// terminal that went away): held in a bounded backlog and written by a thread
// of their own, so that whoever adds a line never waits. Any thread.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace velmoryn {

// A line that finds more than kLargestBacklog bytes still unwritten is dropped
// and counted; once the output moves again, the line `droppedNote` makes of
// the count is written in their place. When the process ends through exit(),
// the lines held are given at most kExitDrainLimit to be written.
class OutputBacklog {
 public:
  static constexpr std::size_t kLargestBacklog = std::size_t{256} << 10;
  static constexpr std::chrono::seconds kExitDrainLimit{2};

  // Writes to its own duplicate of `fd`.
  OutputBacklog(int fd, std::function<std::string(std::size_t dropped)> droppedNote);
  // The writer writes what it holds and ends on its own; nobody waits for it.
  ~OutputBacklog();
  OutputBacklog(const OutputBacklog&) = delete;
  OutputBacklog& operator=(const OutputBacklog&) = delete;

  // `line` without its final newline.
  void add(std::string_view line);
  // Waits until every line added so far has been written out, or the limit
  // has passed; true when all were.
  bool drain(std::chrono::steady_clock::duration limit);

  // What the writer thread shares with the backlog (output_backlog_linux.cc).
  struct Writer;

 private:
  std::shared_ptr<Writer> writer;
};

}  // namespace velmoryn
