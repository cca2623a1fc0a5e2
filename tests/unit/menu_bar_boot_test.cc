// The position seeded at launch; the login item it registers is the command line's table.
#include "boot/menu_bar_boot.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

TEST(MenuBarBoot, ThePositionIsSeededWithTheInteger300OnlyWhileNoneIsStored) {
  for (const std::optional<SettingsValue>& stored :
       {std::optional<SettingsValue>(), {std::int64_t{0}}, {87.5}}) {
    testing::FakePlatform fake;
    if (stored) fake.settings.values[MenuBarBoot::positionKey] = *stored;
    MenuBarBoot::seedPosition();
    EXPECT_EQ(fake.settings.values,
              (std::map<std::string, SettingsValue>{
                  {MenuBarBoot::positionKey, stored.value_or(std::int64_t{300})}}));
  }
}

}  // namespace
}  // namespace velmoryn
