#include "app/entry_point.h"
#include "platform/platform_factory.h"

int main(int argc, char** argv) {
  velmoryn::installPlatform(velmoryn::makePlatformServices(argc, argv).services());
  return velmoryn::runEntryPoint();
}
