// Runs tools with posix_spawn: the exact argument vector, no shell, no search
// path, no inherited descriptors, default signal dispositions, both output
// streams drained while the tool runs, and a time limit. Thread-safe.
#pragma once

#include "platform/process_runner.h"

namespace velmoryn {

class PosixProcessRunner : public ProcessRunner {
 public:
  explicit PosixProcessRunner(double timeLimitSeconds = 10.0) : timeLimit(timeLimitSeconds) {}
  ProcessResult run(const ProcessRequest& request) override;

 private:
  double timeLimit;
};

}  // namespace velmoryn
