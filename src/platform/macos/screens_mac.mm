#include "platform/macos/screens_mac.h"

#import <AppKit/AppKit.h>
#import <CoreGraphics/CoreGraphics.h>

#include <utility>

namespace velmoryn {
namespace {

Rect toRect(NSRect rect) {
  return Rect{rect.origin.x, rect.origin.y, rect.size.width, rect.size.height};
}

// A screen without a display number is not the computer's own panel.
bool isBuiltIn(NSScreen* screen) {
  NSNumber* number = screen.deviceDescription[@"NSScreenNumber"];
  if (number == nil) return false;
  return CGDisplayIsBuiltin(static_cast<CGDirectDisplayID>(number.unsignedIntValue)) != 0;
}

}  // namespace

struct MacScreens::Impl {
  // The token the notification center handed back; present while observing.
  id observer = nil;
};

MacScreens::MacScreens() : impl(std::make_unique<Impl>()) {}

MacScreens::~MacScreens() { onScreensChanged(nullptr); }

std::span<const Screen> MacScreens::screens() {
  buffer.clear();
  // Read afresh every time: the visible frame changes with the Dock.
  for (NSScreen* screen in [NSScreen screens]) {
    buffer.push_back(Screen{toRect(screen.frame), toRect(screen.visibleFrame), isBuiltIn(screen)});
  }
  return buffer;
}

Point MacScreens::mouseLocation() {
  const NSPoint location = [NSEvent mouseLocation];
  return Point{location.x, location.y};
}

void MacScreens::onScreensChanged(std::function<void()> handler) {
  NSNotificationCenter* center = [NSNotificationCenter defaultCenter];
  if (impl->observer != nil) {
    [center removeObserver:impl->observer];
    impl->observer = nil;
  }
  if (!handler) return;
  // The main queue: the handler runs on the main thread, between other events.
  impl->observer = [center addObserverForName:NSApplicationDidChangeScreenParametersNotification
                                       object:nil
                                        queue:[NSOperationQueue mainQueue]
                                   usingBlock:^(NSNotification*) {
                                     handler();
                                   }];
}

}  // namespace velmoryn
