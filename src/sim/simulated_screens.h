// The screens and pointer of the simulated desktop. Main thread only.
#pragma once

#include <span>
#include <vector>

#include "platform/screens.h"

namespace velmoryn {

class SimulatedScreens : public ScreenService {
 public:
  std::span<const Screen> screens() override { return list; }
  Point mouseLocation() override { return pointer; }

  std::vector<Screen> list;
  Point pointer;
};

}  // namespace velmoryn
