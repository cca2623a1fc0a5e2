// Main thread only.
#include "sim/application_linux.h"

#include <cstdio>
#include <cstdlib>

namespace velmoryn {

void ApplicationLinux::run() {
  if (delegate) delegate->applicationDidFinishLaunching();
  console.printLine("ready");
  loop.runUntil([] { return false; });
  std::abort();  // not reached: the loop never ends by itself
}

void ApplicationLinux::terminate() {
  if (delegate) delegate->applicationWillTerminate();
  std::fflush(nullptr);
  std::exit(0);
}

ProcessEnvironmentLinux::ProcessEnvironmentLinux(int argc, char** argv, Console& console)
    : args(argv, argv + argc), console(console) {}

void ProcessEnvironmentLinux::exit(int status) {
  std::fflush(nullptr);
  std::exit(status);
}

}  // namespace velmoryn
