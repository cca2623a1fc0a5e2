// Plain C++ translation of AppKit event values, shared by the adapter and its
// unit test. Raw numbers are AppKit's documented values.
#pragma once

#include <cstdint>

#include "platform/application.h"

namespace velmoryn::mac {

// NSEventType raw values the program tells apart.
inline constexpr std::uint64_t kAppKitLeftMouseUp = 2;
inline constexpr std::uint64_t kAppKitRightMouseUp = 4;

// The event being handled, as the core sees it: the two mouse-up types keep
// their identity, every other type is "other"; the modifier flags pass
// unchanged, so the core tests the Control bit itself.
inline CurrentEvent currentEventFrom(std::uint64_t appKitType, std::uint64_t modifierFlags) {
  CurrentEvent event;
  if (appKitType == kAppKitLeftMouseUp) {
    event.type = EventType::leftMouseUp;
  } else if (appKitType == kAppKitRightMouseUp) {
    event.type = EventType::rightMouseUp;
  } else {
    event.type = EventType::other;
  }
  event.modifierFlags = modifierFlags;
  return event;
}

}  // namespace velmoryn::mac
