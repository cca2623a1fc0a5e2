// The screens and pointer of the simulated desktop. Main thread only.
#pragma once

#include <functional>
#include <span>
#include <utility>
#include <vector>

#include "platform/screens.h"

namespace velmoryn {

class SimulatedScreens : public ScreenService {
 public:
  std::span<const Screen> screens() override { return list; }
  Point mouseLocation() override { return pointer; }
  void onScreensChanged(std::function<void()> handler) override { changed = std::move(handler); }

  // Called by the desktop after every change to `list`, as the system posts its notification.
  void notifyChanged() const {
    if (changed) changed();
  }

  std::vector<Screen> list;
  Point pointer;

 private:
  std::function<void()> changed;
};

}  // namespace velmoryn
