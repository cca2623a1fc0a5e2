#include "dock/dock_edge.h"

namespace velmoryn {

DockEdge DockEdge::from(std::string_view text) {
  if (text == "left") return left;
  if (text == "right") return right;
  return bottom;
}

}  // namespace velmoryn
