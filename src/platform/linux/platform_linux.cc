#include "platform/platform_factory.h"

// Placeholder: the simulated desktop replaces it.
namespace velmoryn {
namespace {
class LinuxServices : public PlatformServices {
 public:
  const Platform& services() const override { return platformServices; }
  Platform platformServices;
};
}  // namespace

PlatformServices& makePlatformServices(int, char**) {
  static auto* services = new LinuxServices;
  return *services;
}
}  // namespace velmoryn
