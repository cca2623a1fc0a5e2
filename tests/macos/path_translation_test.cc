// The plain C++ guard behind the macOS icon drawing: Core Graphics aborts on a
// rounded rectangle whose corners it cannot take, so they are clamped first.
#include <gtest/gtest.h>

#include <limits>

#include "platform/macos/path_translation.h"

namespace velmoryn::mac {
namespace {

TEST(MacPathTranslation, CornersAreClampedPerAxisIntoWhatCoreGraphicsAccepts) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Row {
    Rect rect;
    double width, height, clampedWidth, clampedHeight;
  };
  for (const Row& row :
       {Row{{2.0, 2.5, 20.0, 11.0}, 2.8, 2.8, 2.8, 2.8},
        Row{{0, 0, 4.8, 4.8}, 2.4, 2.4, 2.4, 2.4},  // exactly half a side
        Row{{0, 0, 20.0, 4.0}, 15.0, 3.0, 10.0, 2.0}, Row{{0, 0, 10, 10}, -1.0, -0.0, 0.0, 0.0},
        Row{{0, 0, 10, 10}, nan, inf, 0.0, 5.0},
        Row{{10, 0, -10, 6}, 4.0, 4.0, 4.0, 3.0},  // a negative width spans too
        Row{{0, 0, inf, 6}, 4.0, 1.0, 0.0, 1.0}}) {
    const CornerRadii radii = clampedCornerRadii(row.rect, row.width, row.height);
    EXPECT_EQ(radii.width, row.clampedWidth) << row.width;
    EXPECT_EQ(radii.height, row.clampedHeight) << row.height;
  }
}

}  // namespace
}  // namespace velmoryn::mac
