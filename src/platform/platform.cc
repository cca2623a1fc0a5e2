#include "platform/platform.h"

namespace velmoryn {
namespace {
Platform gPlatform;
}  // namespace

void installPlatform(const Platform& services) {
  gPlatform = services;
}

const Platform& platform() {
  return gPlatform;
}

}  // namespace velmoryn
