// The system log on Linux: each line on standard error, prefixed the way the
// platform log prefixes it. Thread-safe; standard error itself is written by
// a thread of its own, so that an error output nobody reads never holds up
// the program.
#pragma once

#include <unistd.h>

#include <chrono>
#include <string>

#include "platform/linux/output_backlog_linux.h"
#include "platform/log.h"

namespace velmoryn {

// "2026-12-06 07:33:31.123 velmoryn[1234:1234] text": local time with
// milliseconds, the program name, process and thread id, then the text. Lines
// are whole and in order; while the backlog is full they are dropped and
// counted, and a line says how many once the output moves again. A closed
// standard error loses the lines but never ends the process with SIGPIPE.
class StderrLog : public Log {
 public:
  // Writes to its own duplicate of `fd`, standard error unless a test says.
  explicit StderrLog(std::string programName, int fd = STDERR_FILENO);
  void write(const std::string& line) override;
  bool drain(std::chrono::steady_clock::duration limit) { return output.drain(limit); }

  // The line as write() would emit it, without the final newline.
  std::string format(const std::string& line) const;

 private:
  std::string programName;
  OutputBacklog output;
};

}  // namespace velmoryn
