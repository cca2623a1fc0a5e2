#include <cstdio>
#include <string>
#include <vector>

#include "app/entry_point.h"
#include "platform/platform_factory.h"

int main(int argc, char** argv) {
  // Answered before the platform is built: the version needs none of it.
  if (const auto line = velmoryn::versionLine({argv, argv + argc})) {
    return std::puts(line->c_str()) == EOF ? 1 : 0;
  }
  velmoryn::installPlatform(velmoryn::makePlatformServices(argc, argv).services());
  return velmoryn::runEntryPoint();
}
