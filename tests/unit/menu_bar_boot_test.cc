// The start-up chores on the fakes: "--login on|off|status" at the launch's
// first step, the one automatic registration, and the seeded position.
#include "boot/menu_bar_boot.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

constexpr const char* kMarker = "menuBarBoot.loginRegistered";

// The marker is written before the line; an item already as asked counts as
// done only when its status, read again, agrees.
TEST(MenuBarBoot, AnswersTheLoginOptionOrRegistersOnceAtTheFirstLaunch) {
  using Login = LoginItemResult::Outcome;
  using enum CommandLine;
  struct Row {
    const char* name;
    CommandLine asked;
    std::vector<std::string> calls;                 // to the login item, the store and the process
    std::int64_t status = kLoginItemNotRegistered;  // of the login item before
    std::optional<LoginItemResult> answer = {};     // of every register and unregister
    std::optional<bool> marker = {};                // before and after
    std::optional<bool> markerAfter = {};
    std::vector<std::string> log = {};
  };
  const std::string kMarkerSet = std::string("set ") + kMarker;
  const std::string kOff = "print 未登録（ログイン時に起動しません）",
                    kOn = "print 登録済み（ログイン時に起動します）",
                    kApproval =
                        "print 要許可（システム設定 > 一般 > ログイン項目 で有効にしてください）";
  const Row rows[] = {
      {.name = "the status of an item that needs approval exits 1",
       .asked = loginStatus,
       .calls = {"login status", kApproval, "login status", "exit 1"},
       .status = kLoginItemRequiresApproval},
      {.name = "only an enabled item exits 0",
       .asked = loginStatus,
       .calls = {"login status", kOn, "login status", "exit 0"},
       .status = kLoginItemEnabled},
      {.name = "an item the system cannot find",
       .asked = loginStatus,
       .calls = {"login status", "print 未登録（/Applications に入れてから実行してください）",
                 "login status", "exit 1"},
       .status = kLoginItemNotFound},
      {.name = "a status outside the four",
       .asked = loginStatus,
       .calls = {"login status", "print 不明", "login status", "exit 1"},
       .status = 99},
      {.name = "on registers and stores true",
       .asked = loginOn,
       .calls = {"login register", kMarkerSet, "login status", kOn, "exit 0"},
       .markerAfter = true},
      {.name = "on for a registered item is done",
       .asked = loginOn,
       .calls = {"login register", "login status", kMarkerSet, "login status", kOn, "exit 0"},
       .status = kLoginItemEnabled,
       .markerAfter = true},
      {.name = "on for an item the user switched off says where to allow it, and exits 0",
       .asked = loginOn,
       .calls = {"login register", kMarkerSet, "login status", kApproval, "exit 0"},
       .status = kLoginItemRequiresApproval,
       .answer = LoginItemResult{Login::needsApproval, {}},
       .markerAfter = true},
      {.name = "a failed on shows the localized line and leaves the marker",
       .asked = loginOn,
       .calls = {"login register", "print 登録に失敗しました: no", "exit 1"},
       .answer = LoginItemResult{Login::failed, {"no", "E1 no"}},
       .marker = false,
       .markerAfter = false},
      {.name = "off unregisters and stores false",
       .asked = loginOff,
       .calls = {"login unregister", kMarkerSet, "login status", kOff, "exit 0"},
       .status = kLoginItemEnabled,
       .markerAfter = false},
      {.name = "a second off is done too",
       .asked = loginOff,
       .calls = {"login unregister", "login status", kMarkerSet, "login status", kOff, "exit 0"},
       .markerAfter = false},
      {.name = "not registered, says the service, but the status disagrees",
       .asked = loginOff,
       .calls = {"login unregister", "login status", "print 解除に失敗しました: gone", "exit 1"},
       .status = kLoginItemEnabled,
       .answer = LoginItemResult{Login::alreadyAsAsked, {"gone", ""}}},
      {.name = "any other value prints the usage",
       .asked = loginUsage,
       .calls = {"print 使い方: --login on|off|status", "exit 1"}},
      {.name = "the first launch registers the item",
       .asked = plainLaunch,
       .calls = {"login register", kMarkerSet},
       .markerAfter = true},
      {.name = "an item the user switched off is registered all the same",
       .asked = plainLaunch,
       .calls = {"login register", kMarkerSet},
       .answer = LoginItemResult{Login::needsApproval, {}},
       .markerAfter = true},
      {.name = "a stored marker, even false, stops it",
       .asked = plainLaunch,
       .calls = {},
       .marker = false,
       .markerAfter = false},
      {.name = "a failure stores no marker, so the next launch tries again",
       .asked = plainLaunch,
       .calls = {"login register"},
       .answer = LoginItemResult{Login::failed, {"no", "E1 no"}},
       .log = {"Velmoryn: ログイン時起動の登録に失敗しました（no）"}},
  };
  for (const Row& row : rows) {
    testing::FakePlatform fake;
    fake.loginItems.currentStatus = row.status;
    fake.loginItems.registerAnswer = fake.loginItems.unregisterAnswer = row.answer;
    if (row.marker) fake.settings.values[kMarker] = *row.marker;
    MenuBarBoot boot(row.asked);
    try {
      boot.handleLoginArguments();
      boot.ensureRegistered();
    } catch (const testing::ProcessExit&) {
    }
    EXPECT_EQ(fake.timeline.entries(), row.calls) << row.name;
    const auto marker = fake.settings.object(kMarker);
    EXPECT_EQ(marker,
              row.markerAfter ? std::optional<SettingsValue>(*row.markerAfter) : std::nullopt)
        << row.name;
    EXPECT_EQ(fake.log.lines, row.log) << row.name;
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
