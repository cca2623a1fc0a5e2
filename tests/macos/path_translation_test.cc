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
  const struct {
    const char* name;
    Rect rect;
    CornerRadii asked, clamped;
  } rows[] = {
      {.name = "exactly half a side",
       .rect = {0, 0, 4.8, 4.8},
       .asked = {2.4, 2.4},
       .clamped = {2.4, 2.4}},
      {.name = "each axis to half its own side",
       .rect = {0, 0, 20.0, 4.0},
       .asked = {15.0, 3.0},
       .clamped = {10.0, 2.0}},
      {.name = "negative", .rect = {0, 0, 10, 10}, .asked = {-1.0, -0.0}, .clamped = {0.0, 0.0}},
      {.name = "not a number, infinite",
       .rect = {0, 0, 10, 10},
       .asked = {nan, inf},
       .clamped = {0.0, 5.0}},
      {.name = "a negative width spans too",
       .rect = {10, 0, -10, 6},
       .asked = {4.0, 4.0},
       .clamped = {4.0, 3.0}},
      {.name = "an infinite width",
       .rect = {0, 0, inf, 6},
       .asked = {4.0, 1.0},
       .clamped = {0.0, 1.0}},
  };
  for (const auto& row : rows) {
    const CornerRadii radii = clampedCornerRadii(row.rect, row.asked.width, row.asked.height);
    EXPECT_EQ(radii.width, row.clamped.width) << row.name;
    EXPECT_EQ(radii.height, row.clamped.height) << row.name;
  }
}

}  // namespace
}  // namespace velmoryn::mac
