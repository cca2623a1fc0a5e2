#include "app/icon.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <type_traits>
#include <vector>

namespace velmoryn {
namespace {

// A drawing context that keeps what was filled and answers, by even-odd
// counting over the subpaths, whether a point ends up painted.
class CountingContext : public DrawingContext {
 public:
  void setFillColor(Color color) override { fill = color; }
  void fillPathEvenOdd(const Path& path) override {
    ++fills;
    filled = path;
  }

  bool painted(Point p) const {
    int inside = 0;
    std::vector<Point> polygon;
    auto closePolygon = [&] {
      if (polygon.size() >= 3 && insidePolygon(polygon, p)) ++inside;
      polygon.clear();
    };
    for (const PathElement& element : filled.elements) {
      std::visit(
          [&](const auto& e) {
            using T = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<T, RoundedRectElement>) {
              closePolygon();
              if (insideRoundedRect(e, p)) ++inside;
            } else if constexpr (std::is_same_v<T, RectElement>) {
              closePolygon();
              if (e.rect.contains(p)) ++inside;
            } else if constexpr (std::is_same_v<T, MoveToElement>) {
              closePolygon();
              polygon.push_back(e.point);
            } else if constexpr (std::is_same_v<T, LineToElement>) {
              polygon.push_back(e.point);
            } else {
              closePolygon();
            }
          },
          element);
    }
    closePolygon();
    return inside % 2 == 1;
  }

  Color fill{1, 1, 1, 0};
  int fills = 0;
  Path filled;

 private:
  static bool insideRoundedRect(const RoundedRectElement& e, Point p) {
    if (!e.rect.contains(p)) return false;
    const double rx = e.cornerWidth, ry = e.cornerHeight;
    // Outside the corner ellipses counts as outside the shape.
    const double cx = std::clamp(p.x, e.rect.minX() + rx, e.rect.maxX() - rx);
    const double cy = std::clamp(p.y, e.rect.minY() + ry, e.rect.maxY() - ry);
    const double dx = (p.x - cx) / rx, dy = (p.y - cy) / ry;
    return dx * dx + dy * dy <= 1.0;
  }
  static bool insidePolygon(const std::vector<Point>& poly, Point p) {
    bool in = false;
    for (std::size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
      const Point a = poly[i], b = poly[j];
      if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) {
        in = !in;
      }
    }
    return in;
  }
};

CountingContext drawn(bool hidden) {
  CountingContext context;
  const IconImage image = Icon::image(hidden);
  EXPECT_TRUE(image.drawingHandler(&context));
  return context;
}

TEST(IconImage, IsANewTwentyFourBySixteenTemplateImageThatIsNotFlipped) {
  for (bool hidden : {false, true}) {
    const IconImage image = Icon::image(hidden);
    EXPECT_EQ(image.width, 24);
    EXPECT_EQ(image.height, 16);
    EXPECT_FALSE(image.flipped);
    EXPECT_TRUE(image.isTemplate);
    EXPECT_EQ(image.hidden, hidden);
    ASSERT_TRUE(image.drawingHandler);
  }
}

TEST(IconImage, WithoutAContextTheHandlerDrawsNothingAndAnswersFalse) {
  for (bool hidden : {false, true}) {
    EXPECT_FALSE(Icon::image(hidden).drawingHandler(nullptr));
    EXPECT_FALSE(Icon::draw(nullptr, hidden));
  }
}

TEST(IconImage, FillsOnceInOpaqueBlack) {
  for (bool hidden : {false, true}) {
    const CountingContext context = drawn(hidden);
    EXPECT_EQ(context.fills, 1);
    EXPECT_EQ(context.fill.red, 0);
    EXPECT_EQ(context.fill.green, 0);
    EXPECT_EQ(context.fill.blue, 0);
    EXPECT_EQ(context.fill.alpha, 1);
  }
}

TEST(IconImage, TheHandlerKeepsItsStateAfterTheCallerMovesOn) {
  // The image made for "hidden" must still draw the arrow when rendered later.
  IconImage hidden = Icon::image(true);
  IconImage shown = Icon::image(false);
  CountingContext a, b;
  ASSERT_TRUE(hidden.drawingHandler(&a));
  ASSERT_TRUE(shown.drawingHandler(&b));
  EXPECT_TRUE(a.painted({12.0, 7.5}));   // the neck line exists only with the arrow
  EXPECT_FALSE(b.painted({12.0, 7.5}));  // inside the middle square
}

TEST(IconPath, ShownIsTheBodyAndThreeRoundedSquares) {
  const Path path = Icon::path(false);
  ASSERT_EQ(path.elements.size(), 4u);
  const auto& body = std::get<RoundedRectElement>(path.elements[0]);
  EXPECT_EQ(body.rect, (Rect{2.0, 2.5, 20.0, 11.0}));
  EXPECT_DOUBLE_EQ(body.cornerWidth, 2.8);
  EXPECT_DOUBLE_EQ(body.cornerHeight, 2.8);
  const double xs[] = {4.6, 9.6, 14.6};
  for (int i = 0; i < 3; ++i) {
    const auto& square = std::get<RoundedRectElement>(path.elements[i + 1]);
    EXPECT_EQ(square.rect, (Rect{xs[i], 5.3, 4.8, 4.8})) << i;
    EXPECT_DOUBLE_EQ(square.cornerWidth, 1.1);
    EXPECT_DOUBLE_EQ(square.cornerHeight, 1.1);
  }
}

TEST(IconPath, HiddenIsTheBodyTheShaftAndAClosedDownwardTriangle) {
  const Path path = Icon::path(true);
  ASSERT_EQ(path.elements.size(), 6u);
  EXPECT_EQ(std::get<RoundedRectElement>(path.elements[0]).rect, (Rect{2.0, 2.5, 20.0, 11.0}));
  EXPECT_EQ(std::get<RectElement>(path.elements[1]).rect, (Rect{10.9, 7.4, 2.2, 4.1}));
  const Point from = std::get<MoveToElement>(path.elements[2]).point;
  const Point base = std::get<LineToElement>(path.elements[3]).point;
  const Point tip = std::get<LineToElement>(path.elements[4]).point;
  EXPECT_EQ(from.x, 9.0);
  EXPECT_EQ(from.y, 7.6);
  EXPECT_EQ(base.x, 15.0);
  EXPECT_EQ(base.y, 7.6);
  EXPECT_EQ(tip.x, 12.0);
  EXPECT_EQ(tip.y, 4.5);
  EXPECT_TRUE(std::holds_alternative<CloseSubpathElement>(path.elements[5]));
}

// The even-odd result at chosen points, in the image's own space (y upward).
TEST(IconEvenOdd, ShownHasThreeSquareHolesInAFilledBody) {
  const CountingContext c = drawn(false);
  for (Point hole : {Point{7.0, 7.7}, Point{12.0, 7.7}, Point{17.0, 7.7}, Point{12.0, 9.9}}) {
    EXPECT_FALSE(c.painted(hole)) << hole.x << "," << hole.y;
  }
  for (Point solid : {Point{3.0, 8.0}, Point{21.0, 8.0}, Point{12.0, 3.0}, Point{12.0, 13.0},
                      Point{9.5, 7.7}, Point{14.5, 7.7}, Point{12.0, 7.5 - 2.35}}) {
    EXPECT_TRUE(c.painted(solid)) << solid.x << "," << solid.y;
  }
  // Outside the body, including its rounded corner.
  for (Point out : {Point{1.0, 8.0}, Point{12.0, 14.0}, Point{12.0, 2.0}, Point{2.2, 2.7}}) {
    EXPECT_FALSE(c.painted(out)) << out.x << "," << out.y;
  }
}

TEST(IconEvenOdd, HiddenHasTheArrowHoleWithAThinLineAcrossItsNeck) {
  const CountingContext c = drawn(true);
  // Shaft above the head's base, and the head below it: holes.
  for (Point hole : {Point{12.0, 10.0}, Point{11.0, 11.4}, Point{12.0, 6.0}, Point{10.0, 7.55},
                     Point{14.0, 7.55}, Point{12.0, 4.7}}) {
    EXPECT_FALSE(c.painted(hole)) << hole.x << "," << hole.y;
  }
  // Where body, shaft and head overlap (y 7.4 to 7.6, x 10.9 to 13.1): filled.
  for (Point neck : {Point{11.0, 7.5}, Point{12.0, 7.45}, Point{13.0, 7.55}}) {
    EXPECT_TRUE(c.painted(neck)) << neck.x << "," << neck.y;
  }
  // No squares in this state: where they would be is solid body.
  for (Point solid : {Point{7.0, 7.7}, Point{17.0, 7.7}, Point{12.0, 12.0}, Point{12.0, 4.0}}) {
    EXPECT_TRUE(c.painted(solid)) << solid.x << "," << solid.y;
  }
}

}  // namespace
}  // namespace velmoryn
