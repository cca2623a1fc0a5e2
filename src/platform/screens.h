// Screens and the pointer. Main thread only.
#pragma once

#include <span>

#include "platform/geometry.h"

namespace velmoryn {

struct Screen {
  Rect frame;
  Rect visibleFrame;  // the frame less the menu bar and the room the Dock reserves
};

class ScreenService {
 public:
  virtual ~ScreenService() = default;
  // In the platform's order, the primary screen first. The view stays valid
  // until the next call; reading it allocates nothing.
  virtual std::span<const Screen> screens() = 0;
  virtual Point mouseLocation() = 0;
};

}  // namespace velmoryn
