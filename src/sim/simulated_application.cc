// Main thread only.
#include "sim/simulated_application.h"

#include <cstdio>
#include <cstdlib>

namespace velmoryn {

void SimulatedApplication::run() {
  if (delegate) delegate->applicationDidFinishLaunching();
  console.printLine("ready");
  loop.runUntil([] { return false; });
  std::abort();  // not reached: the loop never ends by itself
}

void SimulatedApplication::terminate() {
  if (delegate) delegate->applicationWillTerminate();
  std::fflush(nullptr);
  std::exit(0);
}

SimulatedProcessEnvironment::SimulatedProcessEnvironment(int argc, char** argv, Console& console)
    : args(argv, argv + argc), console(console) {}

void SimulatedProcessEnvironment::exit(int status) {
  std::fflush(nullptr);
  std::exit(status);
}

}  // namespace velmoryn
