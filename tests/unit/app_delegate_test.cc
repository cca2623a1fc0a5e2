#include "app/app_delegate.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::ProcessExit;

const std::string kHide =
    "execute tell application \"System Events\" to tell dock preferences to set autohide to true";
const std::string kShow =
    "execute tell application \"System Events\" to tell dock preferences to set autohide to false";
constexpr const char* kShownTip = "tooltip Velmoryn / Dock表示中";
constexpr const char* kHiddenTip = "tooltip Velmoryn / Dock非表示中";
constexpr const char* kReadAutohide = "defaults read com.apple.dock autohide";
constexpr const char* kReadDelay = "defaults read com.apple.dock autohide-delay";
const std::vector<std::string> kRestore = {
    "defaults write com.apple.dock autohide-delay -float 0.5",
    "defaults write com.apple.dock autohide -bool false", "killall Dock"};
constexpr std::size_t kToggleItem = 0, kShortcutItem = 2, kSwipeItem = 3, kLoginItem = 4,
                      kQuitItem = 6;

// The program on the fakes. The user's Dock as found: autohide as given, a
// short delay of their own, at the bottom of one screen.
class App {
 public:
  explicit App(std::string autohide = "0") {
    dock[kReadAutohide] = std::move(autohide);
    dock[kReadDelay] = "0.5";
    fake.processes.respond = [this](const ProcessRequest& request) {
      std::string line = request.path.substr(request.path.rfind('/') + 1);
      for (const auto& arg : request.args) line += " " + arg;
      auto result = testing::FakeProcessRunner::output(dock.contains(line) ? dock[line] : "");
      if (failing.contains(line)) result.exitStatus = 1;
      return result;
    };
    fake.screens.list = {Screen{Rect{0, 0, 1440, 900}, Rect{0, 70, 1440, 805}}};
    fake.screens.pointer = {700, 300};
  }
  ~App() { delegate.reset(); }

  void launch() {
    delegate = AppDelegate::create();
    fake.application.delegate = delegate.get();
    delegate->applicationDidFinishLaunching();
  }
  testing::FakeStatusItem& item() { return *fake.statusBar.item; }
  std::vector<std::string> seen(std::vector<std::string_view> prefixes) {
    return fake.timeline.matching(std::move(prefixes));
  }
  std::vector<std::string> scripts() { return seen({"execute"}); }
  std::vector<std::string> tools() { return seen({"defaults", "killall", "osascript"}); }
  bool revealing() const { return fake.timers.liveTimers() > 0; }

  static std::optional<int> exitOf(const std::function<void()>& call) {
    try {
      call();
    } catch (const ProcessExit& exit) {
      return exit.status;
    }
    return std::nullopt;
  }
  std::vector<int> drainMainQueue() {
    std::vector<int> exits;
    for (bool more = true; more;) {
      if (auto status = exitOf([&] { more = fake.mainQueue.runOne(); })) exits.push_back(*status);
    }
    return exits;
  }
  void click(std::optional<CurrentEvent> event) {
    fake.application.event = event;
    item().click();
  }
  // Opens the menu with a right click and chooses an item, or none.
  std::optional<int> openMenu(std::optional<std::size_t> choice = std::nullopt) {
    item().choose = choice;
    return exitOf([&] { click(CurrentEvent{EventType::rightMouseUp, 0}); });
  }
  const MenuItem& menuItem(std::size_t index) { return item().lastOpenedMenu->items.at(index); }
  // With the pointer resting on the Dock's edge, one notch of the wheel toward it.
  void startReveal() {
    fake.screens.pointer = {700, 2};
    ScrollEvent notch;
    notch.scrollingDeltaY = 1.0;
    fake.scrollMonitor.deliver(notch);
  }

  testing::FakePlatform fake;
  std::map<std::string, std::string> dock;  // what each tool run prints
  std::set<std::string> failing;            // tool runs that exit with status 1
  std::shared_ptr<AppDelegate> delegate;
};

TEST(AppDelegate, LaunchRunsItsStepsInOrderAndAdoptsTheDocksModeWithoutChangingIt) {
  App app;
  app.launch();
  EXPECT_THAT(app.fake.timeline.entries(),
              ElementsAre("arguments",  // no --login
                          "set NSStatusItem Preferred Position Velmoryn", "login register",
                          "set menuBarBoot.loginRegistered",
                          // the user's own settings on record, the marker last
                          kReadDelay, kReadAutohide, "set originalDock.autohideDelay",
                          "set originalDock.autohide", "set originalDock.saved",
                          // signals: off first, then the source
                          "ignore 15", "source 15", "resume 15", "ignore 2", "source 2", "resume 2",
                          "ignore 1", "source 1", "resume 1",
                          // the short delay becomes 1000
                          kReadDelay, "defaults write com.apple.dock autohide-delay -float 1000",
                          "killall Dock", "defaults read com.apple.dock orientation", kReadAutohide,
                          // the status item fires on the release of either button
                          "statusItem -1", "autosave Velmoryn", "action statusClicked", "mask 20",
                          "hotkey install", "hotkey register", "monitor 4194304", "image shown",
                          "description Velmoryn / Dock表示中", kShownTip));
  EXPECT_EQ(app.fake.settings.object("originalDock.autohideDelay"), SettingsValue(0.5));
}

TEST(AppDelegate, LaunchLeavesTheDelayAloneWhenLongOrWhenNoRecordCouldBeTaken) {
  for (const bool readFails : {false, true}) {
    App app;
    app.dock[kReadDelay] = readFails ? "0.5" : "150";
    if (readFails) app.failing.insert(kReadDelay);
    app.launch();
    EXPECT_THAT(app.tools(), ::testing::Not(::testing::Contains("killall Dock"))) << readFails;
    EXPECT_EQ(app.fake.log.lines.size(), readFails ? 1u : 0u);
    // The quit that follows has nothing of the user's to put back or delete.
    app.fake.timeline.clear();
    EXPECT_EQ(App::exitOf([&] { app.delegate->quit(); }), 0);
    EXPECT_EQ(app.tools().size(), readFails ? 0u : 3u);
  }
}

TEST(AppDelegate, ALaunchGoesOnWhateverThePlatformRefuses) {
  struct Row {
    const char* what;
    std::function<void(testing::FakePlatform&)> refuse;
    std::size_t logged;
    bool icon;
  };
  for (const Row& row : {
           Row{"no button", [](auto& f) { f.statusBar.withButton = false; }, 0, false},
           Row{"no status item", [](auto& f) { f.statusBar.returnNone = true; }, 0, false},
           Row{"no hot key", [](auto& f) { f.hotKeys.registerStatus = -9878; }, 1, true},
           Row{"no signal sources", [](auto& f) { f.signals.refuseSources = true; }, 3, true},
       }) {
    SCOPED_TRACE(row.what);
    App app;
    row.refuse(app.fake);
    app.launch();
    EXPECT_EQ(app.fake.log.lines.size(), row.logged);
    EXPECT_EQ(app.fake.scrollMonitor.installed(), 1u);
    EXPECT_EQ(app.seen({"image", "action", "mask"}).size(), row.icon ? 3u : 0u);
    app.delegate->menuToggle();
    EXPECT_THAT(app.scripts(), ElementsAre(kHide));
  }
}

TEST(AppDelegate, TheLoginOptionEndsTheLaunchBeforeAnythingIsMade) {
  App app;
  app.fake.process.args.push_back("--login");
  EXPECT_EQ(App::exitOf([&] { app.launch(); }), 1);
  EXPECT_THAT(app.fake.timeline.entries(),
              ElementsAre("arguments", "login status", "print 未登録（ログイン時に起動しません）",
                          "login status", "exit 1"));
}

TEST(AppDelegate, ARightClickOrAnyClickWithControlOpensTheMenuAndEveryOtherClickToggles) {
  const std::uint64_t control = kControlModifierFlag, command = 0x100000, option = 0x80000;
  struct Row {
    std::optional<CurrentEvent> event;
    bool opensMenu;
  };
  for (const Row& row :
       {Row{std::nullopt, false}, Row{CurrentEvent{EventType::leftMouseUp, 0}, false},
        Row{CurrentEvent{EventType::leftMouseUp, command | option}, false},
        Row{CurrentEvent{EventType::rightMouseUp, 0}, true},
        Row{CurrentEvent{EventType::leftMouseUp, control}, true},
        Row{CurrentEvent{EventType::leftMouseUp, control | command}, true},
        Row{CurrentEvent{EventType::other, control}, true}}) {
    App app;
    app.launch();
    app.click(row.event);
    EXPECT_EQ(app.seen({"performClick"}).size(), row.opensMenu ? 1u : 0u);
    EXPECT_EQ(app.scripts().size(), row.opensMenu ? 0u : 1u);
  }
}

TEST(AppDelegate, EveryToggleFlipsTheProgramsOwnModeWithoutReadingTheDock) {
  App app;
  app.launch();
  app.fake.timeline.clear();

  app.click(CurrentEvent{EventType::leftMouseUp, 0});
  ASSERT_TRUE(app.fake.hotKeys.press());
  EXPECT_EQ(app.scripts().size(), 1u) << "the hot key's toggle waits for the main queue";
  app.fake.mainQueue.drain();
  app.openMenu(kShortcutItem);  // an information line: nothing happens
  app.openMenu(kToggleItem);    // refreshes from the Dock ("0"), then toggles

  EXPECT_THAT(app.seen({"execute", "tooltip", "defaults"}),
              ElementsAre(kHide, kHiddenTip, kShow, kShownTip, kReadAutohide, kShownTip,
                          kReadAutohide, kShownTip, kHide, kHiddenTip));
}

TEST(AppDelegate, AToggleDuringARevealEndsItAndLeavesTheDockShown) {
  App app("1");
  app.launch();
  EXPECT_EQ(app.item().toolTip, "Velmoryn / Dock非表示中");
  app.startReveal();
  ASSERT_TRUE(app.revealing());

  app.click(CurrentEvent{EventType::leftMouseUp, 0});

  EXPECT_FALSE(app.revealing());
  EXPECT_THAT(app.scripts(), ElementsAre(kShow, kShow));
  EXPECT_EQ(app.item().toolTip, "Velmoryn / Dock表示中");
}

TEST(AppDelegate, ASwitchTheDockRefusedKeepsTheModeAndSaysWhereToAllowIt) {
  App app;
  app.fake.appleScript.executeReportsError = -1743;
  app.failing.insert("osascript -e " + kHide.substr(8));
  app.launch();

  app.click(CurrentEvent{EventType::leftMouseUp, 0});
  EXPECT_EQ(app.item().toolTip, "Velmoryn / Dock表示中");
  ASSERT_EQ(app.fake.log.lines.size(), 1u);
  EXPECT_THAT(app.fake.log.lines[0], ::testing::HasSubstr("AppleScript エラー -1743"));

  app.failing.clear();
  app.click(CurrentEvent{EventType::leftMouseUp, 0});
  EXPECT_EQ(app.item().toolTip, "Velmoryn / Dock非表示中");
}

TEST(AppDelegate, OpeningTheMenuAdoptsTheDocksModeUnlessARevealHasLiftedIt) {
  for (const bool reveal : {false, true}) {
    App app("1");
    app.launch();
    if (reveal) app.startReveal();
    app.dock[kReadAutohide] = "0";  // switched off elsewhere, or by the reveal
    app.fake.timeline.clear();

    app.openMenu();

    EXPECT_EQ(app.seen({kReadAutohide}).size(), reveal ? 0u : 1u);
    EXPECT_EQ(app.menuItem(kToggleItem).title, reveal ? "Dockを表示" : "Dockを隠す");
    EXPECT_THAT(app.seen({"menu", "performClick"}),
                ElementsAre("menu set", "performClick", "menu cleared"));
  }
}

TEST(AppDelegate, TheSwipeSettingGatesTheRevealAndSwitchingItOffEndsOne) {
  {
    App shown;
    shown.launch();
    shown.startReveal();
    EXPECT_FALSE(shown.revealing()) << "nothing to lift in shown mode";
  }
  App app("1");
  app.launch();
  app.openMenu();
  EXPECT_EQ(app.menuItem(kSwipeItem).state, MenuItemState::on);
  app.openMenu(kSwipeItem);
  app.startReveal();
  EXPECT_FALSE(app.revealing());
  app.openMenu();
  EXPECT_EQ(app.menuItem(kSwipeItem).state, MenuItemState::off);
  app.openMenu(kSwipeItem);

  app.startReveal();  // lifts the Dock
  app.fake.screens.pointer = {700, 450};
  app.fake.timers.advance(1.0);  // and hides it again once the pointer has left
  app.startReveal();
  app.fake.timeline.clear();
  app.openMenu(kSwipeItem);

  EXPECT_FALSE(app.revealing());
  EXPECT_EQ(app.fake.settings.object("swipeRevealEnabled"), SettingsValue(false));
  EXPECT_THAT(app.seen({"execute", "tooltip"}), ElementsAre(kHide));
}

TEST(AppDelegate, TheLoginItemSwitchUnregistersOnlyAnEnabledItem) {
  struct Row {
    std::int64_t status;
    MenuItemState state;
    std::vector<std::string> calls;
  };
  for (const Row& row : {Row{kLoginItemNotRegistered, MenuItemState::off, {"login register"}},
                         Row{kLoginItemEnabled, MenuItemState::on, {"login unregister"}},
                         Row{kLoginItemRequiresApproval,
                             MenuItemState::off,
                             {"login register", "login open settings"}},
                         Row{kLoginItemNotFound, MenuItemState::off, {"login register"}}}) {
    App app;
    app.fake.settings.values["menuBarBoot.loginRegistered"] = true;
    app.launch();
    app.fake.loginItems.currentStatus = row.status;
    app.fake.timeline.clear();
    app.openMenu(kLoginItem);
    EXPECT_EQ(app.menuItem(kLoginItem).state, row.state) << row.status;
    EXPECT_EQ(app.seen({"login register", "login unregister", "login open", "set"}), row.calls);
  }
  App app;
  app.launch();
  app.fake.loginItems.currentStatus = kLoginItemEnabled;
  app.fake.loginItems.unregisterError = LoginItemError{"denied", "Code=1 \"denied\""};
  app.openMenu(kLoginItem);
  EXPECT_THAT(app.fake.log.lines, ElementsAre("ログイン項目の変更に失敗: Code=1 \"denied\""));
}

TEST(AppDelegate, TheUsersDockIsRestoredOnceWhicheverWayTheProgramEnds) {
  enum Step { quitItem, willTerminate, term, interrupt, hangUp, releaseDelegate };
  struct Row {
    std::vector<Step> steps;
    bool restored;
    std::vector<int> exits;
    bool writeFails = false;  // the record then stays, and still only one path restores
  };
  for (const Row& row :
       {Row{{quitItem}, true, {0}}, Row{{term}, true, {0}}, Row{{interrupt}, true, {0}},
        Row{{hangUp}, true, {0}}, Row{{quitItem, term}, true, {0, 0}},
        Row{{interrupt, willTerminate, hangUp}, true, {0, 0}},
        Row{{quitItem, term}, true, {0, 0}, true}, Row{{releaseDelegate, term}, false, {0}}}) {
    App app;
    if (row.writeFails) app.failing.insert(kRestore[1]);
    app.launch();
    app.fake.timeline.clear();
    std::vector<int> exits;
    for (Step step : row.steps) {
      if (step == quitItem) {
        if (auto status = app.openMenu(kQuitItem)) exits.push_back(*status);
      } else if (step == willTerminate) {
        app.delegate->applicationWillTerminate();
      } else if (step == releaseDelegate) {
        app.delegate.reset();
      } else {
        const std::size_t before = app.tools().size();
        app.fake.signals.raise(step == term ? SIGTERM : step == interrupt ? SIGINT : SIGHUP);
        EXPECT_EQ(app.tools().size(), before) << "handled on the main queue";
        for (int status : app.drainMainQueue()) exits.push_back(status);
      }
    }
    EXPECT_EQ(exits, row.exits);
    std::vector<std::string> restores = app.seen({"defaults write", "defaults delete", "killall"});
    EXPECT_EQ(restores, row.restored ? kRestore : std::vector<std::string>{});
    EXPECT_EQ(app.seen({"monitor removed"}).size(), row.restored ? 1u : 0u);
    EXPECT_EQ(app.fake.settings.boolForKey("originalDock.saved"), !row.restored || row.writeFails);
  }
}

TEST(AppDelegate, TheRestoreEndsARunningRevealWithoutHidingTheDock) {
  App app("1");
  app.launch();
  app.startReveal();
  app.delegate->applicationWillTerminate();
  EXPECT_FALSE(app.revealing());
  EXPECT_THAT(app.scripts(), ElementsAre(kShow));
}

TEST(AppDelegate, NothingHandedOutKeepsTheDelegateAliveOrActsOnceItIsGone) {
  App app("1");
  app.launch();
  const Action button = *app.item().action;
  app.openMenu();
  const Menu menu = *app.item().lastOpenedMenu;
  app.fake.hotKeys.press();  // queued before the delegate goes
  std::weak_ptr<AppDelegate> weak = app.delegate;
  app.delegate.reset();
  app.fake.application.delegate = nullptr;
  EXPECT_TRUE(weak.expired());
  app.fake.timeline.clear();

  app.fake.mainQueue.drain();
  button.perform();
  for (const MenuItem& entry : menu.items) {
    if (entry.action) entry.action->perform();
  }
  // The hot key lets go of its registration when the last work item goes; nothing else.
  EXPECT_THAT(app.fake.timeline.entries(), ElementsAre("hotkey unregister", "hotkey remove"));
}

}  // namespace
}  // namespace velmoryn
