// Under ARC a CoreFoundation object needs an explicit bridge to become an
// Objective-C one.
// expect: requires a bridged cast
#import <Foundation/Foundation.h>

const char* textOf(CFTypeRef value) {
#if VELMORYN_FAULT
  return ((NSString*)value).UTF8String;
#else
  return ((__bridge NSString*)value).UTF8String;
#endif
}
