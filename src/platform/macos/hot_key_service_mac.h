// The Carbon event manager's hot keys, passed through. Main thread only.
#pragma once

#include <map>
#include <memory>

#include "platform/hot_key_service.h"

namespace velmoryn {

class MacHotKeyService : public HotKeyService {
 public:
  MacHotKeyService();
  ~MacHotKeyService() override;

  EventTargetRef applicationEventTarget() override;
  OSStatus installEventHandler(EventTargetRef target, EventHandlerProc handler,
                               std::uint32_t typeCount, const EventTypeSpec* types, void* userData,
                               EventHandlerRef* outRef) override;
  OSStatus registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID id,
                               EventTargetRef target, std::uint32_t options,
                               EventHotKeyRef* outRef) override;
  OSStatus unregisterEventHotKey(EventHotKeyRef ref) override;
  OSStatus removeEventHandler(EventHandlerRef ref) override;

  // The core's handler and user data, handed to Carbon through a trampoline of
  // Carbon's own signature.
  struct Binding {
    EventHandlerProc handler;
    void* userData;
  };

 private:
  std::map<EventHandlerRef, std::unique_ptr<Binding>> bindings;
};

}  // namespace velmoryn
