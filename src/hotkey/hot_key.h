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
  static constexpr std::uint32_t eventClassKeyboard = 0x6B657962;  // 'keyb'
  static constexpr std::uint32_t eventHotKeyPressed = 5;
  static constexpr std::uint32_t keyCodeD = 2;
  static constexpr std::uint32_t modifiers = 6400;  // command 256 + option 2048 + control 4096
  static constexpr std::uint32_t signature = 0x564C4D52;  // 'VLMR'
  static constexpr std::uint32_t hotKeyId = 1;
  static constexpr std::uint32_t registrationOptions = 0;

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
