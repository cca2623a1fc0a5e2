#include "platform/macos/login_items_mac.h"

#import <Foundation/Foundation.h>
#import <ServiceManagement/ServiceManagement.h>

#include "platform/macos/string_bridge.h"

// The service object is fetched afresh for every call: the user may change the
// login item in the system settings at any time.

namespace velmoryn {
namespace {

LoginItemError errorFrom(NSError* error) {
  // A failure without an error object still needs a line for a person.
  if (error == nil) return LoginItemError{"不明なエラー", "不明なエラー（エラー情報なし）"};
  return LoginItemError{mac::fromNSString(error.localizedDescription),
                        mac::fromNSString(error.description),
                        static_cast<std::int64_t>(error.code)};
}

}  // namespace

std::int64_t MacLoginItems::status() {
  @autoreleasepool {
    return static_cast<std::int64_t>([SMAppService mainAppService].status);
  }
}

std::optional<LoginItemError> MacLoginItems::registerApp() {
  @autoreleasepool {
    NSError* error = nil;
    if ([[SMAppService mainAppService] registerAndReturnError:&error]) return std::nullopt;
    return errorFrom(error);
  }
}

std::optional<LoginItemError> MacLoginItems::unregisterApp() {
  @autoreleasepool {
    NSError* error = nil;
    if ([[SMAppService mainAppService] unregisterAndReturnError:&error]) return std::nullopt;
    return errorFrom(error);
  }
}

void MacLoginItems::openSystemSettingsLoginItems() { [SMAppService openSystemSettingsLoginItems]; }

}  // namespace velmoryn
