// What a launch finds stored; the launch with nothing stored is the delegate's test.
#include "boot/menu_bar_boot.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

TEST(MenuBarBoot, ThePositionIsSeededWithTheInteger300OnlyWhileNoneIsStored) {
  using Values = std::map<std::string, SettingsValue>;
  for (const SettingsValue& stored : {SettingsValue(std::int64_t{0}), SettingsValue(87.5)}) {
    testing::FakePlatform fake;
    fake.settings.values = {{MenuBarBoot::positionKey, stored}};
    MenuBarBoot::seedPosition();
    EXPECT_EQ(fake.settings.values, (Values{{MenuBarBoot::positionKey, stored}}));
  }
  testing::FakePlatform fake;
  MenuBarBoot::seedPosition();
  EXPECT_EQ(fake.settings.values, (Values{{MenuBarBoot::positionKey, std::int64_t{300}}}));
}

TEST(MenuBarBoot, TheLoginItemIsRegisteredAutomaticallyOnlyWhileNoMarkerIsStored) {
  struct Row {
    std::optional<bool> marker;  // before
    std::int64_t status;
    bool fails;
    std::string seen;  // the calls, then the marker after and the log
  };
  for (const Row& row :
       {Row{{}, kLoginItemEnabled, false, "login register;login status;set;true;"},
        // A failure leaves no marker, so that the next launch tries again.
        Row{{}, 0, true, "login register;;Velmoryn: ログイン時起動の登録に失敗しました（no）"},
        // Unregistered by the user: never registered again.
        Row{false, 0, false, "false;"}, Row{true, 0, false, "true;"}}) {
    testing::FakePlatform fake;
    if (row.marker) fake.settings.values[MenuBarBoot::loginRegisteredKey] = *row.marker;
    fake.loginItems.currentStatus = row.status;
    if (row.fails) fake.loginItems.registerError = LoginItemError{"no", ""};
    MenuBarBoot::ensureRegistered();
    std::string seen;
    for (const auto& entry : fake.timeline.entries())
      seen += entry.substr(0, entry.find(" m")) + ";";
    const auto marker = fake.settings.object(MenuBarBoot::loginRegisteredKey);
    seen += marker ? std::get<bool>(*marker) ? "true;" : "false;" : ";";
    for (const auto& line : fake.log.lines) seen += line;
    EXPECT_EQ(seen, row.seen);
  }
}

}  // namespace
}  // namespace velmoryn
