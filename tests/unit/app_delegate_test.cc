// The delegate on the fakes: what a user, a script or the system does, and
// the calls to the platform that followed, as the fakes recorded them.
#include "app/app_delegate.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/switch_failure.h"
#include "unit/delegate_on_fakes.h"

namespace velmoryn {
namespace {

using Lines = std::vector<std::string>;
using enum testing::MenuEntry;
using testing::App;
using testing::choose;
using testing::click;
using testing::clickWith;
using testing::kReadAutohide;
using testing::kScript;
using testing::liftAtEdge;
using testing::openURL;
using testing::refuseAutomation;
using testing::rightClick;
using testing::Step;
using testing::toggleFromMenu;

const std::string kHide = "execute " + kScript + "set autohide to true";
const std::string kShow = "execute " + kScript + "set autohide to false";
const std::string kHiddenTip = "tooltip Velmoryn / Dock非表示中";
const std::string kShownTip = "tooltip Velmoryn / Dock表示中";
const std::string kLongDelay = "defaults write com.apple.dock autohide-delay -float 1000";
const std::string kUsersDelay = "defaults write com.apple.dock autohide-delay -float 0.5";
const std::string kUsersShown = "defaults write com.apple.dock autohide -bool false";
const std::string kSwipeStored = "set swipeRevealEnabled";
const std::string kRefused =
    "Velmoryn: Dockの切り替えに失敗しました（AppleScript エラー -1743）。システム設定 > "
    "プライバシーとセキュリティ > オートメーション で Velmoryn に System Events "
    "の操作を許可してください";
const std::string kNotRestored =
    "Velmoryn: Dockの設定を元に戻せませんでした。記録を残し、次回の終了時にもう一度戻します";

const Step pressHotKey = [](App& app) { app.fake.hotKeys.press(); };
const Step leaveEdge = [](App& app) {
  app.fake.screens.pointer = {700, 450};
  app.fake.timers.advance(1.0);
};
Step sendSignal(int number) {
  return [number](App& app) { app.fake.signals.raise(number); };
}
// With the pointer resting on the left edge, one notch toward it.
const Step liftAtLeftEdge = [](App& app) {
  app.fake.screens.pointer = {2, 450};
  app.fake.scrollMonitor.deliver({.scrollingDeltaX = 1});
};
const Step terminateNotice = [](App& app) { app.delegate->applicationWillTerminate(); };
// Switched in the system's settings, behind the program's back.
const Step dockShownElsewhere = [](App& app) { app.dock[kReadAutohide] = "0"; };
// Whatever was handed out then acts on nothing.
const Step releaseDelegate = [](App& app) {
  const std::optional<Action> button = app.fake.statusBar.item->action;
  const std::optional<Menu> menu = app.fake.statusBar.item->lastOpenedMenu;
  const std::weak_ptr<AppDelegate> weak = app.delegate;
  app.delegate.reset();
  app.fake.application.delegate = nullptr;
  EXPECT_TRUE(weak.expired()) << "nothing handed out keeps the delegate alive";
  if (button) button->perform();
  for (const MenuItem& entry : menu ? menu->items : std::vector<MenuItem>{})
    if (entry.action) entry.action->perform();
};
// SIGTERM's handler is queued, and the delegate goes before it runs.
const Step signalThenRelease = [](App& app) {
  sendSignal(15)(app);
  releaseDelegate(app);
};

// The kinds of call a row's effects list unless its test names others: the
// Dock's tools and scripts, the tooltip, teardown and the end.
const std::vector<std::string_view> kEffects = {"execute", "osascript", "defaults", "killall",
                                                "tooltip", "monitor r", "hotkey u", "hotkey r",
                                                "exit",    "terminate"};

struct Row {
  const char* name;
  bool dockHidden = false;  // the Dock's autohide as found at launch
  Step before = {};         // before the launch
  std::vector<Step> steps;  // after the launch
  Lines effects;
  Lines log = {};  // from the launch on
};

void check(const Row& row, const std::vector<std::string_view>& kinds = kEffects) {
  App app(row.dockHidden);
  if (row.before) row.before(app);
  app.run([](App& launching) { launching.launch(); });
  app.fake.timeline.clear();
  for (const Step& step : row.steps) app.run(step);
  EXPECT_EQ(app.fake.timeline.matching(kinds), row.effects) << row.name;
  EXPECT_EQ(app.fake.log.lines, row.log) << row.name;
}

TEST(AppDelegate, TheLaunchRecordsTheDockBeforeItChangesItAndOpensEarlyUrlsLast) {
  App app;
  app.delegate->applicationOpenURLs({"velmoryn://hide"});
  app.launch();
  EXPECT_EQ(app.fake.timeline.matching({"set", "login", "defaults w", "killall", "ignore", "source",
                                        "statusItem", "autosave", "mask", "hotkey reg", "monitor",
                                        "image", "description", "tooltip", "execute"}),
            (Lines{"set NSStatusItem Preferred Position Velmoryn",
                   "login register",
                   "set menuBarBoot.loginRegistered",
                   "set originalDock.autohideDelay",
                   "set originalDock.autohide",
                   "set originalDock.saved",
                   "ignore 15",
                   "source 15",
                   "ignore 2",
                   "source 2",
                   "ignore 1",
                   "source 1",
                   kLongDelay,
                   "killall Dock",
                   "statusItem -1",
                   "autosave Velmoryn",
                   "mask 20",
                   "hotkey register key 2 modifiers 6400 id VLMR 1 options 0",
                   "monitor 4194304",
                   "image template shown",
                   "description Velmoryn / Dock表示中",
                   kShownTip,
                   kHide,
                   "image template hidden",
                   "description Velmoryn / Dock非表示中",
                   kHiddenTip}));
}

// Without a record that outlasts a crash the launch leaves the Dock be, says
// why, and a switch and the quit still work.
TEST(AppDelegate, TheLaunchChangesTheDockOnlyWithTheRecordOnDisk) {
  const std::string notChanged = "ため、何も変更しませんでした。次回の起動時にもう一度記録します";
  const std::string notSaved = "Velmoryn: Dockの設定の記録を保存できなかった" + notChanged;
  const Row rows[] = {
      {.name = "the Dock could not be read: nothing on record to put back",
       .before = [](App& app) { app.failing.insert(kReadAutohide); },
       .steps = {click, choose(quit)},
       .effects = {kHide, kHiddenTip, kReadAutohide, kShownTip, "terminate", "monitor removed"},
       .log = {"Velmoryn: Dockの設定を読み取れなかった" + notChanged}},
      {.name = "the store could not write the record out",
       .before = [](App& app) { app.fake.settings.synchronizeSucceeds = false; },
       .steps = {click, terminateNotice},
       .effects = {kHide, kHiddenTip, "monitor removed", kUsersDelay, kUsersShown, "killall Dock"},
       .log = {notSaved, kNotRestored}},
      {.name = "the record does not read back",
       .before = [](App& app) { app.fake.settings.synchronizeLosesValues = true; },
       .steps = {click, terminateNotice},
       .effects = {kHide, kHiddenTip, "monitor removed", kUsersDelay, kUsersShown, "killall Dock"},
       .log = {notSaved}},
  };
  for (const Row& row : rows) check(row);
}

TEST(AppDelegate, WhatThePlatformRefusesStopsNeitherTheLaunchNorTheRest) {
  const auto lost = [](const char* signal) {
    return "Velmoryn: シグナル " + std::string(signal) +
           " を受け取れませんでした。このシグナルでは終了しません";
  };
  const Row rows[] = {
      {.name = "no status item",
       .dockHidden = true,
       .before = [](App& app) { app.fake.statusBar.returnNone = true; },
       .steps = {liftAtEdge, toggleFromMenu},
       .effects = {kShow, kShow}},
      {.name = "no hot key: a press does nothing, the menu still toggles, nothing to unregister",
       .before = [](App& app) { app.fake.hotKeys.registerStatus = -9878; },
       .steps = {pressHotKey, toggleFromMenu, releaseDelegate},
       .effects = {kHide, kHiddenTip, "hotkey remove"},
       .log = {"Velmoryn: ショートカット ⌃⌥⌘D を登録できませんでした（-9878）"}},
      {.name = "no signal sources: the signals are left ignored",
       .before = [](App& app) { app.fake.signals.refuseSources = true; },
       .steps = {sendSignal(15), toggleFromMenu},
       .effects = {kHide, kHiddenTip},
       .log = {lost("15"), lost("2"), lost("1")}},
  };
  for (const Row& row : rows) check(row);
}

// Opening the menu first adopts the Dock's mode, unless a reveal has lifted it.
TEST(AppDelegate, ARightOrControlClickOpensTheMenuAndEveryOtherClickToggles) {
  const std::uint64_t control = kControlModifierFlag, command = 0x100000, option = 0x80000;
  const auto withFlags = [](EventType type, std::uint64_t flags) {
    return clickWith(CurrentEvent{type, flags});
  };
  const Row rows[] = {
      {.name = "a left click, one the system did not describe, one with command and option",
       .steps = {click, clickWith(std::nullopt),
                 withFlags(EventType::leftMouseUp, command | option)},
       .effects = {kHide, kHiddenTip, kShow, kShownTip, kHide, kHiddenTip}},
      {.name = "a right click, and any click or event with control",
       .steps = {rightClick, withFlags(EventType::leftMouseUp, control),
                 withFlags(EventType::leftMouseUp, control | command),
                 withFlags(EventType::other, control)},
       .effects = {kReadAutohide, kShownTip, "performClick", kReadAutohide, kShownTip,
                   "performClick", kReadAutohide, kShownTip, "performClick", kReadAutohide,
                   kShownTip, "performClick"}},
      {.name = "hidden at launch, shown since",
       .dockHidden = true,
       .steps = {dockShownElsewhere, rightClick},
       .effects = {kReadAutohide, kShownTip, "performClick"}},
      {.name = "lifted by a reveal",
       .dockHidden = true,
       .steps = {liftAtEdge, dockShownElsewhere, rightClick},
       .effects = {kShow, "performClick"}},
  };
  for (const Row& row : rows) check(row, {"execute", "defaults", "tooltip", "performClick"});
}

TEST(AppDelegate, EachToggleFlipsTheProgramsOwnModeAndARevealEndsInShownMode) {
  const Row rows[] = {
      {.name = "a click during a reveal keeps the Dock up; leaving the edge then hides nothing",
       .dockHidden = true,
       .steps = {liftAtEdge, click, leaveEdge},
       .effects = {kShow, kShow, kShownTip}},
      {.name = "a refused switch changes neither mode nor icon",
       .steps = {refuseAutomation, click},
       .effects = {kHide, "osascript -e " + kScript + "set autohide to true"},
       .log = {kRefused}},
  };
  for (const Row& row : rows) check(row);
}

TEST(AppDelegate, AUrlBringsItsModeOnlyWhenItIsNotThereAndAnyOtherIsLogged) {
  const std::string ignored = "Velmoryn: 不明なURLを無視しました: velmoryn://";
  const Row rows[] = {
      {.name = "a mode asked for twice comes once, then each toggle flips",
       .steps = {openURL("velmoryn://show"), openURL("velmoryn://hide"), openURL("velmoryn://hide"),
                 openURL("velmoryn://toggle"), openURL("velmoryn://show"),
                 openURL("velmoryn://toggle")},
       .effects = {kHide, kHiddenTip, kShow, kShownTip, kHide, kHiddenTip}},
      {.name = "logged as printable ASCII, every escape whole",
       .steps = {openURL("velmoryn://\x1f\xe3\x7f")},
       .effects = {},
       .log = {ignored + "%1F%E3%7F"}},
      {.name = "cut at 100 characters, before an escape that would pass them",
       .steps = {openURL("velmoryn://" + std::string(87, 'a') + "\x01")},
       .effects = {},
       .log = {ignored + std::string(87, 'a') + "..."}},
  };
  for (const Row& row : rows) check(row);
}

TEST(AppDelegate, ASwipeLiftsTheHiddenDockOnlyWhileItsSwitchIsOn) {
  const Row rows[] = {
      {.name = "in shown mode there is nothing to lift", .steps = {liftAtEdge}, .effects = {}},
      {.name = "switched off it lifts nothing; on again, it lifts until the pointer leaves",
       .dockHidden = true,
       .steps = {choose(swipeSwitch), liftAtEdge, choose(swipeSwitch), liftAtEdge, leaveEdge},
       .effects = {kSwipeStored, kSwipeStored, kShow, kHide}},
      {.name = "switched off during a lift, the Dock hides at once and the lift is over",
       .dockHidden = true,
       .steps = {liftAtEdge, choose(swipeSwitch), leaveEdge},
       .effects = {kShow, kSwipeStored, kHide}},
      {.name = "a Dock on the left lifts from the first swipe on: the launch read its edge",
       .dockHidden = true,
       .before = [](App& app) { app.dock["defaults read com.apple.dock orientation"] = "left"; },
       .steps = {liftAtLeftEdge},
       .effects = {kShow}},
  };
  for (const Row& row : rows) check(row, {"execute", "set swipe"});
}

// Only an enabled item is unregistered; one waiting for approval shows where to give it.
TEST(AppDelegate, TheLoginSwitchRegistersUnlessEnabledAndShowsWhereToAllowIt) {
  const auto status = [](std::int64_t value) {
    return [value](App& app) { app.fake.loginItems.currentStatus = value; };
  };
  const auto answer = [](LoginItemResult::Outcome outcome) {
    return [outcome](App& app) {
      app.fake.loginItems.registerAnswer = app.fake.loginItems.unregisterAnswer =
          LoginItemResult{outcome, {"no", "E1"}};
    };
  };
  using enum LoginItemResult::Outcome;
  const Row rows[] = {
      {.name = "not registered",
       .steps = {status(kLoginItemNotRegistered), choose(loginSwitch)},
       .effects = {"login register"}},
      {.name = "enabled",
       .steps = {status(kLoginItemEnabled), choose(loginSwitch)},
       .effects = {"login unregister"}},
      {.name = "waiting for approval",
       .steps = {status(kLoginItemRequiresApproval), choose(loginSwitch)},
       .effects = {"login register", "login open settings"}},
      {.name = "switched off by the user",
       .steps = {status(kLoginItemNotRegistered), answer(needsApproval), choose(loginSwitch)},
       .effects = {"login register", "login open settings"}},
      {.name = "refused",
       .steps = {status(kLoginItemEnabled), answer(failed), choose(loginSwitch)},
       .effects = {"login unregister"},
       .log = {"ログイン項目の変更に失敗: E1"}},
  };
  for (const Row& row : rows) check(row, {"login r", "login u", "login o"});
}

// Each item as the user sees it: a tick, the title, "(off)" when disabled, the
// selector AppKit sends, the key, and its tooltip.
TEST(AppDelegate, TheMenuOffersTheOtherModeAndTicksWhatIsOn) {
  struct MenuRow {
    const char* name;
    bool dockHidden = false;
    std::optional<bool> swipeStored = {};
    bool displaySwitchOn = false;
    std::int64_t loginStatus;
    std::string shown;
  };
  const std::string swipeTip =
      "Dockのある画面端にポインタを置いて上へスワイプ（マウスはスクロール）すると、"
      "Dockを一時的に持ち上げます。";
  const MenuRow rows[] = {
      {.name = "shown, the swipe on while nothing is stored, the display rule on, registered",
       .displaySwitchOn = true,
       .loginStatus = kLoginItemEnabled,
       .shown = "Dockを隠す menuToggle |\n |\nショートカット: ⌃⌥⌘D (off) |\n"
                "[x] 画面端のスワイプで一時表示 toggleSwipeReveal |" +
                swipeTip + "\n" +
                "[x] 外部ディスプレイ接続中はDockを表示 toggleExternalDisplay |\n"
                "[x] ログイン時に起動 toggleLogin |\n |\nVelmoryn を終了 quit q|\n"},
      {.name = "hidden, the swipe off, waiting for approval is not ticked",
       .dockHidden = true,
       .swipeStored = false,
       .loginStatus = kLoginItemRequiresApproval,
       .shown = "Dockを表示 menuToggle |\n |\nショートカット: ⌃⌥⌘D (off) |\n"
                "画面端のスワイプで一時表示 toggleSwipeReveal |" +
                swipeTip + "\n" +
                "外部ディスプレイ接続中はDockを表示 toggleExternalDisplay |\n"
                "ログイン時に起動 toggleLogin |\n |\nVelmoryn を終了 quit q|\n"},
  };
  for (const MenuRow& row : rows) {
    App app(row.dockHidden);
    if (row.swipeStored) app.fake.settings.values["swipeRevealEnabled"] = *row.swipeStored;
    app.fake.settings.values["externalDisplay.showsDock"] = row.displaySwitchOn;
    app.fake.loginItems.currentStatus = row.loginStatus;
    app.fake.settings.values["menuBarBoot.loginRegistered"] = true;
    app.launch();
    rightClick(app);
    ASSERT_TRUE(app.fake.statusBar.item->lastOpenedMenu) << row.name;
    std::string shown;
    for (const MenuItem& item : app.fake.statusBar.item->lastOpenedMenu->items)
      shown += (item.state == MenuItemState::on ? "[x] " : "") + item.title +
               (item.enabled ? "" : " (off)") + (item.action ? " " + item.action->selector : "") +
               " " + item.keyEquivalent + "|" + item.toolTip + "\n";
    EXPECT_EQ(shown, row.shown) << row.name;
    EXPECT_FALSE(app.fake.statusBar.item->menu) << "the next click must reach the button";
  }
}

TEST(AppDelegate, TheUsersDockIsPutBackOnceWhicheverWayTheProgramEnds) {
  const Row rows[] = {
      {.name = "quit from the menu, with a write that fails, then SIGTERM",
       .before = [](App& app) { app.failing.insert(kUsersShown); },
       .steps = {choose(quit), sendSignal(15)},
       .effects = {kReadAutohide, kShownTip, "terminate", "monitor removed", kUsersDelay,
                   kUsersShown, "killall Dock", "exit 0"},
       .log = {kNotRestored}},
      {.name = "a signal that came just before the release still ends the process",
       .steps = {signalThenRelease},
       .effects = {"hotkey unregister", "hotkey remove", "exit 0"}},
      {.name = "released, the button, the menu and the hot key do nothing",
       .dockHidden = true,
       .steps = {rightClick, releaseDelegate, pressHotKey},
       .effects = {kReadAutohide, kHiddenTip, "hotkey unregister", "hotkey remove"}},
  };
  for (const Row& row : rows) check(row);
}

// AppKit may deliver a hot-key press, a URL or the reveal's timer while a
// switch waits for its AppleScript. What they ask for runs after that switch,
// never inside it, so the Dock ends as the last request left it and the icon
// says so.
TEST(AppDelegate, ASwitchAskedForWhileAnotherRunsRunsAfterIt) {
  const std::string returns = "(the running script returns)";
  struct Interrupted {
    const char* name;
    bool dockHidden = false;
    Step before = {};  // with no script interrupted
    Step interrupted, during;
    Lines effects;
  };
  const Interrupted rows[] = {
      {.name = "a URL for hidden mode during a lift hides the Dock once it is up",
       .dockHidden = true,
       .interrupted = liftAtEdge,
       .during = openURL("velmoryn://hide"),
       .effects = {kShow, returns, kHide, kHiddenTip}},
      {.name = "a hot-key press while the lift ends leaves the Dock shown",
       .dockHidden = true,
       .before = liftAtEdge,
       .interrupted = leaveEdge,
       .during = pressHotKey,
       .effects = {kHide, returns, kShow, kShownTip}},
  };
  for (const Interrupted& row : rows) {
    App app(row.dockHidden);
    app.launch();
    if (row.before) row.before(app);
    app.fake.timeline.clear();
    app.fake.appleScript.duringExecution = [&] {
      row.during(app);
      app.fake.mainQueue.drain();
      app.fake.timeline.add(returns);
    };
    row.interrupted(app);
    EXPECT_EQ(app.fake.timeline.matching({"execute", "tooltip", "("}), row.effects) << row.name;
  }
}

// Only a refused or undecided permission sends the user to the Automation settings.
TEST(AppDelegate, ASwitchThatFailedIsLoggedWithItsCause) {
  struct Failure {
    const char* name;
    std::optional<std::int64_t> scriptError = {};
    std::string line;
  };
  const std::string failed = "Velmoryn: Dockの切り替えに失敗しました";
  const std::string advice =
      "。システム設定 > プライバシーとセキュリティ > オートメーション で Velmoryn に System "
      "Events の操作を許可してください";
  const Failure rows[] = {
      {.name = "consent needed",
       .scriptError = -1744,
       .line = failed + "（AppleScript エラー -1744）" + advice},
      {.name = "a script error",
       .scriptError = -2700,
       .line = failed + "（AppleScript エラー -2700）"},
      {.name = "no script", .line = failed + "（切り替え用の AppleScript を用意できませんでした）"},
  };
  for (const Failure& row : rows)
    EXPECT_EQ(switchFailureLine(row.scriptError), row.line) << row.name;
}

}  // namespace
}  // namespace velmoryn
