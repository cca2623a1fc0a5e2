// Main thread only.
#include "app/external_display.h"

#include <algorithm>

#include "platform/platform.h"

namespace velmoryn {
namespace {

// Off while nothing is stored.
constexpr const char* kEnabledKey = "externalDisplay.showsDock";

// With the lid closed only an external display is left, and it counts.
bool anyExternalDisplay() {
  return std::ranges::any_of(platform().screens->screens(),
                             [](const Screen& screen) { return !screen.builtIn; });
}

}  // namespace

void ExternalDisplay::start() {
  platform().screens->onScreensChanged([weak = weak_from_this()] {
    if (auto self = weak.lock()) self->screensChanged();
  });
  connected = anyExternalDisplay();
  if (isEnabled()) apply();
}

void ExternalDisplay::stop() {
  platform().screens->onScreensChanged(nullptr);
  cancelSettling();
}

bool ExternalDisplay::isEnabled() const {
  return platform().settings->boolForKey(kEnabledKey);
}

void ExternalDisplay::toggleEnabled() {
  const bool on = !isEnabled();
  platform().settings->setBool(kEnabledKey, on);
  if (on) {
    connected = anyExternalDisplay();
    apply();
  } else {
    cancelSettling();
    displayShowedDock = false;
  }
}

void ExternalDisplay::screensChanged() {
  if (!isEnabled()) return;
  // Each change in a burst starts the wait again.
  cancelSettling();
  settleTimer = platform().timers->scheduleRepeating(settleTime, [weak = weak_from_this()] {
    if (auto self = weak.lock()) self->settled();
  });
}

void ExternalDisplay::settled() {
  cancelSettling();
  const bool now = anyExternalDisplay();
  // Only a flip acts: a new resolution or a second external display changes nothing.
  if (now == connected) return;
  connected = now;
  apply();
}

void ExternalDisplay::cancelSettling() {
  if (!settleTimer) return;
  settleTimer->invalidate();
  settleTimer.reset();
}

void ExternalDisplay::apply() {
  // Decided when the switch runs, on the mode that the switches before it left.
  owner.runSwitch([weak = weak_from_this()] {
    auto self = weak.lock();
    if (!self || !self->isEnabled()) return;
    Owner& owner = self->owner;
    if (self->connected) {
      if (owner.isHidden() && owner.switchTo(false)) self->displayShowedDock = true;
      return;
    }
    if (!self->displayShowedDock) return;
    // A Dock that did not take the switch stays the display's to hide.
    if (!owner.isHidden() && !owner.switchTo(true)) return;
    self->displayShowedDock = false;
  });
}

}  // namespace velmoryn
