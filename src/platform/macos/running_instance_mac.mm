// Main thread, before any event loop exists; the completion handler runs on a
// concurrent queue of AppKit's.
#include "platform/macos/running_instance_mac.h"

#import <AppKit/AppKit.h>
#include <dispatch/dispatch.h>

#include <cstdint>

#include "platform/macos/string_bridge.h"

namespace velmoryn {
namespace {}  // namespace

UrlDelivery MacRunningInstance::openURL(const std::string& url, double timeLimit) {
  using Outcome = UrlDelivery::Outcome;
  @autoreleasepool {
    NSString* bundleIdentifier = [NSBundle mainBundle].bundleIdentifier;
    if (bundleIdentifier == nil) return {Outcome::failed, "this copy has no bundle identifier"};
    // This process carries the same identifier: look for another one. A found
    // instance stays valid after its process has ended; one that has ended is
    // no instance to hand a URL to.
    const pid_t ownProcess = [NSRunningApplication currentApplication].processIdentifier;
    NSURL* bundleURL = nil;
    for (NSRunningApplication* running in
         [NSRunningApplication runningApplicationsWithBundleIdentifier:bundleIdentifier]) {
      if (running.processIdentifier != ownProcess && !running.terminated &&
          running.bundleURL != nil) {
        bundleURL = running.bundleURL;
        break;
      }
    }
    if (bundleURL == nil) return {Outcome::notRunning, {}};

    NSString* text = mac::toNSString(url);
    NSURL* target = text ? [NSURL URLWithString:text] : nil;
    if (target == nil) return {Outcome::failed, "not a URL: " + url};

    NSWorkspaceOpenConfiguration* configuration = [NSWorkspaceOpenConfiguration configuration];
    // A menu-bar program has nothing to bring to the front. No prompt: Launch
    // Services would hold the answer until the user dismissed it, past the time
    // limit. A script's verb is no document the user opened.
    configuration.activates = NO;
    configuration.promptsUserIfNeeded = NO;
    configuration.addsToRecentItems = NO;
    dispatch_semaphore_t handedOver = dispatch_semaphore_create(0);
    __block NSString* failure = nil;
    [[NSWorkspace sharedWorkspace] openURLs:[NSArray arrayWithObject:target]
                       withApplicationAtURL:bundleURL
                              configuration:configuration
                          completionHandler:^(NSRunningApplication* app, NSError* error) {
                            if (app == nil) failure = error ? error.localizedDescription : @"";
                            dispatch_semaphore_signal(handedOver);
                          }];
    const auto nanoseconds = static_cast<std::int64_t>(timeLimit * NSEC_PER_SEC);
    if (dispatch_semaphore_wait(handedOver, dispatch_time(DISPATCH_TIME_NOW, nanoseconds)) != 0)
      return {Outcome::noAnswer, {}};
    if (failure != nil) return {Outcome::failed, mac::fromNSString(failure)};
    return {Outcome::delivered, {}};
  }
}

}  // namespace velmoryn
