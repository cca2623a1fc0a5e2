// Screens and the pointer. Main thread only.
#pragma once

#include <functional>
#include <span>

#include "platform/geometry.h"

namespace velmoryn {

struct Screen {
  Rect frame;
  Rect visibleFrame;     // the frame less the menu bar and the room the Dock reserves
  bool builtIn = false;  // the computer's own panel; false for a display plugged in
};

class ScreenService {
 public:
  virtual ~ScreenService() = default;
  // In the platform's order, the primary screen first. The view stays valid
  // until the next call; reading it allocates nothing.
  virtual std::span<const Screen> screens() = 0;
  virtual Point mouseLocation() = 0;
  // Called on the main thread after the set of screens or their frames have
  // changed; changes come in bursts. One handler: a new one replaces the old,
  // and an empty one stops the calls.
  virtual void onScreensChanged(std::function<void()> handler) = 0;
};

}  // namespace velmoryn
