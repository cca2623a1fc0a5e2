// Runs the Dock's preference tools on the simulated desktop: the core keeps
// asking for /usr/bin/defaults and the others, and this runner starts the
// stand-ins of the simulated root instead, then reports what changed.
// Thread-safe as the runner it wraps.
#pragma once

#include "platform/process_runner.h"
#include "sim/simulated_dock.h"

namespace velmoryn {

class SimulatedToolRunner : public ProcessRunner {
 public:
  // Safe because both outlive the runner: they are installed for the whole run.
  SimulatedToolRunner(ProcessRunner& inner, SimulatedDock& dock) : inner(inner), dock(dock) {}
  ProcessResult run(const ProcessRequest& request) override;

 private:
  ProcessRunner& inner;
  SimulatedDock& dock;
};

}  // namespace velmoryn
