// Runs a tool by absolute path with an exact argument vector: no shell, no
// search path. Blocks the calling thread until the tool has ended.
#pragma once

#include <limits>
#include <string>
#include <vector>

namespace velmoryn {

struct ProcessRequest {
  std::string path;               // absolute, e.g. "/usr/bin/defaults"
  std::vector<std::string> args;  // argv[1...]; argv[0] is the path
  bool captureStdout = true;      // false: the tool writes to our own standard output
  // Seconds after which the tool is killed; the caller sets it.
  double timeLimit = std::numeric_limits<double>::infinity();
};

struct ProcessResult {
  bool started = false;         // the tool could be launched
  bool timedOut = false;        // killed at the time limit
  int exitStatus = -1;          // exit code when it exited normally; -1 after a signal or a kill
  std::string out;              // what reached standard output (empty after a kill)
  bool outputTooLarge = false;  // killed for printing more than a tool of ours ever does

  // The tool ran to its end and reported success.
  bool succeeded() const { return started && !timedOut && !outputTooLarge && exitStatus == 0; }
};

class ProcessRunner {
 public:
  virtual ~ProcessRunner() = default;
  // Thread-safe: called on the main thread and on the utility queue.
  virtual ProcessResult run(const ProcessRequest& request) = 0;
};

}  // namespace velmoryn
