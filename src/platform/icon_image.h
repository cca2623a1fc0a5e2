// Images drawn by code: the program describes paths, an adapter fills them.
#pragma once

#include <functional>
#include <variant>
#include <vector>

#include "platform/geometry.h"

namespace velmoryn {

struct RoundedRectElement {
  Rect rect;
  double cornerWidth = 0;
  double cornerHeight = 0;
};
struct RectElement {
  Rect rect;
};
struct MoveToElement {
  Point point;
};
struct LineToElement {
  Point point;
};
struct CloseSubpathElement {};

using PathElement = std::variant<RoundedRectElement, RectElement, MoveToElement, LineToElement,
                                 CloseSubpathElement>;

struct Path {
  std::vector<PathElement> elements;
};

struct Color {
  double red = 0, green = 0, blue = 0, alpha = 1;
};

// The current graphics context while an image is drawn.
class DrawingContext {
 public:
  virtual ~DrawingContext() = default;
  virtual void setFillColor(Color color) = 0;
  // Fills by the even-odd rule: a point is painted when inside an odd number of subpaths.
  virtual void fillPathEvenOdd(const Path& path) = 0;
};

struct IconImage {
  double width = 0;   // points
  double height = 0;  // points
  bool flipped = false;
  bool isTemplate = false;
  bool hidden = false;  // what the image stands for, for descriptions and tests
  // Called whenever the image is rendered; the context is null when there is none.
  std::function<bool(DrawingContext*)> drawingHandler;
};

}  // namespace velmoryn
