// The plain C++ translations behind the macOS adapters: what the core sees of
// an AppKit event, of a stored preference, and of a rounded rectangle.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/macos/event_translation.h"
#include "platform/macos/path_translation.h"
#include "platform/macos/stored_value_translation.h"

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

StoredValue stored(StoredValue::Kind kind) {
  StoredValue value;
  value.kind = kind;
  return value;
}

TEST(MacStoredValueTranslation, ABooleanStaysABooleanAndIsNeverReadAsTheNumberZero) {
  StoredValue value = stored(StoredValue::Kind::boolean);
  value.boolean = false;
  value.integer = 7;  // must be ignored for a Boolean
  const SettingsValue read = settingsValueFrom(value);
  ASSERT_TRUE(std::holds_alternative<bool>(read));
  EXPECT_FALSE(std::get<bool>(read));
}

TEST(MacStoredValueTranslation, NumbersKeepTheirIntegerOrFloatingPointType) {
  StoredValue integer = stored(StoredValue::Kind::integerNumber);
  integer.integer = 300;
  ASSERT_TRUE(std::holds_alternative<std::int64_t>(settingsValueFrom(integer)));
  EXPECT_EQ(std::get<std::int64_t>(settingsValueFrom(integer)), 300);

  // A whole-numbered delay written as a float must come back as a float.
  StoredValue real = stored(StoredValue::Kind::floatNumber);
  real.real = 1000.0;
  real.integer = 1;
  ASSERT_TRUE(std::holds_alternative<double>(settingsValueFrom(real)));
  EXPECT_EQ(std::get<double>(settingsValueFrom(real)), 1000.0);

  StoredValue large = stored(StoredValue::Kind::integerNumber);
  large.integer = std::numeric_limits<std::int64_t>::min();
  EXPECT_EQ(std::get<std::int64_t>(settingsValueFrom(large)),
            std::numeric_limits<std::int64_t>::min());
}

TEST(MacStoredValueTranslation, HandEditedTextIsPresentAndReadsAsFoundationReadsIt) {
  const auto readText = [](std::string_view text) {
    StoredValue value = stored(StoredValue::Kind::text);
    value.text = text;
    const SettingsValue read = settingsValueFrom(value);
    EXPECT_TRUE(std::holds_alternative<bool>(read)) << text;
    return std::get<bool>(read);
  };
  EXPECT_TRUE(readText("YES"));
  EXPECT_TRUE(readText("1"));
  for (std::string_view text : {"NO", "0", "", "true", "2", "YES "}) {
    EXPECT_FALSE(readText(text)) << '"' << text << '"';
  }
}

TEST(MacStoredValueTranslation, AValueOfAnotherKindIsStillPresent) {
  // Presence is what the position seed and the swipe setting test for.
  const SettingsValue read = settingsValueFrom(stored(StoredValue::Kind::other));
  ASSERT_TRUE(std::holds_alternative<bool>(read));
  EXPECT_FALSE(std::get<bool>(read));
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
