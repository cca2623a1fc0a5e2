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
using testing::FakePlatform;
using testing::ProcessExit;

constexpr const char* kPositionKey = "NSStatusItem Preferred Position Velmoryn";
constexpr const char* kMarker = "menuBarBoot.loginRegistered";

constexpr const char* kNotRegistered = "未登録（ログイン時に起動しません）";
constexpr const char* kEnabled = "登録済み（ログイン時に起動します）";
constexpr const char* kRequiresApproval =
    "要許可（システム設定 > 一般 > ログイン項目 で有効にしてください）";
constexpr const char* kNotFound = "未登録（/Applications に入れてから実行してください）";
constexpr const char* kUsage = "使い方: --login on|off|status";

LoginItemError error(const std::string& localized) {
  return LoginItemError{localized,
                        "Error Domain=SMAppServiceErrorDomain Code=1 \"" + localized + "\""};
}

class MenuBarBootTest : public ::testing::Test {
 protected:
  FakePlatform fake;

  void arguments(std::vector<std::string> extra) {
    fake.process.args = {"/Applications/Velmoryn.app/Contents/MacOS/Velmoryn"};
    fake.process.args.insert(fake.process.args.end(), extra.begin(), extra.end());
  }

  // The exit status, or none when the call returned.
  std::optional<int> runLoginArguments() {
    try {
      MenuBarBoot::handleLoginArguments();
    } catch (const ProcessExit& exit) {
      return exit.status;
    }
    return std::nullopt;
  }

  std::optional<SettingsValue> marker() const { return fake.settings.object(kMarker); }
};

// ---- position seed

TEST_F(MenuBarBootTest, SeedStoresTheInteger300UnderThePositionKeyWhenAbsent) {
  MenuBarBoot::seedPosition();

  ASSERT_TRUE(fake.settings.object(kPositionKey));
  EXPECT_EQ(*fake.settings.object(kPositionKey), SettingsValue(std::int64_t{300}));
  EXPECT_THAT(fake.settings.operations, ElementsAre(std::string("set ") + kPositionKey));
}

TEST_F(MenuBarBootTest, SeedKeepsAStoredPositionOfAnyType) {
  for (SettingsValue stored : {SettingsValue(std::int64_t{1234}), SettingsValue(87.5),
                               SettingsValue(false), SettingsValue(std::int64_t{0})}) {
    fake.settings.values[kPositionKey] = stored;
    fake.settings.operations.clear();

    MenuBarBoot::seedPosition();

    EXPECT_EQ(*fake.settings.object(kPositionKey), stored);
    EXPECT_TRUE(fake.settings.operations.empty());
  }
}

TEST_F(MenuBarBootTest, SeedWritesAgainAfterThePositionWasRemoved) {
  MenuBarBoot::seedPosition();
  fake.settings.values[kPositionKey] = std::int64_t{812};
  MenuBarBoot::seedPosition();
  EXPECT_EQ(*fake.settings.object(kPositionKey), SettingsValue(std::int64_t{812}));

  fake.settings.remove(kPositionKey);
  MenuBarBoot::seedPosition();
  EXPECT_EQ(*fake.settings.object(kPositionKey), SettingsValue(std::int64_t{300}));
}

TEST_F(MenuBarBootTest, TheAutosaveNameIsTheLastWordOfThePositionKey) {
  const std::string key = MenuBarBoot::positionKey;
  EXPECT_EQ(key, kPositionKey);
  EXPECT_TRUE(key.ends_with(" " + std::string(MenuBarBoot::autosaveName)));
}

// ---- automatic registration

TEST_F(MenuBarBootTest, FirstLaunchRegistersAndStoresTheMarker) {
  MenuBarBoot::ensureRegistered();

  EXPECT_THAT(fake.loginItems.calls, ElementsAre("register"));
  EXPECT_EQ(marker(), SettingsValue(true));
  EXPECT_TRUE(fake.log.lines.empty());
}

TEST_F(MenuBarBootTest, AStoredMarkerOfEitherValueStopsAutomaticRegistration) {
  for (bool stored : {true, false}) {
    fake.settings.values[kMarker] = stored;
    fake.loginItems.calls.clear();

    MenuBarBoot::ensureRegistered();

    EXPECT_TRUE(fake.loginItems.calls.empty()) << stored;
    EXPECT_EQ(marker(), SettingsValue(stored));
  }
}

TEST_F(MenuBarBootTest, AFailedRegistrationLogsAndLeavesNoMarkerSoTheNextLaunchTriesAgain) {
  fake.loginItems.registerError = error("Operation not permitted");

  MenuBarBoot::ensureRegistered();

  EXPECT_THAT(
      fake.log.lines,
      ElementsAre("Velmoryn: ログイン時起動の登録に失敗しました（Operation not permitted）"));
  EXPECT_FALSE(marker());

  fake.loginItems.registerError.reset();
  MenuBarBoot::ensureRegistered();
  EXPECT_THAT(fake.loginItems.calls, ElementsAre("register", "register"));
  EXPECT_EQ(marker(), SettingsValue(true));
}

TEST_F(MenuBarBootTest, AfterTheOffCommandLaterLaunchesNeverRegisterOnTheirOwn) {
  fake.loginItems.currentStatus = kLoginItemEnabled;
  arguments({"--login", "off"});
  ASSERT_EQ(runLoginArguments(), 0);

  fake.loginItems.calls.clear();
  MenuBarBoot::ensureRegistered();
  MenuBarBoot::ensureRegistered();
  EXPECT_TRUE(fake.loginItems.calls.empty());
}

// ---- the --login command line

TEST_F(MenuBarBootTest, WithoutTheLoginOptionNothingHappens) {
  for (auto args : std::vector<std::vector<std::string>>{
           {}, {"--Login", "on"}, {"--login=on"}, {"-login"}, {"--register-login"}}) {
    arguments(args);
    EXPECT_EQ(runLoginArguments(), std::nullopt);
  }
  EXPECT_TRUE(fake.process.printed.empty());
  EXPECT_TRUE(fake.loginItems.calls.empty());
  EXPECT_TRUE(fake.settings.operations.empty());
}

TEST_F(MenuBarBootTest, StatusPrintsTheTextAndExitsZeroOnlyWhenEnabled) {
  struct Case {
    std::int64_t status;
    const char* text;
    int exit;
  };
  for (const Case& c :
       {Case{0, kNotRegistered, 1}, Case{1, kEnabled, 0}, Case{2, kRequiresApproval, 1},
        Case{3, kNotFound, 1}, Case{4, "不明", 1}, Case{-1, "不明", 1}, Case{99, "不明", 1}}) {
    fake.loginItems.currentStatus = c.status;
    fake.process.printed.clear();
    arguments({"--login", "status"});

    EXPECT_EQ(runLoginArguments(), c.exit) << c.status;
    EXPECT_THAT(fake.process.printed, ElementsAre(c.text)) << c.status;
  }
  EXPECT_TRUE(fake.settings.operations.empty());
}

TEST_F(MenuBarBootTest, LoginAsTheLastArgumentIsTheStatusCommand) {
  fake.loginItems.currentStatus = kLoginItemEnabled;
  arguments({"--verbose", "--login"});

  EXPECT_EQ(runLoginArguments(), 0);
  EXPECT_THAT(fake.process.printed, ElementsAre(kEnabled));
  EXPECT_THAT(fake.loginItems.calls, ElementsAre("status", "status"));
}

// Notes whether the marker is in the store at the moment a line goes out.
class MarkerWatchingOutput : public testing::FakeProcessEnvironment {
 public:
  explicit MarkerWatchingOutput(const SettingsStore& store) : store(store) {}
  void printLine(const std::string& text) override {
    markerWhenPrinted.push_back(store.object(kMarker));
    FakeProcessEnvironment::printLine(text);
  }
  std::vector<std::optional<SettingsValue>> markerWhenPrinted;

 private:
  const SettingsStore& store;  // safe because the fake platform outlives this
};

TEST_F(MenuBarBootTest, OnAndOffStoreTheMarkerBeforeThePrintedLine) {
  for (const char* value : {"on", "off"}) {
    MarkerWatchingOutput output(fake.settings);
    output.args = {"Velmoryn", "--login", value};
    Platform services = platform();
    services.process = &output;
    installPlatform(services);

    EXPECT_EQ(runLoginArguments(), 0) << value;
    ASSERT_EQ(output.markerWhenPrinted.size(), 1u) << value;
    EXPECT_EQ(output.markerWhenPrinted[0], SettingsValue(std::string(value) == "on")) << value;

    services.process = &fake.process;
    installPlatform(services);
  }
}

TEST_F(MenuBarBootTest, OnRegistersStoresTrueAndPrintsTheStatusReadAfterwards) {
  fake.loginItems.statusAfterRegister = kLoginItemEnabled;
  arguments({"--login", "on"});

  EXPECT_EQ(runLoginArguments(), 0);
  EXPECT_THAT(fake.process.printed, ElementsAre(kEnabled));
  EXPECT_EQ(marker(), SettingsValue(true));
  EXPECT_THAT(fake.loginItems.calls, ElementsAre("register", "status"));
}

TEST_F(MenuBarBootTest, OnThatNeedsApprovalPrintsStatusTwoAndStillExitsZero) {
  fake.loginItems.statusAfterRegister = kLoginItemRequiresApproval;
  arguments({"--login", "on"});

  EXPECT_EQ(runLoginArguments(), 0);
  EXPECT_THAT(fake.process.printed, ElementsAre(kRequiresApproval));
}

TEST_F(MenuBarBootTest, OnFailurePrintsTheLocalizedMessageExitsOneAndLeavesTheMarker) {
  fake.loginItems.registerError = error("Operation not permitted");
  arguments({"--login", "on"});

  EXPECT_EQ(runLoginArguments(), 1);
  EXPECT_THAT(fake.process.printed, ElementsAre("登録に失敗しました: Operation not permitted"));
  EXPECT_FALSE(marker());
  EXPECT_TRUE(fake.log.lines.empty());
}

TEST_F(MenuBarBootTest, OffUnregistersStoresFalseAndExitsZero) {
  fake.loginItems.currentStatus = kLoginItemEnabled;
  fake.settings.values[kMarker] = true;
  arguments({"--login", "off"});

  EXPECT_EQ(runLoginArguments(), 0);
  EXPECT_THAT(fake.process.printed, ElementsAre(kNotRegistered));
  EXPECT_EQ(marker(), SettingsValue(false));
  EXPECT_THAT(fake.loginItems.calls, ElementsAre("unregister", "status"));
}

TEST_F(MenuBarBootTest, OffFailurePrintsTheLocalizedMessageExitsOneAndLeavesTheMarker) {
  fake.loginItems.unregisterError = error("Item not found");
  fake.settings.values[kMarker] = true;
  arguments({"--login", "off"});

  EXPECT_EQ(runLoginArguments(), 1);
  EXPECT_THAT(fake.process.printed, ElementsAre("解除に失敗しました: Item not found"));
  EXPECT_EQ(marker(), SettingsValue(true));
}

TEST_F(MenuBarBootTest, AnItemAlreadyAsAskedIsSuccessNotFailure) {
  struct Case {
    std::int64_t status;
    const char* value;
    const char* text;
  };
  for (const Case& c : {Case{kLoginItemEnabled, "on", kEnabled},
                        Case{kLoginItemRequiresApproval, "on", kRequiresApproval},
                        Case{kLoginItemNotRegistered, "off", kNotRegistered},
                        Case{kLoginItemNotFound, "off", kNotFound}}) {
    fake.loginItems.currentStatus = c.status;
    fake.process.printed.clear();
    arguments({"--login", c.value});

    EXPECT_EQ(runLoginArguments(), 0) << c.value << c.status;
    EXPECT_THAT(fake.process.printed, ElementsAre(c.text)) << c.value << c.status;
  }

  // A launch without the marker finds the item registered: no failure logged.
  fake.settings.remove(kMarker);
  fake.loginItems.currentStatus = kLoginItemEnabled;
  MenuBarBoot::ensureRegistered();
  EXPECT_EQ(marker(), SettingsValue(true));
  EXPECT_TRUE(fake.log.lines.empty());

  // The code alone is not enough: the status read afresh must agree.
  fake.loginItems.currentStatus = kLoginItemNotRegistered;
  fake.loginItems.registerError = LoginItemError{"already", "", kLoginItemErrorAlreadyRegistered};
  arguments({"--login", "on"});
  EXPECT_EQ(runLoginArguments(), 1);
}

TEST_F(MenuBarBootTest, AnUnknownValuePrintsUsageExitsOneAndChangesNothing) {
  for (auto args : std::vector<std::vector<std::string>>{{"--login", "ON"},
                                                         {"--login", "Status"},
                                                         {"--login", "enable"},
                                                         {"--login", ""},
                                                         {"--login", "--login", "on"}}) {
    arguments(args);
    fake.process.printed.clear();

    EXPECT_EQ(runLoginArguments(), 1) << args[1];
    EXPECT_THAT(fake.process.printed, ElementsAre(kUsage)) << args[1];
  }
  EXPECT_TRUE(fake.settings.operations.empty());
  EXPECT_TRUE(fake.loginItems.calls.empty());
}

TEST_F(MenuBarBootTest, OnlyTheFirstLoginOptionCounts) {
  fake.loginItems.currentStatus = kLoginItemEnabled;
  arguments({"--login", "status", "--login", "off"});

  EXPECT_EQ(runLoginArguments(), 0);
  EXPECT_THAT(fake.process.printed, ElementsAre(kEnabled));
  EXPECT_THAT(fake.loginItems.calls, ElementsAre("status", "status"));
}

}  // namespace
}  // namespace velmoryn
