// The delegate on the fakes: the steps a user, a script or the system takes, and what followed.
#include "app/app_delegate.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "app/switch_failure.h"
#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

constexpr const char* kReadAutohide = "defaults read com.apple.dock autohide";
constexpr const char* kReadDelay = "defaults read com.apple.dock autohide-delay";
constexpr const char* kWriteAutohide = "defaults write com.apple.dock autohide -bool false";
const std::string kHide =
    "tell application \"System Events\" to tell dock preferences to set autohide to true";
const std::string kOsaHide = "osascript -e " + kHide;
const LoginItemResult kDenied{LoginItemResult::Outcome::failed, {"no", "E1"}},
    kSwitchedOff{LoginItemResult::Outcome::needsApproval, {"no", "E2"}};

// The user's Dock as found: autohide as given, a short delay, at the bottom of one screen.
struct App {
  explicit App(const std::string& autohide = "0") {
    dock[kReadAutohide] = autohide;
    dock[kReadDelay] = "0.5";
    fake.processes.respond = [this](const ProcessRequest& request) {
      const std::string line = testing::FakeProcessRunner::lineOf(request);
      auto result = testing::FakeProcessRunner::output(dock.contains(line) ? dock[line] : "");
      if (failing.contains(line)) result.exitStatus = 1;
      return result;
    };
    fake.screens.list = {Screen{Rect{0, 0, 1440, 900}, Rect{0, 70, 1440, 805}}};
    fake.screens.pointer = {700, 300};
  }

  // "~" steps come before the launch; returns what the rest did (from the launch on: "~launch").
  std::string play(const std::string& steps) {
    std::istringstream in(steps);
    std::vector<std::string> after;
    for (std::string step; in >> step;)
      step[0] == '~' ? run(step.substr(1)) : after.push_back(step);
    fake.application.delegate = delegate.get();
    delegate->applicationDidFinishLaunching();
    if (!keepLaunch) fake.timeline.clear();
    for (const std::string& step : after) run(step);
    return effects();
  }

  void run(const std::string& step) {
    const std::uint64_t ctrl = kControlModifierFlag, cmd = 0x100000, opt = 0x80000;
    const auto at = [this](EventType type, std::uint64_t flags) {
      return [this, type, flags] { click(CurrentEvent{type, flags}); };
    };
    const auto left = EventType::leftMouseUp;
    const std::map<std::string, std::function<void()>> steps = {
        {"click", at(left, 0)},
        {"cmdOptClick", at(left, cmd | opt)},
        {"right", at(EventType::rightMouseUp, 0)},
        {"ctrlClick", at(left, ctrl)},
        {"ctrlCmdClick", at(left, ctrl | cmd)},
        {"ctrlOther", at(EventType::other, ctrl)},
        {"noEvent", [&] { click(std::nullopt); }},
        {"press", [&] { fake.hotKeys.press(); }},
        {"drain", [&] { drain(); }},
        {"|", [&] { fake.timeline.add("|"); }},
        // With the pointer resting on the Dock's edge, one notch toward it.
        {"reveal", [&] { pointer(2), fake.scrollMonitor.deliver({.scrollingDeltaY = 1}); }},
        {"leave", [&] { pointer(450), fake.timers.advance(1.0); }},
        {"menuToggle", [&] { delegate->menuToggle(); }},
        {"willTerminate", [&] { delegate->applicationWillTerminate(); }},
        // The user has refused the program control of System Events.
        {"refuse", [&] { fake.appleScript.executeReportsError = -1743, failing = {kOsaHide}; }},
        {"deny", [&] { fake.loginItems.unregisterAnswer = kDenied; }},
        // The user has switched the login item off in the system's settings.
        {"switchedOff", [&] { fake.loginItems.registerAnswer = kSwitchedOff; }},
        {"writeFails", [&] { failing.insert(kWriteAutohide); }},
        {"readFails", [&] { failing.insert(kReadAutohide); }},
        {"noButton", [&] { fake.statusBar.withButton = false; }},
        {"noItem", [&] { fake.statusBar.returnNone = true; }},
        {"noHotKey", [&] { fake.hotKeys.registerStatus = -9878; }},
        {"noSignals", [&] { fake.signals.refuseSources = true; }},
        {"release", [&] { release(); }},
        {"launch", [&] { keepLaunch = true; }}};
    try {
      if (steps.contains(step)) {
        steps.at(step)();
      } else if (step.starts_with("menu")) {  // a right click, then the item
        fake.statusBar.item->choose = std::stoul(step.substr(4));
        run("right");
      } else if (step.starts_with("sig")) {  // handled on the main queue
        fake.signals.raise(std::stoi(step.substr(3)));
        fake.timeline.add("|");
        drain();
      } else if (step.starts_with("dock")) {  // switched elsewhere
        dock[kReadAutohide] = step.substr(4);
      } else if (step.starts_with("login")) {
        fake.loginItems.currentStatus = std::stoi(step.substr(5));
      } else {
        delegate->applicationOpenURLs({step[0] == ':' ? step.substr(1) : "velmoryn://" + step});
      }
    } catch (const testing::ProcessExit&) {
    }
  }
  void click(std::optional<CurrentEvent> event) {
    const std::size_t opened = fake.timeline.matching({"performClick"}).size();
    fake.application.event = event;
    fake.statusBar.item->click();
    if (fake.timeline.matching({"performClick"}).size() == opened) return;
    // The menu as shown: the toggle's title, the swipe and the login switches.
    const auto& items = fake.statusBar.item->lastOpenedMenu->items;
    const auto on = [&](std::size_t i) { return items[i].state == MenuItemState::on ? "+" : "-"; };
    fake.timeline.add("☰" + items[0].title + on(3) + on(5) +
                      (fake.statusBar.item->menu ? " attached" : ""));
  }
  void pointer(double y) { fake.screens.pointer = {700, y}; }
  void drain() {
    for (bool more = true; more;) try {
        more = fake.mainQueue.runOne();
      } catch (const testing::ProcessExit&) {
      }
  }
  // Whatever was handed out then acts on nothing.
  void release() {
    const std::optional<Action> button = fake.statusBar.item->action;
    const std::optional<Menu> menu = fake.statusBar.item->lastOpenedMenu;
    const std::weak_ptr<AppDelegate> weak = delegate;
    delegate.reset();
    fake.application.delegate = nullptr;
    fake.timeline.add(weak.expired() ? "released" : "kept alive");
    if (button) button->perform();
    for (const MenuItem& entry : menu ? menu->items : std::vector<MenuItem>{})
      if (entry.action) entry.action->perform();
    drain();
  }

  // The Dock switched and read, the icon, the menu, tools, process, login item; the log up to "。".
  std::string effects() const {
    std::string out;
    for (std::string entry : fake.timeline.matching(
             {"execute",  "tooltip",    "defaults",   "killall", "☰",       "|",
              "exit",     "terminate",  "monitor",    "login r", "login u", "login o",
              "hotkey u", "hotkey rem", "set swipe",  "rel",     "set NS",  "set originalDock.s",
              "ignore",   "source",     "statusItem", "mask"})) {
      if (entry.starts_with("execute")) entry = entry.ends_with("true") ? "hide" : "show";
      if (entry == "tooltip Velmoryn / Dock表示中") entry = "=shown";
      if (entry == "tooltip Velmoryn / Dock非表示中") entry = "=hidden";
      if (entry == kReadAutohide) entry = "read";
      if (entry.starts_with("defaults read")) continue;
      if (entry.starts_with("defaults"))
        entry = entry.substr(9).erase(entry.find(" com.apple.dock") - 9, 15);
      out += entry + "; ";
    }
    for (const std::string& line : fake.log.lines)
      out += "log " +
             line.substr(0, line.find("。")).substr(line.starts_with("Velmoryn: ") ? 10 : 0) + "; ";
    return out.substr(0, out.size() - std::min<std::size_t>(out.size(), 2));
  }

  testing::FakePlatform fake;
  std::map<std::string, std::string> dock;  // what each tool run prints
  std::set<std::string> failing;            // tool runs that exit with status 1
  std::shared_ptr<AppDelegate> delegate = AppDelegate::create(
      std::make_unique<Dock>(), std::make_unique<MenuBarBoot>(CommandLine::plainLaunch));
  bool keepLaunch = false;
};

TEST(AppDelegate, TheMenuReadsAsTheUserSeesIt) {
  App app;
  app.play("right");
  std::string shown;
  for (const MenuItem& item : app.fake.statusBar.item->lastOpenedMenu->items)
    shown += item.title + (item.enabled ? "" : " (off)") +
             (item.action ? " " + item.action->selector : "") + " " + item.keyEquivalent + "|" +
             item.toolTip.substr(0, item.toolTip.find("ポインタ")) + "\n";
  EXPECT_EQ(shown,
            "Dockを隠す menuToggle |\n |\nショートカット: ⌃⌥⌘D (off) |\n"
            "画面端のスワイプで一時表示 toggleSwipeReveal |Dockのある画面端に\n"
            "外部ディスプレイ接続中はDockを表示 toggleExternalDisplay |\n"
            "ログイン時に起動 toggleLogin |\n |\nVelmoryn を終了 quit q|\n");
}

// The Dock's autohide as found, the steps, and what the program then did.
TEST(AppDelegate, DoesWhatTheStepsAsk) {
  for (const auto& [autohide, steps, effects] : std::vector<std::array<std::string, 3>>{
           // The launch records the Dock before it changes it, adopts its mode and
           // only then opens a URL that came early.
           {"0", "~launch ~hide",
            "set NSStatusItem Preferred Position Velmoryn; login register; read; set "
            "originalDock.saved; ignore 15; source 15; ignore 2; source 2; ignore 1; source 1; "
            "write autohide-delay -float 1000; killall Dock; read; statusItem -1; mask 20; "
            "monitor 4194304; =shown; hide; =hidden"},
           // Nothing on record: nothing changed at launch nor put back at the end.
           {"0", "~launch ~readFails menu7",
            "set NSStatusItem Preferred Position Velmoryn; login register; read; read; ignore 15; "
            "source 15; ignore 2; source 2; ignore 1; source 1; read; statusItem -1; mask 20; "
            "monitor 4194304; =shown; read; =shown; terminate; monitor removed; log "
            "Dockの設定を読み取れなかったため、何も変更しませんでした"},
           // The launch goes on whatever the platform refuses.
           {"1", "~noButton reveal menuToggle", "show; show"},
           {"1", "~noItem reveal menuToggle", "show; show"},
           {"0", "~noHotKey press drain menuToggle",
            "hide; =hidden; log ショートカット ⌃⌥⌘D を登録できませんでした（-9878）"},
           {"0", "~noSignals sig15 menuToggle",
            "|; hide; =hidden; log シグナル 15 を受け取れませんでした; log シグナル "
            "2 を受け取れませんでした; log シグナル 1 を受け取れませんでした"},
           // A right click or any click with Control opens the menu, which first adopts
           // the Dock's mode unless a reveal has lifted it; every other click toggles.
           {"0", "click noEvent cmdOptClick", "hide; =hidden; show; =shown; hide; =hidden"},
           {"0", "right ctrlClick ctrlCmdClick ctrlOther",
            "read; =shown; ☰Dockを隠す++; read; =shown; ☰Dockを隠す++; read; =shown; "
            "☰Dockを隠す++; read; =shown; ☰Dockを隠す++"},
           {"1", "dock0 right", "read; =shown; ☰Dockを隠す++"},
           {"1", "reveal dock0 right", "show; ☰Dockを表示++"},
           // Each toggle flips the program's own mode; the hot key's waits for the main
           // queue; during a reveal the Dock stays up; a refused switch changes nothing.
           {"0", "click press | drain menu2 menu0",
            "hide; =hidden; |; show; =shown; read; =shown; ☰Dockを隠す++; read; "
            "=shown; hide; =hidden; ☰Dockを隠す++"},
           {"1", "reveal click leave", "show; show; =shown"},
           {"0", "refuse click",
            "hide; log Dockの切り替えに失敗しました（AppleScript エラー -1743）"},
           // Nothing runs when the mode asked for is there already and no reveal runs.
           {"0", "hide hide", "hide; =hidden"},
           {"0", "show", ""},
           {"1", "show toggle", "show; =shown; hide; =hidden"},
           {"1", "reveal hide", "show; hide; =hidden"},
           {"1", "reveal show", "show; show; =shown"},
           {"0", ":velmoryn://hide?x", "log 不明なURLを無視しました: velmoryn://hide?x"},
           // Logged as one short line of printable ASCII, every escape whole.
           {"0", ":velmoryn://\x01\xe3\x7f", "log 不明なURLを無視しました: velmoryn://%01%E3%7F"},
           {"0", ":velmoryn://" + std::string(87, 'a') + "\x01",
            "log 不明なURLを無視しました: velmoryn://" + std::string(87, 'a') + "..."},
           {"0", "reveal", ""},
           {"1", "menu3 reveal menu3 reveal leave reveal menu3 leave",
            "read; =hidden; set swipeRevealEnabled; ☰Dockを表示++; read; =hidden; "
            "set swipeRevealEnabled; ☰Dockを表示-+; show; hide; show; set "
            "swipeRevealEnabled; hide; ☰Dockを表示++"},
           // Only an enabled item is unregistered; one waiting for approval shows where to give it.
           {"0", "login0 menu5", "read; =shown; login register; ☰Dockを隠す+-"},
           {"0", "login1 menu5", "read; =shown; login unregister; ☰Dockを隠す++"},
           {"0", "login2 menu5",
            "read; =shown; login register; login open settings; ☰Dockを隠す+-"},
           {"0", "login0 switchedOff menu5",
            "read; =shown; login register; login open settings; ☰Dockを隠す+-"},
           {"0", "login1 deny menu5",
            "read; =shown; login unregister; ☰Dockを隠す++; log ログイン項目の変更に失敗: E1"},
           // The user's Dock is put back once, whichever way the program ends; whatever
           // was handed out lets the delegate go.
           {"0", "sig2 willTerminate sig1 sig15",
            "|; monitor removed; write autohide-delay -float 0.5; write autohide -bool false; "
            "killall Dock; exit 0; |; exit 0; |; exit 0"},
           {"0", "writeFails menu7 sig15",
            "read; =shown; terminate; monitor removed; write autohide-delay -float 0.5; write "
            "autohide -bool false; killall Dock; |; exit 0; log Dockの設定を元に戻せませんでした"},
           {"1", "reveal willTerminate leave",
            "show; monitor removed; write autohide-delay -float 0.5; write autohide -bool true; "
            "killall Dock"},
           {"0", "release sig15", "hotkey unregister; hotkey remove; released; |; exit 0"},
           {"1", "right press release",
            "read; =hidden; ☰Dockを表示++; released; hotkey unregister; hotkey remove"}}) {
    App app(autohide);
    EXPECT_EQ(app.play(steps), effects) << "autohide " << autohide << ": " << steps;
  }
}

// AppKit may deliver a hot-key press, a URL or the reveal's timer while a switch
// waits for its AppleScript ("|" marks the script's return). What they ask for
// runs after that switch, never inside it, so the Dock ends as the last request
// left it and the icon says so.
TEST(AppDelegate, ASwitchAskedForWhileAnotherRunsRunsAfterIt) {
  const auto click = [](App& app) { app.click(CurrentEvent{EventType::leftMouseUp, 0}); };
  const auto pressHotKey = [](App& app) { app.fake.hotKeys.press(), app.drain(); };
  const auto liftAtEdge = [](App& app) {
    app.pointer(2), app.fake.scrollMonitor.deliver({.scrollingDeltaY = 1});
  };
  const auto leaveEdge = [](App& app) { app.pointer(450), app.fake.timers.advance(1.0); };
  const auto openHideURL = [](App& app) { app.delegate->applicationOpenURLs({"velmoryn://hide"}); };
  struct Row {
    std::string name;
    std::string autohide;                   // the Dock's, as found at launch
    std::function<void(App&)> before = {};  // with no script interrupted
    std::function<void(App&)> interrupted, during;
    std::string effects;
  };
  const Row rows[] = {
      {.name = "a hot-key press during a click's hide shows the Dock again afterwards",
       .autohide = "0",
       .interrupted = click,
       .during = pressHotKey,
       .effects = "hide; |; =hidden; show; =shown"},
      {.name = "a URL for hidden mode during a lift hides the Dock once it is up",
       .autohide = "1",
       .interrupted = liftAtEdge,
       .during = openHideURL,
       .effects = "show; |; hide; =hidden"},
      {.name = "a hot-key press while the lift ends leaves the Dock shown",
       .autohide = "1",
       .before = liftAtEdge,
       .interrupted = leaveEdge,
       .during = pressHotKey,
       .effects = "hide; |; show; =shown"},
  };
  for (const Row& row : rows) {
    App app(row.autohide);
    app.play("");
    if (row.before) row.before(app);
    app.fake.timeline.clear();
    app.fake.appleScript.duringExecution = [&] {
      row.during(app);
      app.fake.timeline.add("|");
    };
    row.interrupted(app);
    EXPECT_EQ(app.effects(), row.effects) << row.name;
  }
}

// The launch changes the Dock only once the record is on disk; otherwise it
// changes nothing, says why, and a switch and the quit still work.
TEST(AppDelegate, TheLaunchChangesTheDockOnlyWithTheRecordOnDisk) {
  struct Row {
    const char* name;
    bool flushed = true;            // the store wrote itself out
    bool readBack = true;           // and the record came back from it
    std::vector<std::string> runs;  // the Dock's tools: launch, a click that hides, the quit
    std::vector<std::string> log;
  };
  const std::vector<std::string> clickAndQuit = {
      "execute " + kHide, "defaults write com.apple.dock autohide-delay -float 0.5",
      "defaults write com.apple.dock autohide -bool false", "killall Dock"};
  const std::string notSaved =
      "Velmoryn: Dockの設定の記録を保存できなかったため、何も変更しませんでした。"
      "次回の起動時にもう一度記録します";
  std::vector<std::string> launched = {"defaults write com.apple.dock autohide-delay -float 1000",
                                       "killall Dock"};
  launched.insert(launched.end(), clickAndQuit.begin(), clickAndQuit.end());
  for (const Row& row : std::vector<Row>{
           {.name = "a record on disk lets the launch raise the delay",
     .runs = launched,
     .log = {}},
           {.name = "a record the store could not write out changes nothing at launch",
           .flushed = false,
           .runs = clickAndQuit,
           .log = {notSaved,
                   "Velmoryn: "
                   "Dockの設定を元に戻せませんでした。記録を残し、次回の終了時にもう一度戻します"}},
           {.name = "a record that does not read back changes nothing at launch",
           .readBack = false,
           .runs = clickAndQuit,
           .log = {notSaved}}}) {
    App app;
    app.fake.settings.synchronizeSucceeds = row.flushed;
    app.fake.settings.synchronizeLosesValues = !row.readBack;
    app.fake.application.delegate = app.delegate.get();
    app.delegate->applicationDidFinishLaunching();
    app.click(CurrentEvent{EventType::leftMouseUp, 0});
    app.delegate->applicationWillTerminate();
    EXPECT_EQ(app.fake.timeline.matching({"defaults w", "killall", "execute"}), row.runs)
        << row.name;
    EXPECT_EQ(app.fake.log.lines, row.log) << row.name;
  }
}

// Only a refused or undecided permission sends the user to the Automation settings.
TEST(AppDelegate, ASwitchThatFailedIsLoggedWithItsCause) {
  struct Row {
    const char* name;
    std::optional<std::int64_t> scriptError;
    std::string line;
  };
  const std::string failed = "Velmoryn: Dockの切り替えに失敗しました";
  const std::string advice =
      "。システム設定 > プライバシーとセキュリティ > オートメーション で Velmoryn に System "
      "Events の操作を許可してください";
  for (const Row& row :
       std::vector<Row>{{"refused", -1743, failed + "（AppleScript エラー -1743）" + advice},
                        {"consent needed", -1744, failed + "（AppleScript エラー -1744）" + advice},
                        {"barred by a sandbox", -1742, failed + "（AppleScript エラー -1742）"},
                        {"a script error", -2700, failed + "（AppleScript エラー -2700）"},
                        {"no script", std::nullopt,
                         failed + "（切り替え用の AppleScript を用意できませんでした）"}})
    EXPECT_EQ(switchFailureLine(row.scriptError), row.line) << row.name;
}

}  // namespace
}  // namespace velmoryn
