#include "platform/macos/screens_mac.h"

#import <AppKit/AppKit.h>

namespace velmoryn {
namespace {

Rect toRect(NSRect rect) {
  return Rect{rect.origin.x, rect.origin.y, rect.size.width, rect.size.height};
}

}  // namespace

std::span<const Screen> MacScreens::screens() {
  buffer.clear();
  // Read afresh every time: the visible frame changes with the Dock.
  for (NSScreen* screen in [NSScreen screens]) {
    buffer.push_back(Screen{toRect(screen.frame), toRect(screen.visibleFrame)});
  }
  return buffer;
}

Point MacScreens::mouseLocation() {
  const NSPoint location = [NSEvent mouseLocation];
  return Point{location.x, location.y};
}

}  // namespace velmoryn
