#include "app/entry_point.h"
#include "platform/platform_factory.h"

int main(int argc, char** argv) {
  return velmoryn::runEntryPoint(velmoryn::makePlatformServices(argc, argv));
}
