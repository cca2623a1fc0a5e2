// Screens and the pointer from NSScreen and NSEvent. Main thread only.
#pragma once

#include <vector>

#include "platform/screens.h"

namespace velmoryn {

class MacScreens : public ScreenService {
 public:
  std::span<const Screen> screens() override;
  Point mouseLocation() override;

 private:
  // Reused so that reading the screens on every scroll event allocates
  // nothing once it has room for them all.
  std::vector<Screen> buffer;
};

}  // namespace velmoryn
