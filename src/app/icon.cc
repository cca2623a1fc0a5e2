#include "app/icon.h"

// Placeholder bodies.
namespace velmoryn {
IconImage Icon::image(bool hidden) {
  IconImage result;
  result.hidden = hidden;
  return result;
}
bool Icon::draw(DrawingContext*, bool) { return false; }
Path Icon::path(bool) { return {}; }
}  // namespace velmoryn
