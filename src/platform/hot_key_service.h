// The system-wide hot-key service (the event manager's shape). Main thread only.
#pragma once

#include <cstdint>

namespace velmoryn {

using OSStatus = std::int32_t;
using EventTargetRef = void*;
using EventHandlerRef = void*;
using EventHotKeyRef = void*;
using EventHandlerCallRef = void*;
using EventRef = void*;
using EventHandlerProc = OSStatus (*)(EventHandlerCallRef, EventRef, void* userData);

struct EventTypeSpec {
  std::uint32_t eventClass;
  std::uint32_t eventKind;
};

struct EventHotKeyID {
  std::uint32_t signature;
  std::uint32_t id;
};

inline constexpr OSStatus kNoErr = 0;

class HotKeyService {
 public:
  virtual ~HotKeyService() = default;
  virtual EventTargetRef applicationEventTarget() = 0;
  virtual OSStatus installEventHandler(EventTargetRef target, EventHandlerProc handler,
                                       std::uint32_t typeCount, const EventTypeSpec* types,
                                       void* userData, EventHandlerRef* outRef) = 0;
  virtual OSStatus registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                       EventHotKeyID id, EventTargetRef target,
                                       std::uint32_t options, EventHotKeyRef* outRef) = 0;
  virtual OSStatus unregisterEventHotKey(EventHotKeyRef ref) = 0;
  virtual OSStatus removeEventHandler(EventHandlerRef ref) = 0;
};

}  // namespace velmoryn
