// Runs tools with posix_spawn: the exact argument vector, no shell, no search
// path, no inherited descriptors, default signal dispositions, both output
// streams drained while the tool runs, at most 1 MiB kept of each, and a time
// limit. Each tool leads a process group of its own, so that a kill at the
// limit or at the output cap also ends whatever it started. Thread-safe.
#pragma once

#include <cstddef>
#include <limits>

#include "platform/process_runner.h"

namespace velmoryn {

class PosixProcessRunner : public ProcessRunner {
 public:
  // Past this many bytes on either stream the tool is ended and the run fails
  // as too large: our tools print one short line.
  static constexpr std::size_t kOutputLimit = std::size_t{1} << 20;

  // Each run is killed at the request's time limit, or at `ceilingSeconds`
  // when that comes first (tests shorten every limit this way).
  explicit PosixProcessRunner(double ceilingSeconds = std::numeric_limits<double>::infinity())
      : ceiling(ceilingSeconds) {}
  ProcessResult run(const ProcessRequest& request) override;

 private:
  double ceiling;
};

}  // namespace velmoryn
