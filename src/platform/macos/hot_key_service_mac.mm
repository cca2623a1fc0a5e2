#include "platform/macos/hot_key_service_mac.h"

#include <Carbon/Carbon.h>

#include <vector>

namespace velmoryn {
namespace {

::OSStatus forwardEvent(::EventHandlerCallRef call, ::EventRef event, void* data) {
  // Safe because a binding lives until its handler is removed.
  const auto* binding = static_cast<const MacHotKeyService::Binding*>(data);
  return binding->handler(call, event, binding->userData);
}

}  // namespace

MacHotKeyService::MacHotKeyService() = default;
MacHotKeyService::~MacHotKeyService() = default;

EventTargetRef MacHotKeyService::applicationEventTarget() { return GetApplicationEventTarget(); }

OSStatus MacHotKeyService::installEventHandler(EventTargetRef target, EventHandlerProc handler,
                                               std::uint32_t typeCount, const EventTypeSpec* types,
                                               void* userData, EventHandlerRef* outRef) {
  std::vector<::EventTypeSpec> specs;
  for (std::uint32_t i = 0; i < typeCount; ++i)
    specs.push_back({types[i].eventClass, types[i].eventKind});
  auto binding = std::make_unique<Binding>(Binding{handler, userData});
  ::EventHandlerRef installed = nullptr;
  const ::OSStatus status =
      InstallEventHandler(static_cast<::EventTargetRef>(target), forwardEvent, specs.size(),
                          specs.data(), binding.get(), &installed);
  if (outRef) *outRef = installed;
  if (status == noErr && installed != nullptr) bindings[installed] = std::move(binding);
  return status;
}

OSStatus MacHotKeyService::registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                               EventHotKeyID id, EventTargetRef target,
                                               std::uint32_t options, EventHotKeyRef* outRef) {
  ::EventHotKeyRef registered = nullptr;
  const ::OSStatus status =
      RegisterEventHotKey(keyCode, modifiers, ::EventHotKeyID{id.signature, id.id},
                          static_cast<::EventTargetRef>(target), options, &registered);
  if (outRef) *outRef = registered;
  return status;
}

OSStatus MacHotKeyService::unregisterEventHotKey(EventHotKeyRef ref) {
  return UnregisterEventHotKey(static_cast<::EventHotKeyRef>(ref));
}

OSStatus MacHotKeyService::removeEventHandler(EventHandlerRef ref) {
  const ::OSStatus status = RemoveEventHandler(static_cast<::EventHandlerRef>(ref));
  // Freed only once Carbon can no longer call through it.
  if (status == noErr) bindings.erase(ref);
  return status;
}

}  // namespace velmoryn
