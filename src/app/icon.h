// The menu-bar icon: a rounded bar for the Dock, with three squares cut out
// while it is shown and a downward arrow cut out while it is hidden. The
// drawing handler may run on whatever thread renders the image; it touches
// nothing but its own arguments.
#pragma once

#include "platform/icon_image.h"

namespace velmoryn {

struct Icon {
  Icon() = delete;

  static constexpr double width = 24;
  static constexpr double height = 16;

  // A new 24 x 16 point template image, not flipped; nothing is cached.
  static IconImage image(bool hidden);
  // The body followed by the shapes cut out of it, in the order they are added.
  static Path path(bool hidden);
};

}  // namespace velmoryn
