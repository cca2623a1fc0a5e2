// The start-up chores on the fakes: "--login on|off|status" at the launch's
// first step, the one automatic registration, and the seeded position. A
// plain on and off, and the first launch's registration, are end-to-end
// journeys (tests/e2e).
#include "boot/menu_bar_boot.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

// An item already as asked is done only when its status, read again, agrees;
// the marker goes in before the line, so it is there whatever happens to the output.
TEST(MenuBarBoot, AnswersTheLoginOptionOrRegistersOnceAtTheFirstLaunch) {
  using Login = LoginItemResult::Outcome;
  using enum CommandLine;
  struct Row {
    const char* name;
    CommandLine asked;
    std::int64_t status = kLoginItemNotRegistered;  // the login item's, before
    std::optional<Login> answer = {};  // to every register and unregister, for the reason "no"
    std::string line = {};             // printed before the end
    int exit = -1;                     // how the process ends; -1: it goes on
    std::optional<bool> marker = {};   // stored afterwards
    std::optional<bool> before = {};   // the marker stored before
    std::string log = {};
  };
  const std::string kOn = "登録済み（ログイン時に起動します）",
                    kAllow = "要許可（システム設定 > 一般 > ログイン項目 で有効にしてください）",
                    kNotFound = "未登録（/Applications に入れてから実行してください）",
                    kOff = "未登録（ログイン時に起動しません）",
                    kOnFailed = "登録に失敗しました: no";
  const Row rows[] = {
      {.name = "to be allowed", .asked = loginStatus, .status = 2, .line = kAllow, .exit = 1},
      {.name = "only enabled exits 0", .asked = loginStatus, .status = 1, .line = kOn, .exit = 0},
      {.name = "not found", .asked = loginStatus, .status = 3, .line = kNotFound, .exit = 1},
      {.name = "not registered", .asked = loginStatus, .status = 0, .line = kOff, .exit = 1},
      {.name = "any other", .asked = loginStatus, .status = 9, .line = "不明", .exit = 1},
      {.name = "on, switched off by the user",
       .asked = loginOn,
       .status = 2,
       .answer = Login::needsApproval,
       .line = kAllow,
       .exit = 0,
       .marker = true},
      {.name = "on fails", .asked = loginOn, .answer = Login::failed, .line = kOnFailed, .exit = 1},
      {.name = "off, yet still enabled",
       .asked = loginOff,
       .status = 1,
       .answer = Login::alreadyAsAsked,
       .line = "解除に失敗しました: no",
       .exit = 1},
      {.name = "usage", .asked = loginUsage, .line = "使い方: --login on|off|status", .exit = 1},
      {.name = "the first launch registers", .asked = plainLaunch, .marker = true},
      {.name = "a marker, even false, stops it",
       .asked = plainLaunch,
       .marker = false,
       .before = false},
      {.name = "a failure stores none",
       .asked = plainLaunch,
       .answer = Login::failed,
       .log = "Velmoryn: ログイン時起動の登録に失敗しました（no）"},
  };
  constexpr const char* kMarker = "menuBarBoot.loginRegistered";
  for (const Row& row : rows) {
    testing::FakePlatform fake;
    fake.loginItems.currentStatus = row.status;
    if (row.answer) {
      fake.loginItems.registerAnswer = fake.loginItems.unregisterAnswer =
          LoginItemResult{*row.answer, {"no", "E1 no"}};
    }
    if (row.before) fake.settings.values[kMarker] = *row.before;
    int exit = -1;
    try {
      MenuBarBoot boot(row.asked);
      boot.handleLoginArguments();
      boot.ensureRegistered();
    } catch (const testing::ProcessExit& end) {
      exit = end.status;
    }
    const auto optional = [](const std::string& text) {
      return text.empty() ? std::vector<std::string>{} : std::vector<std::string>{text};
    };
    EXPECT_EQ(fake.process.printed, optional(row.line)) << row.name;
    EXPECT_EQ(exit, row.exit) << row.name;
    EXPECT_EQ(fake.settings.object(kMarker),
              row.marker ? std::optional<SettingsValue>(*row.marker) : std::nullopt)
        << row.name;
    EXPECT_EQ(fake.log.lines, optional(row.log)) << row.name;
    const auto written = fake.timeline.matching({"set", "print"});
    if (written.size() == 2) {
      EXPECT_EQ(written.front(), std::string("set ") + kMarker) << row.name;
    }
  }
}

TEST(MenuBarBoot, ThePositionIsSeededWithTheInteger300OnlyWhileNoneIsStored) {
  constexpr const char* kPosition = "NSStatusItem Preferred Position Velmoryn";
  for (const std::optional<SettingsValue>& stored :
       {std::optional<SettingsValue>(), {std::int64_t{0}}, {87.5}}) {
    testing::FakePlatform fake;
    if (stored) fake.settings.values[kPosition] = *stored;
    MenuBarBoot(CommandLine::plainLaunch).seedPosition();
    EXPECT_EQ(
        fake.settings.values,
        (std::map<std::string, SettingsValue>{{kPosition, stored.value_or(std::int64_t{300})}}));
  }
}

}  // namespace
}  // namespace velmoryn
