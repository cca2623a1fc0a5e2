// Builds the real adapters of the system the program was compiled for, in two
// steps: what the entry point needs to decide, which touches nothing, and the
// rest, which may (a settings file is loaded, the simulated Dock is set up).
#pragma once

#include "platform/platform.h"

namespace velmoryn {

class PlatformServices {
 public:
  virtual ~PlatformServices() = default;
  // The process, the log and the instance lock; every other service is unset.
  virtual const Platform& essentials() = 0;
  // Every service, built on the first call.
  virtual const Platform& services() = 0;
};

// Never destroyed by the program: the services live until the process ends.
PlatformServices& makePlatformServices(int argc, char** argv);

}  // namespace velmoryn
