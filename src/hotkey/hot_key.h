// One system-wide shortcut, Control+Option+Command+D, that runs an action on
// the main thread once per press. Registered while the object lives.
// Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/hot_key_service.h"

namespace velmoryn {

class HotKey : public std::enable_shared_from_this<HotKey> {
 public:
  // Registers the shortcut at once.
  static std::shared_ptr<HotKey> create(std::function<void()> action);
  // Unregisters the shortcut, then removes the handler.
  ~HotKey();

  HotKey(const HotKey&) = delete;
  HotKey& operator=(const HotKey&) = delete;

 private:
  explicit HotKey(std::function<void()> action);
  void registerHotKey();
  static OSStatus handleEvent(EventHandlerCallRef call, EventRef event, void* userData);

  EventHotKeyRef ref = nullptr;
  EventHandlerRef handler = nullptr;
  std::function<void()> action;
};

}  // namespace velmoryn
