#include "dock/dock_edge.h"

#include <gtest/gtest.h>

namespace velmoryn {
namespace {

TEST(DockEdgeFrom, NamesLeftAndRightExactlyAndFallsBackToBottom) {
  EXPECT_EQ(DockEdge::from("left"), DockEdge::left);
  EXPECT_EQ(DockEdge::from("right"), DockEdge::right);
  for (const char* text : {"bottom", "", "LEFT", "Right", " left", "left\n"}) {
    EXPECT_EQ(DockEdge::from(text), DockEdge::bottom) << '"' << text << '"';
  }
}

}  // namespace
}  // namespace velmoryn
