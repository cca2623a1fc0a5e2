// Builds the real adapters of the system the program was compiled for.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace velmoryn {

class PlatformServices {
 public:
  virtual ~PlatformServices() = default;
  virtual const Platform& services() const = 0;
};

// Never destroyed by the program: the services live until the process ends.
PlatformServices& makePlatformServices(int argc, char** argv);

}  // namespace velmoryn
