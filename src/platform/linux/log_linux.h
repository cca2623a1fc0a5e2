// The system log on Linux: each line on standard error, prefixed the way the
// platform log prefixes it. Thread-safe.
#pragma once

#include <mutex>
#include <string>

#include "platform/log.h"

namespace velmoryn {

// "2026-12-06 07:33:31.123 velmoryn[1234:1234] text": local time with
// milliseconds, the program name, process and thread id, then the text. One
// write(2) per line, so lines from several threads never interleave. A closed
// standard error loses the line but never ends the process with SIGPIPE.
class StderrLog : public Log {
 public:
  explicit StderrLog(std::string programName);
  void write(const std::string& line) override;

  // The line as write() would emit it, final newline included.
  std::string format(const std::string& line) const;

 private:
  std::string programName;
  std::mutex writing;
};

}  // namespace velmoryn
