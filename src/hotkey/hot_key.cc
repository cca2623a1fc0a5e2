// Main thread only: the event manager calls the handler on the thread that
// runs the application's event loop.
#include "hotkey/hot_key.h"

#include <string>

#include "platform/platform.h"
#include "text/texts.h"

namespace velmoryn {
namespace {

// Hot key pressed; D (a key position) with command, option and control; the program's own id.
constexpr std::uint32_t kEventClassKeyboard = 0x6B657962;  // 'keyb'
constexpr std::uint32_t kEventHotKeyPressed = 5;
constexpr std::uint32_t kKeyCodeD = 2;
constexpr std::uint32_t kModifiers = 6400;        // command 256 + option 2048 + control 4096
constexpr std::uint32_t kSignature = 0x564C4D52;  // 'VLMR'
constexpr std::uint32_t kHotKeyId = 1;
constexpr std::uint32_t kRegistrationOptions = 0;

}  // namespace

std::shared_ptr<HotKey> HotKey::create(std::function<void()> action) {
  auto hotKey = std::shared_ptr<HotKey>(new HotKey(std::move(action)));
  // After the shared pointer exists, so that a press can take a strong reference.
  hotKey->registerHotKey();
  return hotKey;
}

HotKey::HotKey(std::function<void()> a) : action(std::move(a)) {}

HotKey::~HotKey() {
  HotKeyService& service = *platform().hotKeys;
  if (ref != nullptr) service.unregisterEventHotKey(ref);
  if (handler != nullptr) service.removeEventHandler(handler);
}

void HotKey::registerHotKey() {
  HotKeyService& service = *platform().hotKeys;
  const EventTypeSpec pressed{kEventClassKeyboard, kEventHotKeyPressed};
  EventTargetRef target = service.applicationEventTarget();
  // Safe because the destructor removes the handler before the object's storage is freed.
  service.installEventHandler(target, &HotKey::handleEvent, 1, &pressed, this, &handler);

  const OSStatus status =
      service.registerEventHotKey(kKeyCodeD, kModifiers, EventHotKeyID{kSignature, kHotKeyId},
                                  target, kRegistrationOptions, &ref);
  if (status != kNoErr) {
    ref = nullptr;
    const std::string code = std::to_string(static_cast<std::int32_t>(status));
    platform().log->write(text::fill(text::kHotKeyNotRegistered, code));
  }
}

OSStatus HotKey::handleEvent(EventHandlerCallRef, EventRef, void* userData) {
  if (userData == nullptr) return kNoErr;
  // Safe because the handler is removed before the object goes away.
  auto* hotKey = static_cast<HotKey*>(userData);
  // The work item keeps the object alive until it has run; the action is read then.
  std::shared_ptr<HotKey> strong = hotKey->weak_from_this().lock();
  if (!strong) return kNoErr;
  platform().mainQueue->async([strong] {
    if (strong->action) strong->action();
  });
  return kNoErr;
}

}  // namespace velmoryn
