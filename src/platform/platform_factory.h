// Builds the real adapters of the system the program was compiled for: first
// what the entry point needs to decide, which touches nothing, then only what
// the run it decided on needs (a launch loads the settings file and sets up
// the simulated Dock; "--hide" only reaches the running program).
#pragma once

#include "platform/platform.h"

namespace velmoryn {

// What a run needs beyond the essentials.
enum class PlatformNeed {
  processRunner,    // "--status" reads the Dock with its tools
  runningInstance,  // the script verbs hand their URL on
  loginItems,       // "--register-login" and "--unregister-login"
  everything,       // a launch
};

class PlatformServices {
 public:
  virtual ~PlatformServices() = default;
  // The process, the log and the instance lock; every other service is unset.
  virtual const Platform& essentials() = 0;
  // The essentials and what the need names, each built on the first ask; the
  // other services are unset.
  virtual const Platform& services(PlatformNeed need) = 0;
};

// Never destroyed by the program: the services live until the process ends.
PlatformServices& makePlatformServices(int argc, char** argv);

}  // namespace velmoryn
