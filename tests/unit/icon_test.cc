#include "app/icon.h"

#include <gtest/gtest.h>

#include <cmath>
#include <variant>

namespace velmoryn {
namespace {

class RecordingContext : public DrawingContext {
 public:
  void setFillColor(Color color) override { fill = color; }
  void fillPathEvenOdd(const Path&) override { ++fills; }
  Color fill{1, 1, 1, 0};
  int fills = 0;
};

// What each image draws is checked in its pixels by the renderer's tests.
TEST(Icon, EachImageIsANewTemplateOfTwentyFourBySixteenFilledOnceInOpaqueBlack) {
  for (bool hidden : {false, true}) {
    const IconImage image = Icon::image(hidden);
    EXPECT_EQ(image.width, 24);
    EXPECT_EQ(image.height, 16);
    EXPECT_FALSE(image.flipped);
    EXPECT_TRUE(image.isTemplate);
    EXPECT_EQ(image.hidden, hidden);
    EXPECT_FALSE(image.drawingHandler(nullptr));  // no context: nothing drawn
    RecordingContext context;
    EXPECT_TRUE(image.drawingHandler(&context));
    EXPECT_EQ(context.fills, 1);
    EXPECT_EQ(context.fill.red + context.fill.green + context.fill.blue, 0);
    EXPECT_EQ(context.fill.alpha, 1);
  }
}

Rect boundsOf(const PathElement& element) {
  if (const auto* rounded = std::get_if<RoundedRectElement>(&element)) return rounded->rect;
  return std::get<RectElement>(element).rect;
}

// The relations the drawing relies on, finer than a pixel at 1x: holes inside
// the body and centred on it, the squares 0.2 apart, the arrow pointing down
// with its shaft reaching 0.2 past the head's base (the neck line).
TEST(Icon, HolesSitCentredInsideTheBodyAndTheArrowPointsDown) {
  const Path shown = Icon::path(false);
  const Path hidden = Icon::path(true);
  ASSERT_EQ(shown.elements.size(), 4u);
  ASSERT_EQ(hidden.elements.size(), 6u);
  const Rect body = boundsOf(shown.elements[0]);
  const Rect left = boundsOf(shown.elements[1]), middle = boundsOf(shown.elements[2]),
             right = boundsOf(shown.elements[3]), shaft = boundsOf(hidden.elements[1]);
  const Point base1 = std::get<MoveToElement>(hidden.elements[2]).point;
  const Point base2 = std::get<LineToElement>(hidden.elements[3]).point;
  const Point tip = std::get<LineToElement>(hidden.elements[4]).point;
  const double centre = body.minX() + body.width / 2;
  auto near = [](double a, double b) { return std::abs(a - b) < 1e-9; };
  auto inside = [&](const Rect& r) {
    return body.minX() < r.minX() && r.maxX() < body.maxX() && body.minY() < r.minY() &&
           r.maxY() < body.maxY();
  };
  const std::pair<const char*, bool> facts[] = {
      {"holes inside the body", inside(left) && inside(right) && inside(shaft) &&
                                    body.minY() < tip.y && body.minX() < base1.x &&
                                    base2.x < body.maxX()},
      {"three equal squares in a row",
       left.width == left.height && middle.width == left.width && middle.height == left.height &&
           right.width == left.width && right.height == left.height && left.y == middle.y &&
           middle.y == right.y},
      {"squares 0.2 apart",
       near(middle.minX() - left.maxX(), 0.2) && near(right.minX() - middle.maxX(), 0.2)},
      {"squares centred", near(middle.minX() + middle.width / 2, centre)},
      {"arrow centred", near(shaft.minX() + shaft.width / 2, centre) && near(tip.x, centre) &&
                            near((base1.x + base2.x) / 2, centre)},
      {"arrow points down", base1.y == base2.y && tip.y < base1.y},
      {"shaft reaches 0.2 past the base", near(base1.y - shaft.minY(), 0.2)},
      {"head closed", std::holds_alternative<CloseSubpathElement>(hidden.elements[5])},
  };
  for (const auto& [fact, holds] : facts) EXPECT_TRUE(holds) << fact;
}

}  // namespace
}  // namespace velmoryn
