// The event manager's hot keys on the simulated desktop. Main thread only.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "platform/hot_key_service.h"

namespace velmoryn {

// The event manager's bookkeeping for one application target. Status values
// are the event manager's.
class SimulatedHotKeys : public HotKeyService {
 public:
  static constexpr OSStatus kParamErr = -50;
  static constexpr OSStatus kEventNotHandledErr = -9874;
  static constexpr OSStatus kEventHotKeyExistsErr = -9878;
  static constexpr OSStatus kEventHotKeyInvalidErr = -9879;
  static constexpr std::uint32_t kKeyboardClass = 0x6B657962;  // 'keyb'
  static constexpr std::uint32_t kHotKeyPressedKind = 5;
  static constexpr std::uint32_t kKeyCodeD = 2;
  static constexpr std::uint32_t kControlOptionCommand = 6400;

  EventTargetRef applicationEventTarget() override { return &target; }
  OSStatus installEventHandler(EventTargetRef target, EventHandlerProc handler,
                               std::uint32_t typeCount, const EventTypeSpec* types, void* userData,
                               EventHandlerRef* outRef) override;
  OSStatus registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID id,
                               EventTargetRef target, std::uint32_t options,
                               EventHotKeyRef* outRef) override;
  OSStatus unregisterEventHotKey(EventHotKeyRef ref) override;
  OSStatus removeEventHandler(EventHandlerRef ref) override;

  // Control+Option+Command+D: false when no such hot key is registered;
  // otherwise the handlers for hot-key presses are called, newest first,
  // until one handles the event.
  bool pressControlOptionCommandD();
  bool registered(std::uint32_t keyCode, std::uint32_t modifiers) const;

 private:
  struct Handler {
    EventHandlerProc proc;
    std::vector<EventTypeSpec> types;
    void* userData;
  };
  struct HotKey {
    std::uint32_t keyCode;
    std::uint32_t modifiers;
    EventHotKeyID id;
  };
  // References handed out are these numbers, never null.
  std::uintptr_t nextRef = 1;
  std::map<std::uintptr_t, Handler> handlers;
  std::map<std::uintptr_t, HotKey> hotKeys;
  int target = 0;
};

}  // namespace velmoryn
