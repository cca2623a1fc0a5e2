#include "platform/macos/login_items_mac.h"

#import <Foundation/Foundation.h>
#import <ServiceManagement/ServiceManagement.h>

#include "platform/macos/string_bridge.h"

// The service object is fetched afresh for every call: the user may change the
// login item in the system settings at any time.

namespace velmoryn {
namespace {

LoginItemError reasonFrom(NSError* error) {
  // A failure without an error object still needs a line for a person.
  if (error == nil) return LoginItemError{"不明なエラー", "不明なエラー（エラー情報なし）"};
  return LoginItemError{mac::fromNSString(error.localizedDescription),
                        mac::fromNSString(error.description)};
}

// The service's own codes, read only in its own domain: in an errno domain the
// same numbers mean other things (6 ENXIO, 12 ENOMEM). The domain is named by
// its text, which the errors carry on every version; the constant for it is
// exported only from macOS 15.
bool isServiceError(NSError* error, NSInteger code) {
  return [error.domain isEqualToString:@"SMAppServiceErrorDomain"] && error.code == code;
}

using Outcome = LoginItemResult::Outcome;

}  // namespace

std::int64_t MacLoginItems::status() {
  @autoreleasepool {
    return static_cast<std::int64_t>([SMAppService mainAppService].status);
  }
}

LoginItemResult MacLoginItems::registerApp() {
  @autoreleasepool {
    NSError* error = nil;
    if ([[SMAppService mainAppService] registerAndReturnError:&error]) return {};
    Outcome outcome = Outcome::failed;
    if (isServiceError(error, kSMErrorAlreadyRegistered)) outcome = Outcome::alreadyAsAsked;
    if (isServiceError(error, kSMErrorLaunchDeniedByUser)) outcome = Outcome::needsApproval;
    return {outcome, reasonFrom(error)};
  }
}

LoginItemResult MacLoginItems::unregisterApp() {
  @autoreleasepool {
    NSError* error = nil;
    if ([[SMAppService mainAppService] unregisterAndReturnError:&error]) return {};
    const bool already = isServiceError(error, kSMErrorJobNotFound);
    return {already ? Outcome::alreadyAsAsked : Outcome::failed, reasonFrom(error)};
  }
}

void MacLoginItems::openSystemSettingsLoginItems() { [SMAppService openSystemSettingsLoginItems]; }

}  // namespace velmoryn
