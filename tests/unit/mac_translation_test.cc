// The plain C++ translations behind the macOS adapters: what the core sees of
// an AppKit event and of a rounded rectangle. (Stored preferences follow the
// rules both settings stores share, tested with the Linux store.)
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/macos/event_translation.h"
#include "platform/macos/path_translation.h"

namespace velmoryn::mac {
namespace {

TEST(MacEventTranslation, MouseUpTypesKeepTheirIdentityAndEverythingElseIsOther) {
  EXPECT_EQ(currentEventFrom(2, 0).type, EventType::leftMouseUp);
  EXPECT_EQ(currentEventFrom(4, 0).type, EventType::rightMouseUp);
  // Mouse-down, other-mouse-up, scroll wheel, key down, and no type at all.
  for (std::uint64_t type : {0ULL, 1ULL, 3ULL, 10ULL, 22ULL, 26ULL}) {
    EXPECT_EQ(currentEventFrom(type, 0).type, EventType::other) << type;
  }
}

TEST(MacEventTranslation, ModifierFlagsReachTheCoreUnchangedSoControlClickIsSeen) {
  // Control together with Caps Lock and Command, plus device-dependent low bits.
  const std::uint64_t flags = kControlModifierFlag | 0x10000 | 0x100000 | 0x101;
  const CurrentEvent event = currentEventFrom(2, flags);
  EXPECT_EQ(event.modifierFlags, flags);
  EXPECT_NE(event.modifierFlags & kControlModifierFlag, 0u);
  EXPECT_EQ(currentEventFrom(2, 0x100000).modifierFlags & kControlModifierFlag, 0u);
}

TEST(MacPathTranslation, CornersWithinHalfTheSidesPassUnchanged) {
  const CornerRadii body = clampedCornerRadii(Rect{2.0, 2.5, 20.0, 11.0}, 2.8, 2.8);
  EXPECT_EQ(body.width, 2.8);
  EXPECT_EQ(body.height, 2.8);
  // Exactly half a side is still accepted.
  const CornerRadii half = clampedCornerRadii(Rect{0, 0, 4.8, 4.8}, 2.4, 2.4);
  EXPECT_EQ(half.width, 2.4);
  EXPECT_EQ(half.height, 2.4);
}

TEST(MacPathTranslation, CornersCoreGraphicsWouldRejectAreClampedPerAxis) {
  const CornerRadii tooLarge = clampedCornerRadii(Rect{0, 0, 20.0, 4.0}, 15.0, 3.0);
  EXPECT_EQ(tooLarge.width, 10.0);
  EXPECT_EQ(tooLarge.height, 2.0);

  const CornerRadii negative = clampedCornerRadii(Rect{0, 0, 10, 10}, -1.0, -0.0);
  EXPECT_EQ(negative.width, 0.0);
  EXPECT_EQ(negative.height, 0.0);

  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const CornerRadii odd = clampedCornerRadii(Rect{0, 0, 10, 10}, nan, inf);
  EXPECT_EQ(odd.width, 0.0);
  EXPECT_EQ(odd.height, 5.0);

  // A rectangle given with a negative width spans the same distance.
  const CornerRadii flippedRect = clampedCornerRadii(Rect{10, 0, -10, 6}, 4.0, 4.0);
  EXPECT_EQ(flippedRect.width, 4.0);
  EXPECT_EQ(flippedRect.height, 3.0);

  const CornerRadii infiniteSide = clampedCornerRadii(Rect{0, 0, inf, 6}, 4.0, 1.0);
  EXPECT_EQ(infiniteSide.width, 0.0);
  EXPECT_EQ(infiniteSide.height, 1.0);
}

}  // namespace
}  // namespace velmoryn::mac
