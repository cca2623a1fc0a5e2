#include "hotkey/hot_key.h"

// Placeholder bodies.
namespace velmoryn {
std::shared_ptr<HotKey> HotKey::create(std::function<void()> action) {
  return std::shared_ptr<HotKey>(new HotKey(std::move(action)));
}
HotKey::HotKey(std::function<void()> a) : action(std::move(a)) {}
HotKey::~HotKey() = default;
void HotKey::registerHotKey() {}
OSStatus HotKey::handleEvent(EventHandlerCallRef, EventRef, void*) { return kNoErr; }
}  // namespace velmoryn
