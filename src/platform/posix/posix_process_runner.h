// Runs tools with posix_spawn: the exact argument vector, no shell, no search
// path, no inherited descriptors, default signal dispositions, both output
// streams drained while the tool runs, and a time limit. Thread-safe.
#pragma once

#include <limits>

#include "platform/process_runner.h"

namespace velmoryn {

class PosixProcessRunner : public ProcessRunner {
 public:
  // Each run is killed at the request's time limit, or at `ceilingSeconds`
  // when that comes first (tests shorten every limit this way).
  explicit PosixProcessRunner(double ceilingSeconds = std::numeric_limits<double>::infinity())
      : ceiling(ceilingSeconds) {}
  ProcessResult run(const ProcessRequest& request) override;

 private:
  double ceiling;
};

}  // namespace velmoryn
