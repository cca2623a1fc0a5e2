// Points in global screen coordinates: origin at the lower-left corner of the
// primary screen, y growing upward.
#pragma once

namespace velmoryn {

struct Point {
  double x = 0;
  double y = 0;
};

struct Rect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;

  double minX() const { return x; }
  double minY() const { return y; }
  double maxX() const { return x + width; }
  double maxY() const { return y + height; }

  // The minimum edges belong to the rectangle, the maximum edges do not.
  bool contains(Point p) const {
    return minX() <= p.x && p.x < maxX() && minY() <= p.y && p.y < maxY();
  }

  friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace velmoryn
