#include "platform/macos/application_mac.h"

#import <AppKit/AppKit.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/macos/event_translation.h"
#include "platform/macos/string_bridge.h"

// Forwards the two notifications the program handles to the core's delegate.
@interface VelmorynApplicationDelegate : NSObject <NSApplicationDelegate>
- (instancetype)initWithDelegate:(velmoryn::ApplicationDelegate*)delegate;
@end

@implementation VelmorynApplicationDelegate {
  // Safe because the core keeps its delegate alive for the whole process.
  velmoryn::ApplicationDelegate* _delegate;
}

- (instancetype)initWithDelegate:(velmoryn::ApplicationDelegate*)delegate {
  if ((self = [super init])) _delegate = delegate;
  return self;
}

- (void)applicationDidFinishLaunching:(NSNotification*)notification {
  (void)notification;
  _delegate->applicationDidFinishLaunching();
}

- (void)applicationWillTerminate:(NSNotification*)notification {
  (void)notification;
  _delegate->applicationWillTerminate();
}

// Launch Services delivers velmoryn:// URLs here, also before the launch has
// finished; the core decides when to act on them.
- (void)application:(NSApplication*)application openURLs:(NSArray<NSURL*>*)urls {
  (void)application;
  std::vector<std::string> texts;
  for (NSURL* url in urls) {
    texts.push_back(velmoryn::mac::fromNSString(url.absoluteString));
  }
  _delegate->applicationOpenURLs(texts);
}
@end

namespace velmoryn {

struct MacApplication::Impl {
  // NSApplication holds its delegate weakly.
  VelmorynApplicationDelegate* bridge = nil;
  ApplicationDelegate* delegate = nullptr;
};

// The shared application is made on first use, so that the one-shot login
// commands never create it.
MacApplication::MacApplication() : impl(std::make_unique<Impl>()) {}
MacApplication::~MacApplication() = default;

// Launch Services hands URLs over through AppKit, which keeps those that come
// before the loop runs; the delegate holds those that come during the launch.
void MacApplication::acceptRequests() {}

void MacApplication::setActivationPolicyAccessory() {
  [[NSApplication sharedApplication] setActivationPolicy:NSApplicationActivationPolicyAccessory];
}

void MacApplication::setDelegate(ApplicationDelegate* delegate) {
  impl->delegate = delegate;
  impl->bridge = delegate ? [[VelmorynApplicationDelegate alloc] initWithDelegate:delegate] : nil;
  [NSApplication sharedApplication].delegate = impl->bridge;
}

void MacApplication::run() {
  @autoreleasepool {
    [[NSApplication sharedApplication] run];
  }
}

void MacApplication::terminate() {
  [[NSApplication sharedApplication] terminate:nil];
  // terminate: returns only when the request was deferred; the program never
  // defers it, so end the way it would have, restore first.
  if (impl->delegate) impl->delegate->applicationWillTerminate();
  std::exit(0);
}

std::optional<CurrentEvent> MacApplication::currentEvent() {
  NSEvent* event = [NSApplication sharedApplication].currentEvent;
  if (event == nil) return std::nullopt;
  return mac::currentEventFrom(static_cast<std::uint64_t>(event.type),
                               static_cast<std::uint64_t>(event.modifierFlags));
}

std::vector<std::string> MacProcessEnvironment::arguments() {
  std::vector<std::string> result;
  @autoreleasepool {
    for (NSString* argument in [NSProcessInfo processInfo].arguments) {
      result.push_back(mac::fromNSString(argument));
    }
  }
  return result;
}

void MacProcessEnvironment::printLine(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void MacProcessEnvironment::exit(int status) { std::exit(status); }

}  // namespace velmoryn
