// Plain C++ guards for handing path geometry to Core Graphics.
#pragma once

#include <algorithm>
#include <cmath>

#include "platform/geometry.h"

namespace velmoryn::mac {

struct CornerRadii {
  double width = 0;
  double height = 0;
};

// Core Graphics aborts the process when a rounded rectangle's corner is
// negative or larger than half its side; clamp into the range it accepts.
// NaN reads as 0.
inline CornerRadii clampedCornerRadii(const Rect& rect, double cornerWidth, double cornerHeight) {
  const auto clamp = [](double radius, double side) {
    const double limit = std::isfinite(side) ? std::fabs(side) / 2 : 0.0;
    if (!(radius > 0)) return 0.0;
    return std::min(radius, limit);
  };
  return CornerRadii{clamp(cornerWidth, rect.width), clamp(cornerHeight, rect.height)};
}

}  // namespace velmoryn::mac
