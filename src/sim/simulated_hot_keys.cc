// Main thread only.
#include "sim/simulated_hot_keys.h"

namespace velmoryn {

OSStatus SimulatedHotKeys::installEventHandler(EventTargetRef eventTarget, EventHandlerProc handler,
                                               std::uint32_t typeCount, const EventTypeSpec* types,
                                               void* userData, EventHandlerRef* outRef) {
  if (eventTarget != &target || !handler || typeCount == 0 || !types) return kParamErr;
  const std::uintptr_t ref = nextRef++;
  handlers.emplace(
      ref, Handler{handler, std::vector<EventTypeSpec>(types, types + typeCount), userData});
  // An opaque handle that is never dereferenced, as the event manager's are.
  if (outRef)
    *outRef = reinterpret_cast<EventHandlerRef>(ref);  // NOLINT(performance-no-int-to-ptr)
  return kNoErr;
}

OSStatus SimulatedHotKeys::registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                               EventHotKeyID id, EventTargetRef eventTarget,
                                               std::uint32_t, EventHotKeyRef* outRef) {
  if (eventTarget != &target || !outRef) return kParamErr;
  if (registered(keyCode, modifiers)) return kEventHotKeyExistsErr;
  const std::uintptr_t ref = nextRef++;
  hotKeys.emplace(ref, HotKey{keyCode, modifiers, id});
  *outRef = reinterpret_cast<EventHotKeyRef>(ref);  // NOLINT(performance-no-int-to-ptr): opaque
  return kNoErr;
}

OSStatus SimulatedHotKeys::unregisterEventHotKey(EventHotKeyRef ref) {
  return hotKeys.erase(reinterpret_cast<std::uintptr_t>(ref)) ? kNoErr : kEventHotKeyInvalidErr;
}

OSStatus SimulatedHotKeys::removeEventHandler(EventHandlerRef ref) {
  return handlers.erase(reinterpret_cast<std::uintptr_t>(ref)) ? kNoErr : kParamErr;
}

bool SimulatedHotKeys::registered(std::uint32_t keyCode, std::uint32_t modifiers) const {
  for (const auto& [ref, hotKey] : hotKeys) {
    if (hotKey.keyCode == keyCode && hotKey.modifiers == modifiers) return true;
  }
  return false;
}

bool SimulatedHotKeys::pressControlOptionCommandD() {
  if (!registered(kKeyCodeD, kControlOptionCommand)) return false;
  std::vector<std::uintptr_t> refs;
  for (const auto& [ref, handler] : handlers) {
    for (const EventTypeSpec& type : handler.types) {
      if (type.eventClass == kKeyboardClass && type.eventKind == kHotKeyPressedKind) {
        refs.push_back(ref);
        break;
      }
    }
  }
  int event = 0;  // the handlers get an event reference; none of ours reads it
  for (auto ref = refs.rbegin(); ref != refs.rend(); ++ref) {
    auto found = handlers.find(*ref);
    if (found == handlers.end()) continue;
    const Handler handler = found->second;
    if (handler.proc(nullptr, &event, handler.userData) != kEventNotHandledErr) break;
  }
  return true;
}

}  // namespace velmoryn
