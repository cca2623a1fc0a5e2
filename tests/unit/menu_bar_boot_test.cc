#include "boot/menu_bar_boot.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kPositionKey = "NSStatusItem Preferred Position Velmoryn";
constexpr const char* kMarker = "menuBarBoot.loginRegistered";

TEST(MenuBarBoot, ThePositionIsSeededWithTheInteger300OnlyWhileNoneIsStored) {
  testing::FakePlatform fake;
  for (const SettingsValue& stored : {SettingsValue(std::int64_t{812}), SettingsValue(87.5),
                                      SettingsValue(false), SettingsValue(std::int64_t{0})}) {
    fake.settings.values[kPositionKey] = stored;
    MenuBarBoot::seedPosition();
    EXPECT_EQ(fake.settings.object(kPositionKey), stored);
  }
  EXPECT_THAT(fake.timeline.entries(), IsEmpty());
  fake.settings.values.clear();
  MenuBarBoot::seedPosition();
  EXPECT_EQ(fake.settings.object(kPositionKey), SettingsValue(std::int64_t{300}));
  // The status bar looks the position up under the autosave name.
  EXPECT_TRUE(std::string(kPositionKey).ends_with(" " + std::string(MenuBarBoot::autosaveName)));
}

TEST(MenuBarBoot, TheLoginItemIsRegisteredAutomaticallyOnlyWhileNoMarkerIsStored) {
  struct Row {
    std::optional<bool> marker;  // before
    std::int64_t status;
    bool fails;
    std::vector<std::string> seen;
    std::optional<bool> markerAfter;
  };
  const std::string set = std::string("set ") + kMarker;
  for (const Row& row : {
           Row{std::nullopt, kLoginItemNotRegistered, false, {"login register", set}, true},
           // Already registered by hand: not a failure.
           Row{std::nullopt,
               kLoginItemEnabled,
               false,
               {"login register", "login status", set},
               true},
           // A failure leaves no marker, so the next launch tries again.
           Row{std::nullopt, kLoginItemNotRegistered, true, {"login register"}, std::nullopt},
           // Unregistered by the user's off command: never registered again.
           Row{false, kLoginItemNotRegistered, false, {}, false},
           Row{true, kLoginItemNotRegistered, false, {}, true},
       }) {
    testing::FakePlatform fake;
    if (row.marker) fake.settings.values[kMarker] = *row.marker;
    fake.loginItems.currentStatus = row.status;
    if (row.fails) fake.loginItems.registerError = LoginItemError{"Operation not permitted", ""};

    MenuBarBoot::ensureRegistered();

    EXPECT_EQ(fake.timeline.entries(), row.seen);
    const auto marker = fake.settings.object(kMarker);
    EXPECT_EQ(marker ? std::optional(std::get<bool>(*marker)) : std::nullopt, row.markerAfter);
    if (row.fails) {
      EXPECT_THAT(
          fake.log.lines,
          ElementsAre("Velmoryn: ログイン時起動の登録に失敗しました（Operation not permitted）"));
    }
  }
}

}  // namespace
}  // namespace velmoryn
