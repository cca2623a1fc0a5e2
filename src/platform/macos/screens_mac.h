// Screens and the pointer from NSScreen and NSEvent, and the system's word
// that the screens have changed. Main thread only.
#pragma once

#include <memory>
#include <vector>

#include "platform/screens.h"

namespace velmoryn {

class MacScreens : public ScreenService {
 public:
  MacScreens();
  ~MacScreens() override;

  std::span<const Screen> screens() override;
  Point mouseLocation() override;
  void onScreensChanged(std::function<void()> handler) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl;
  // Reused so that reading the screens on every scroll event allocates
  // nothing once it has room for them all.
  std::vector<Screen> buffer;
};

}  // namespace velmoryn
