// Type-check stub: SMAppService (macOS 13 and later) and the codes of SMErrors.h.
#pragma once

#include <Foundation/Foundation.h>
#include <os/availability.h>

// SMErrors.h: the codes of the service's errors, an enumeration without a name.
enum {
  kSMErrorInternalFailure = 2,
  kSMErrorInvalidSignature,
  kSMErrorAuthorizationFailure,
  kSMErrorToolNotValid,
  kSMErrorJobNotFound,
  kSMErrorServiceUnavailable,
  kSMErrorJobPlistNotFound,
  kSMErrorJobMustBeEnabled,
  kSMErrorInvalidPlist,
  kSMErrorLaunchDeniedByUser,
  kSMErrorAlreadyRegistered,
};

#pragma clang assume_nonnull begin

enum SMAppServiceStatus : NSInteger {
  SMAppServiceStatusNotRegistered = 0,
  SMAppServiceStatusEnabled = 1,
  SMAppServiceStatusRequiresApproval = 2,
  SMAppServiceStatusNotFound = 3,
};
typedef enum SMAppServiceStatus SMAppServiceStatus;

API_AVAILABLE(macos(13.0))
@interface SMAppService : NSObject
@property(class, readonly) SMAppService* mainAppService;
@property(readonly) SMAppServiceStatus status;
- (BOOL)registerAndReturnError:(NSError* _Nullable* _Nullable)error;
- (BOOL)unregisterAndReturnError:(NSError* _Nullable* _Nullable)error;
+ (void)openSystemSettingsLoginItems;
@end

#pragma clang assume_nonnull end
