#include "app/icon.h"

namespace velmoryn {
namespace {

constexpr Rect kBody{2.0, 2.5, 20.0, 11.0};
constexpr double kBodyRadius = 2.8;

constexpr double kSquareY = 5.3;
constexpr double kSquareSide = 4.8;
constexpr double kSquareRadius = 1.1;
constexpr double kSquareXs[] = {4.6, 9.6, 14.6};

// The shaft reaches 0.2 below the head's base, so the strip where body, shaft
// and head overlap stays filled: a thin line across the arrow's neck.
constexpr Rect kShaft{10.9, 7.4, 2.2, 4.1};
constexpr Point kHeadLeft{9.0, 7.6};
constexpr Point kHeadRight{15.0, 7.6};
constexpr Point kHeadTip{12.0, 4.5};

// The drawing handler: false, drawing nothing, when there is no context.
bool draw(DrawingContext* context, bool hidden) {
  if (context == nullptr) return false;
  context->setFillColor(Color{0, 0, 0, 1});
  // Even-odd: every inner shape lies inside the body, so each becomes a hole.
  context->fillPathEvenOdd(Icon::path(hidden));
  return true;
}

}  // namespace

IconImage Icon::image(bool hidden) {
  IconImage result;
  result.width = width;
  result.height = height;
  result.flipped = false;
  result.isTemplate = true;
  result.hidden = hidden;
  result.drawingHandler = [hidden](DrawingContext* context) { return draw(context, hidden); };
  return result;
}

Path Icon::path(bool hidden) {
  Path path;
  path.elements.push_back(RoundedRectElement{kBody, kBodyRadius, kBodyRadius});
  if (hidden) {
    path.elements.push_back(RectElement{kShaft});
    path.elements.push_back(MoveToElement{kHeadLeft});
    path.elements.push_back(LineToElement{kHeadRight});
    path.elements.push_back(LineToElement{kHeadTip});
    path.elements.push_back(CloseSubpathElement{});
  } else {
    for (double x : kSquareXs) {
      path.elements.push_back(RoundedRectElement{Rect{x, kSquareY, kSquareSide, kSquareSide},
                                                 kSquareRadius, kSquareRadius});
    }
  }
  return path;
}

}  // namespace velmoryn
