// SMAppService exists from macOS 13.0: below that deployment target every use
// must be guarded.
// flags: -target arm64-apple-macos12.0
// expect: 'SMAppService' is only available on macOS 13.0 or newer
#import <ServiceManagement/ServiceManagement.h>

NSInteger loginItemStatus() {
#if VELMORYN_FAULT
  return [SMAppService mainAppService].status;
#else
  if (@available(macOS 13.0, *)) return [SMAppService mainAppService].status;
  return 0;
#endif
}
