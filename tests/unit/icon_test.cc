#include "app/icon.h"

#include <gtest/gtest.h>

#include <tuple>

namespace velmoryn {
namespace {

// What each image draws is checked in cairo's pixels by the renderer's tests.
TEST(Icon, EachImageIsANewTemplateOfTwentyFourBySixteenThatDrawsOnlyWithAContext) {
  for (bool hidden : {false, true}) {
    const IconImage image = Icon::image(hidden);
    EXPECT_EQ(std::tie(image.width, image.height, image.flipped, image.isTemplate, image.hidden),
              std::make_tuple(24.0, 16.0, false, true, hidden));
    EXPECT_FALSE(image.drawingHandler(nullptr));
  }
}

}  // namespace
}  // namespace velmoryn
