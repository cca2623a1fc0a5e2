#include "app/app_delegate.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "dock/dock_testing.h"
#include "fakes/fake_platform.h"

namespace velmoryn {

// Reaches the delegate's state the way the platform cannot.
class AppDelegateTestPeer {
 public:
  static bool hiddenState(const AppDelegate& d) { return d.hiddenState; }
  static bool restored(const AppDelegate& d) { return d.restored; }
  static std::shared_ptr<EdgeReveal> edgeReveal(const AppDelegate& d) { return d.edgeReveal; }
  static bool hasHotKey(const AppDelegate& d) { return d.hotKey != nullptr; }
  static std::size_t signalSources(const AppDelegate& d) { return d.signalSources.size(); }
};

namespace {

using ::testing::ElementsAre;
using testing::FakePlatform;
using ::testing::IsEmpty;
using testing::ProcessExit;
using Peer = AppDelegateTestPeer;

constexpr const char* kHideScript =
    "execute tell application \"System Events\" to tell dock preferences to set autohide to true";
constexpr const char* kShowScript =
    "execute tell application \"System Events\" to tell dock preferences to set autohide to false";

constexpr const char* kReadDelay = "defaults read com.apple.dock autohide-delay";
constexpr const char* kReadAutohide = "defaults read com.apple.dock autohide";
constexpr const char* kReadOrientation = "defaults read com.apple.dock orientation";
constexpr const char* kWriteDelay = "defaults write com.apple.dock autohide-delay -float 1000";
constexpr const char* kRestartDock = "killall Dock";

constexpr std::size_t kToggleItem = 0, kShortcutItem = 2, kSwipeItem = 3, kLoginItem = 4,
                      kQuitItem = 6;

// ---- recording decorators: one timeline across the services, in call order

using Timeline = std::vector<std::string>;

class RecordingSettings : public SettingsStore {
 public:
  RecordingSettings(SettingsStore& inner, Timeline& timeline) : inner(inner), timeline(timeline) {}
  std::optional<SettingsValue> object(const std::string& key) const override {
    return inner.object(key);
  }
  void setBool(const std::string& key, bool value) override {
    timeline.push_back("set " + key);
    inner.setBool(key, value);
  }
  void setInteger(const std::string& key, std::int64_t value) override {
    timeline.push_back("set " + key);
    inner.setInteger(key, value);
  }
  void setDouble(const std::string& key, double value) override {
    timeline.push_back("set " + key);
    inner.setDouble(key, value);
  }
  void remove(const std::string& key) override {
    timeline.push_back("remove " + key);
    inner.remove(key);
  }
  bool synchronize() override {
    timeline.push_back("synchronize");
    return inner.synchronize();
  }

 private:
  SettingsStore& inner;  // safe because the fakes outlive the decorators
  Timeline& timeline;
};

class RecordingLoginItems : public LoginItemService {
 public:
  RecordingLoginItems(LoginItemService& inner, Timeline& timeline)
      : inner(inner), timeline(timeline) {}
  std::int64_t status() override { return inner.status(); }
  std::optional<LoginItemError> registerApp() override {
    timeline.push_back("login register");
    return inner.registerApp();
  }
  std::optional<LoginItemError> unregisterApp() override {
    timeline.push_back("login unregister");
    return inner.unregisterApp();
  }
  void openSystemSettingsLoginItems() override { inner.openSystemSettingsLoginItems(); }

 private:
  LoginItemService& inner;
  Timeline& timeline;
};

class RecordingSignals : public SignalService {
 public:
  RecordingSignals(SignalService& inner, Timeline& timeline) : inner(inner), timeline(timeline) {}
  void ignore(int sig) override {
    timeline.push_back("ignore " + std::to_string(sig));
    inner.ignore(sig);
  }
  std::unique_ptr<SignalSource> makeSource(int sig, std::function<void()> handler) override {
    timeline.push_back("source " + std::to_string(sig));
    auto made = inner.makeSource(sig, std::move(handler));
    if (!made) return nullptr;
    return std::make_unique<Source>(std::move(made), timeline, sig);
  }

 private:
  class Source : public SignalSource {
   public:
    Source(std::unique_ptr<SignalSource> inner, Timeline& timeline, int sig)
        : inner(std::move(inner)), timeline(timeline), sig(sig) {}
    void resume() override {
      timeline.push_back("resume " + std::to_string(sig));
      inner->resume();
    }

   private:
    std::unique_ptr<SignalSource> inner;
    Timeline& timeline;
    int sig;
  };
  SignalService& inner;
  Timeline& timeline;
};

class RecordingStatusBar : public StatusBar {
 public:
  RecordingStatusBar(StatusBar& inner, Timeline& timeline) : inner(inner), timeline(timeline) {}
  std::unique_ptr<StatusItem> statusItem(double length) override {
    timeline.push_back("statusItem " + std::to_string(static_cast<int>(length)));
    auto made = inner.statusItem(length);
    if (!made) return nullptr;
    return std::make_unique<Item>(std::move(made), timeline);
  }

 private:
  class Item : public StatusItem {
   public:
    Item(std::unique_ptr<StatusItem> inner, Timeline& timeline)
        : inner(std::move(inner)), timeline(timeline) {}
    void setAutosaveName(const std::string& name) override {
      timeline.push_back("autosave " + name);
      inner->setAutosaveName(name);
    }
    bool hasButton() const override { return inner->hasButton(); }
    void setButtonAction(Action action) override {
      timeline.push_back("action " + action.selector);
      inner->setButtonAction(std::move(action));
    }
    void sendActionOn(std::uint64_t mask) override {
      timeline.push_back("mask " + std::to_string(mask));
      inner->sendActionOn(mask);
    }
    void setButtonImage(const IconImage& image) override {
      timeline.push_back(std::string("image ") + (image.hidden ? "hidden" : "shown"));
      inner->setButtonImage(image);
    }
    void setButtonImageDescription(const std::string& text) override {
      inner->setButtonImageDescription(text);
    }
    void setButtonToolTip(const std::string& toolTip) override {
      timeline.push_back("tooltip " + toolTip);
      inner->setButtonToolTip(toolTip);
    }
    void setMenu(std::optional<Menu> menu) override { inner->setMenu(std::move(menu)); }
    void performClick() override { inner->performClick(); }

   private:
    std::unique_ptr<StatusItem> inner;
    Timeline& timeline;
  };
  StatusBar& inner;
  Timeline& timeline;
};

class RecordingHotKeys : public HotKeyService {
 public:
  RecordingHotKeys(HotKeyService& inner, Timeline& timeline) : inner(inner), timeline(timeline) {}
  EventTargetRef applicationEventTarget() override { return inner.applicationEventTarget(); }
  OSStatus installEventHandler(EventTargetRef target, EventHandlerProc handler, std::uint32_t n,
                               const EventTypeSpec* types, void* userData,
                               EventHandlerRef* outRef) override {
    timeline.push_back("hotkey install");
    return inner.installEventHandler(target, handler, n, types, userData, outRef);
  }
  OSStatus registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID id,
                               EventTargetRef target, std::uint32_t options,
                               EventHotKeyRef* outRef) override {
    timeline.push_back("hotkey register");
    return inner.registerEventHotKey(keyCode, modifiers, id, target, options, outRef);
  }
  OSStatus unregisterEventHotKey(EventHotKeyRef ref) override {
    return inner.unregisterEventHotKey(ref);
  }
  OSStatus removeEventHandler(EventHandlerRef ref) override {
    return inner.removeEventHandler(ref);
  }

 private:
  HotKeyService& inner;
  Timeline& timeline;
};

class RecordingScrollMonitor : public ScrollMonitorService {
 public:
  RecordingScrollMonitor(ScrollMonitorService& inner, Timeline& timeline)
      : inner(inner), timeline(timeline) {}
  std::optional<MonitorToken> addGlobalMonitor(
      std::uint64_t mask, std::function<void(const ScrollEvent&)> handler) override {
    timeline.push_back("monitor " + std::to_string(mask));
    return inner.addGlobalMonitor(mask, std::move(handler));
  }
  void removeMonitor(MonitorToken token) override {
    timeline.push_back("monitor removed");
    inner.removeMonitor(token);
  }

 private:
  ScrollMonitorService& inner;
  Timeline& timeline;
};

class RecordingProcess : public ProcessEnvironment {
 public:
  RecordingProcess(ProcessEnvironment& inner, Timeline& timeline)
      : inner(inner), timeline(timeline) {}
  std::vector<std::string> arguments() override {
    timeline.push_back("arguments");
    return inner.arguments();
  }
  void printLine(const std::string& text) override { inner.printLine(text); }
  void exit(int status) override {
    timeline.push_back("exit " + std::to_string(status));
    inner.exit(status);
  }

 private:
  ProcessEnvironment& inner;
  Timeline& timeline;
};

// ---- the fixture

class AppDelegateTest : public ::testing::Test {
 protected:
  AppDelegateTest() {
    fake.processes.respond = [this](const ProcessRequest& request) {
      std::string line = request.path.substr(request.path.rfind('/') + 1);
      for (const auto& arg : request.args) line += " " + arg;
      timeline.push_back("run " + line);
      auto found = answers.find(line);
      auto result = testing::FakeProcessRunner::output(found == answers.end() ? "" : found->second);
      if (failing.contains(line)) result.exitStatus = 1;
      return result;
    };
    // The user's Dock as found: autohide off, a short delay of their own.
    answers[kReadAutohide] = "0";
    answers[kReadDelay] = "0.5";
    // One screen with room for the Dock at the bottom.
    fake.screens.list = {Screen{Rect{0, 0, 1440, 900}, Rect{0, 70, 1440, 805}}};
    fake.screens.pointer = {700, 300};

    Platform services = platform();
    services.settings = &settings;
    services.loginItems = &loginItems;
    services.signals = &signals;
    services.statusBar = &statusBar;
    services.hotKeys = &hotKeys;
    services.scrollMonitor = &scrollMonitor;
    services.process = &process;
    installPlatform(services);
  }

  ~AppDelegateTest() override { delegate.reset(); }

  // Creates the delegate, makes it the application's, and launches it.
  void launch() {
    delegate = AppDelegate::create();
    fake.application.setDelegate(delegate.get());
    delegate->applicationDidFinishLaunching();
  }

  testing::FakeStatusItem& item() { return *fake.statusBar.item; }

  // The exit status of whatever ends the process inside the call.
  static std::optional<int> exitStatusOf(const std::function<void()>& call) {
    try {
      call();
    } catch (const ProcessExit& exit) {
      return exit.status;
    }
    return std::nullopt;
  }

  // Runs the main queue to its end; the exit statuses of the work that ended the process.
  std::vector<int> drainMainQueue() {
    std::vector<int> exits;
    for (;;) {
      try {
        if (!fake.mainQueue.runOne()) return exits;
      } catch (const ProcessExit& exit) {
        exits.push_back(exit.status);
      }
    }
  }

  void leftClick() {
    fake.application.event = CurrentEvent{EventType::leftMouseUp, 0};
    item().click();
  }

  // Opens the menu with a right click and chooses an item, or none.
  std::optional<int> openMenu(std::optional<std::size_t> choice = std::nullopt) {
    fake.application.event = CurrentEvent{EventType::rightMouseUp, 0};
    item().choose = choice;
    return exitStatusOf([this] { item().click(); });
  }

  const Menu& lastMenu() { return *item().lastOpenedMenu; }

  std::vector<std::string> scripts() const {
    std::vector<std::string> executed;
    for (const auto& entry : fake.appleScript.log) {
      if (entry.starts_with("execute ")) executed.push_back(entry);
    }
    return executed;
  }

  // With the Dock hidden at the bottom edge and the pointer resting on it,
  // one notch of the wheel toward the edge lifts the Dock.
  void startReveal() {
    fake.screens.pointer = {700, 2};
    ScrollEvent notch;
    notch.scrollingDeltaY = 1.0;
    fake.scrollMonitor.deliver(notch);
  }

  bool revealing() { return Peer::edgeReveal(*delegate)->isRevealing(); }

  FakePlatform fake;
  Timeline timeline;
  std::map<std::string, std::string> answers;
  std::set<std::string> failing;  // tool runs that exit with status 1
  RecordingSettings settings{fake.settings, timeline};
  RecordingLoginItems loginItems{fake.loginItems, timeline};
  RecordingSignals signals{fake.signals, timeline};
  RecordingStatusBar statusBar{fake.statusBar, timeline};
  RecordingHotKeys hotKeys{fake.hotKeys, timeline};
  RecordingScrollMonitor scrollMonitor{fake.scrollMonitor, timeline};
  RecordingProcess process{fake.process, timeline};
  std::shared_ptr<AppDelegate> delegate;
};

// ---- creation and launch

TEST_F(AppDelegateTest, CreationDoesNoWorkUntilTheLaunchNotification) {
  delegate = AppDelegate::create();

  EXPECT_THAT(timeline, IsEmpty());
  EXPECT_FALSE(Peer::hiddenState(*delegate));
  EXPECT_FALSE(Peer::restored(*delegate));
  EXPECT_FALSE(Peer::hasHotKey(*delegate));
  EXPECT_EQ(fake.statusBar.item, nullptr);
}

TEST_F(AppDelegateTest, LaunchRunsItsSeventeenStepsInOrder) {
  launch();

  // The backup's own bookkeeping keys are its business; its completion marker shows when.
  std::vector<std::string> seen;
  for (const auto& event : timeline) {
    if (event.starts_with("set originalDock.autohide") ||
        event.starts_with("remove originalDock.autohide")) {
      continue;
    }
    seen.push_back(event);
  }
  EXPECT_THAT(seen, ElementsAre(
                        // 1. the --login command line: not given
                        "arguments",
                        // 2. position seed, before the status item exists
                        "set NSStatusItem Preferred Position Velmoryn",
                        // 3. first-launch login registration
                        "login register", "set menuBarBoot.loginRegistered",
                        // 4. the user's own Dock settings on record
                        std::string("run ") + kReadDelay, std::string("run ") + kReadAutohide,
                        "set originalDock.saved",
                        // 5. signal handlers: SIGTERM, SIGINT, SIGHUP
                        "ignore 15", "source 15", "resume 15", "ignore 2", "source 2", "resume 2",
                        "ignore 1", "source 1", "resume 1",
                        // 6. the delay check: 0.5 is short, so 1000 and a Dock restart
                        std::string("run ") + kReadDelay, std::string("run ") + kWriteDelay,
                        std::string("run ") + kRestartDock,
                        // 7. the Dock's edge
                        std::string("run ") + kReadOrientation,
                        // 8. adopt autohide
                        std::string("run ") + kReadAutohide,
                        // 9-13. the status item
                        "statusItem -1", "autosave Velmoryn", "action statusClicked", "mask 20",
                        // 14. the hot key
                        "hotkey install", "hotkey register",
                        // 15-16. the edge reveal, watching scroll-wheel events
                        "monitor 4194304",
                        // 17. the icon
                        "image shown", "tooltip Velmoryn / Dock表示中"));
  // The record holds the user's delay, not the program's.
  EXPECT_EQ(fake.settings.object("originalDock.autohideDelay"), SettingsValue(0.5));
  // Launch adopts the mode; it neither hides nor shows the Dock.
  EXPECT_THAT(scripts(), IsEmpty());
  EXPECT_EQ(Peer::signalSources(*delegate), 3u);
}

TEST_F(AppDelegateTest, LaunchChangesNothingWhenTheDelayIsLongOrTheRecordCouldNotBeTaken) {
  struct Case {
    const char* delay;
    bool readFails;  // every read of the delay ends with status 1 and an error text
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"150", false, {kReadDelay, kReadAutohide, kReadDelay, kReadOrientation, kReadAutohide}},
      // Read twice for the record, then no delay check: a restore could not undo it.
      {"0.5", true, {kReadDelay, kReadDelay, kReadOrientation, kReadAutohide}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.delay);
    fake.settings.values.clear();
    fake.log.lines.clear();
    fake.processes.clear();
    resetDockStateForTesting();
    answers[kReadDelay] = c.delay;
    if (c.readFails) failing.insert(kReadDelay);
    launch();
    EXPECT_EQ(fake.processes.commandLines(), c.lines);
    EXPECT_EQ(fake.settings.boolForKey("originalDock.saved"), !c.readFails);
    EXPECT_EQ(fake.log.lines.size(), c.readFails ? 1u : 0u);
  }
  // The quit that follows has nothing to put back and deletes nothing.
  fake.processes.clear();
  EXPECT_EQ(exitStatusOf([this] { delegate->quit(); }), 0);
  EXPECT_THAT(fake.processes.commandLines(), IsEmpty());
  EXPECT_THAT(fake.log.lines,
              ElementsAre("Velmoryn: Dockの設定を読み取れなかったため、何も変更しませんでした。"
                          "次回の起動時にもう一度記録します"));
}

TEST_F(AppDelegateTest, LaunchAdoptsAutohideOnlyWhenItReadsOne) {
  struct Case {
    std::string output;
    bool hidden;
    const char* toolTip;
  };
  for (const Case& c :
       {Case{"1", true, "Velmoryn / Dock非表示中"}, Case{"0", false, "Velmoryn / Dock表示中"},
        Case{"", false, "Velmoryn / Dock表示中"},
        Case{"The domain/default pair does not exist", false, "Velmoryn / Dock表示中"}}) {
    answers[kReadAutohide] = c.output;
    launch();

    EXPECT_EQ(Peer::hiddenState(*delegate), c.hidden) << c.output;
    ASSERT_TRUE(item().image) << c.output;
    EXPECT_EQ(item().image->hidden, c.hidden) << c.output;
    EXPECT_TRUE(item().image->isTemplate);
    EXPECT_EQ(item().toolTip, c.toolTip) << c.output;
    EXPECT_EQ(item().imageDescription, c.toolTip) << c.output;  // what VoiceOver reads
    EXPECT_THAT(scripts(), IsEmpty()) << c.output;

    delegate.reset();
    fake.application.delegate = nullptr;
  }
}

TEST_F(AppDelegateTest, LaunchWiresTheStatusButtonForBothButtonReleases) {
  launch();

  EXPECT_EQ(fake.statusBar.lastLength, -1);
  EXPECT_EQ(item().autosaveName, "Velmoryn");
  ASSERT_TRUE(item().action);
  EXPECT_EQ(item().action->selector, "statusClicked");
  EXPECT_EQ(item().actionMask, 20u);
  EXPECT_FALSE(item().menu);
  EXPECT_TRUE(fake.hotKeys.hotKeyRegistered);
  EXPECT_EQ(fake.scrollMonitor.installed(), 1u);
}

TEST_F(AppDelegateTest, LoginOptionEndsTheLaunchAtItsFirstStepWithNothingMade) {
  fake.process.args.push_back("--login");
  fake.process.args.push_back("status");

  EXPECT_EQ(exitStatusOf([this] { launch(); }), 1);

  EXPECT_THAT(fake.process.printed, ElementsAre("未登録（ログイン時に起動しません）"));
  EXPECT_THAT(timeline, ElementsAre("arguments", "exit 1"));
  EXPECT_EQ(fake.statusBar.item, nullptr);
  EXPECT_THAT(fake.hotKeys.log, IsEmpty());
  EXPECT_THAT(fake.signals.log, IsEmpty());
  EXPECT_EQ(fake.scrollMonitor.addCount, 0);
  EXPECT_THAT(fake.processes.commandLines(), IsEmpty());
  EXPECT_THAT(fake.settings.operations, IsEmpty());
}

TEST_F(AppDelegateTest, AFailedHotKeyRegistrationDoesNotStopTheLaunch) {
  fake.hotKeys.registerStatus = -9878;
  launch();

  EXPECT_TRUE(Peer::hasHotKey(*delegate));
  EXPECT_EQ(fake.scrollMonitor.installed(), 1u);
  EXPECT_EQ(item().toolTip, "Velmoryn / Dock表示中");
  EXPECT_THAT(fake.log.lines,
              ElementsAre("Velmoryn: ショートカット ⌃⌥⌘D を登録できませんでした（-9878）"));
}

TEST_F(AppDelegateTest, AStatusItemWithoutAButtonSkipsTheButtonStepsAndTheMenuDoesNotOpen) {
  fake.statusBar.withButton = false;
  launch();

  EXPECT_EQ(item().autosaveName, "Velmoryn");
  EXPECT_FALSE(item().action);
  EXPECT_FALSE(item().image);
  EXPECT_THAT(item().log, ElementsAre("autosave Velmoryn"));
  EXPECT_TRUE(fake.hotKeys.hotKeyRegistered);

  // The toggle still switches the Dock.
  delegate->menuToggle();
  EXPECT_THAT(scripts(), ElementsAre(kHideScript));
}

TEST_F(AppDelegateTest, NoStatusItemAtAllStillLaunchesAndToggles) {
  fake.statusBar.returnNone = true;
  launch();

  EXPECT_TRUE(fake.hotKeys.hotKeyRegistered);
  EXPECT_EQ(fake.scrollMonitor.installed(), 1u);
  fake.hotKeys.press();
  fake.mainQueue.drain();
  EXPECT_TRUE(Peer::hiddenState(*delegate));
  EXPECT_THAT(scripts(), ElementsAre(kHideScript));
}

// ---- the toggle and the click rule

TEST_F(AppDelegateTest, ALeftClickWhileShownHidesTheDockAndUpdatesTheIcon) {
  launch();

  leftClick();

  EXPECT_TRUE(Peer::hiddenState(*delegate));
  EXPECT_THAT(scripts(), ElementsAre(kHideScript));
  EXPECT_TRUE(item().image->hidden);
  EXPECT_EQ(item().toolTip, "Velmoryn / Dock非表示中");
  EXPECT_FALSE(item().lastOpenedMenu);

  leftClick();
  EXPECT_FALSE(Peer::hiddenState(*delegate));
  EXPECT_THAT(scripts(), ElementsAre(kHideScript, kShowScript));
  EXPECT_EQ(item().toolTip, "Velmoryn / Dock表示中");
}

TEST_F(AppDelegateTest, TheToggleFlipsItsOwnStateWithoutReadingTheDock) {
  launch();
  fake.processes.clear();

  delegate->menuToggle();
  delegate->menuToggle();
  delegate->menuToggle();

  EXPECT_THAT(fake.processes.commandLines(), IsEmpty());
  EXPECT_THAT(scripts(), ElementsAre(kHideScript, kShowScript, kHideScript));
}

TEST_F(AppDelegateTest, ASwitchTheDockRefusedKeepsModeIconAndTooltipAndSaysWhereToAllowIt) {
  const std::string line =
      "Velmoryn: Dockの切り替えに失敗しました（AppleScript エラー -1743）。システム設定 > "
      "プライバシーとセキュリティ > オートメーション で Velmoryn に System Events "
      "の操作を許可してください";
  fake.appleScript.executeReportsError = -1743;
  failing.insert(std::string("osascript -e ") + (kHideScript + 8));  // the source after "execute "
  launch();

  leftClick();  // both ways to the Dock fail
  EXPECT_FALSE(Peer::hiddenState(*delegate));
  EXPECT_FALSE(item().image->hidden);
  EXPECT_EQ(item().toolTip, "Velmoryn / Dock表示中");
  EXPECT_THAT(fake.log.lines, ElementsAre(line));

  failing.clear();  // osascript gets through
  leftClick();
  EXPECT_TRUE(Peer::hiddenState(*delegate));
  EXPECT_EQ(item().toolTip, "Velmoryn / Dock非表示中");

  failing.insert(std::string("osascript -e ") + (kShowScript + 8));
  startReveal();  // a reveal that cannot lift the Dock says so the same way
  EXPECT_THAT(fake.log.lines, ElementsAre(line, line));
}

TEST_F(AppDelegateTest, ASignalSourceThePlatformCannotMakeIsLoggedAndTheLaunchGoesOn) {
  fake.signals.refuseSources = true;
  launch();

  EXPECT_EQ(Peer::signalSources(*delegate), 0u);
  EXPECT_EQ(fake.log.lines.size(), 3u);
  EXPECT_THAT(fake.log.lines[0], ::testing::HasSubstr("シグナル 15"));
  EXPECT_TRUE(item().image);
}

TEST_F(AppDelegateTest, AClickWithoutACurrentEventToggles) {
  launch();
  fake.application.event.reset();

  item().click();

  EXPECT_TRUE(Peer::hiddenState(*delegate));
  EXPECT_FALSE(item().lastOpenedMenu);
}

TEST_F(AppDelegateTest, RightClickAndControlClickOpenTheMenuAndDoNotToggle) {
  for (CurrentEvent event : {CurrentEvent{EventType::rightMouseUp, 0},
                             CurrentEvent{EventType::leftMouseUp, kControlModifierFlag},
                             CurrentEvent{EventType::leftMouseUp, kControlModifierFlag | 0x100000},
                             CurrentEvent{EventType::other, kControlModifierFlag}}) {
    launch();
    fake.application.event = event;

    item().click();

    EXPECT_TRUE(item().lastOpenedMenu) << static_cast<int>(event.type);
    EXPECT_FALSE(Peer::hiddenState(*delegate));
    EXPECT_THAT(scripts(), IsEmpty());
    delegate.reset();
  }
}

TEST_F(AppDelegateTest, OtherModifiersOnALeftClickStillToggle) {
  launch();
  fake.application.event = CurrentEvent{EventType::leftMouseUp, 0x100000 | 0x80000};  // cmd, opt

  item().click();

  EXPECT_TRUE(Peer::hiddenState(*delegate));
  EXPECT_FALSE(item().lastOpenedMenu);
}

TEST_F(AppDelegateTest, TheHotKeyRunsTheToggleOnTheMainQueue) {
  launch();

  ASSERT_TRUE(fake.hotKeys.press());
  EXPECT_FALSE(Peer::hiddenState(*delegate));
  fake.mainQueue.drain();

  EXPECT_TRUE(Peer::hiddenState(*delegate));
  EXPECT_THAT(scripts(), ElementsAre(kHideScript));
  EXPECT_EQ(item().toolTip, "Velmoryn / Dock非表示中");
}

TEST_F(AppDelegateTest, AToggleDuringARevealCancelsItAndLeavesTheDockShown) {
  answers[kReadAutohide] = "1";
  launch();
  startReveal();
  ASSERT_TRUE(revealing());
  ASSERT_THAT(scripts(), ElementsAre(kShowScript));  // onReveal lifted the Dock

  leftClick();

  EXPECT_FALSE(revealing());
  EXPECT_FALSE(Peer::hiddenState(*delegate));
  EXPECT_THAT(scripts(), ElementsAre(kShowScript, kShowScript));
  EXPECT_EQ(item().toolTip, "Velmoryn / Dock表示中");
  EXPECT_FALSE(item().image->hidden);
}

// ---- the edge-reveal closures

TEST_F(AppDelegateTest, TheRevealAsksTheSwipeSettingAndTheHiddenState) {
  answers[kReadAutohide] = "0";
  launch();
  startReveal();
  EXPECT_FALSE(revealing());  // shown mode: nothing to lift

  delegate->menuToggle();  // hidden mode
  fake.settings.values["swipeRevealEnabled"] = false;
  startReveal();
  EXPECT_FALSE(revealing());  // the gesture is switched off

  fake.settings.values["swipeRevealEnabled"] = true;
  startReveal();
  EXPECT_TRUE(revealing());
}

TEST_F(AppDelegateTest, ConcealHidesTheDockAgainOnlyWhileTheProgramKeepsItHidden) {
  answers[kReadAutohide] = "1";
  launch();
  auto reveal = Peer::edgeReveal(*delegate);

  reveal->onConceal();
  EXPECT_THAT(scripts(), ElementsAre(kHideScript));

  delegate->menuToggle();  // shown mode
  reveal->onConceal();
  EXPECT_THAT(scripts(), ElementsAre(kHideScript, kShowScript));
}

// ---- the menu

TEST_F(AppDelegateTest, TheMenuIsBuiltAtOpeningWithItsSevenItems) {
  fake.loginItems.currentStatus = kLoginItemEnabled;  // no first-launch registration needed
  fake.settings.values["menuBarBoot.loginRegistered"] = true;
  launch();

  openMenu();

  const auto& items = lastMenu().items;
  ASSERT_EQ(items.size(), 7u);

  EXPECT_EQ(items[0].title, "Dockを隠す");
  ASSERT_TRUE(items[0].action);
  EXPECT_EQ(items[0].action->selector, "menuToggle");
  EXPECT_EQ(items[0].keyEquivalent, "");
  EXPECT_TRUE(items[0].enabled);

  EXPECT_TRUE(items[1].isSeparator);

  EXPECT_EQ(items[2].title, "ショートカット: ⌃⌥⌘D");
  EXPECT_FALSE(items[2].action);
  EXPECT_FALSE(items[2].enabled);

  EXPECT_EQ(items[3].title, "画面端のスワイプで一時表示");
  ASSERT_TRUE(items[3].action);
  EXPECT_EQ(items[3].action->selector, "toggleSwipeReveal");
  EXPECT_EQ(items[3].state, MenuItemState::on);
  EXPECT_EQ(items[3].toolTip,
            "Dockのある画面端にポインタを置いて上へスワイプ（マウスはスクロール）すると、Dock"
            "を一時的に持ち上げます。");

  EXPECT_EQ(items[4].title, "ログイン時に起動");
  ASSERT_TRUE(items[4].action);
  EXPECT_EQ(items[4].action->selector, "toggleLogin");
  EXPECT_EQ(items[4].state, MenuItemState::on);

  EXPECT_TRUE(items[5].isSeparator);

  EXPECT_EQ(items[6].title, "Velmoryn を終了");
  ASSERT_TRUE(items[6].action);
  EXPECT_EQ(items[6].action->selector, "quit");
  EXPECT_EQ(items[6].keyEquivalent, "q");

  for (std::size_t i : {0, 2, 4, 6}) EXPECT_EQ(items[i].keyEquivalent == "q", i == 6);
}

TEST_F(AppDelegateTest, TheMenuIsAttachedOnlyWhileOpenAndRebuiltEachTime) {
  launch();
  item().log.clear();

  openMenu();
  EXPECT_THAT(item().log, ElementsAre("image shown", "tooltip Velmoryn / Dock表示中", "menu set",
                                      "performClick", "menu cleared"));
  EXPECT_FALSE(item().menu);

  // Changed state shows at the next opening.
  delegate->menuToggle();
  answers[kReadAutohide] = "1";
  openMenu();
  EXPECT_EQ(lastMenu().items[kToggleItem].title, "Dockを表示");
  EXPECT_FALSE(item().menu);
}

TEST_F(AppDelegateTest, OpeningTheMenuAdoptsAnAutohideChangeMadeElsewhere) {
  answers[kReadAutohide] = "1";
  launch();
  ASSERT_TRUE(Peer::hiddenState(*delegate));

  // The user turned autohide off in the system settings.
  answers[kReadAutohide] = "0";
  fake.processes.clear();
  openMenu();

  EXPECT_THAT(fake.processes.commandLines(), ElementsAre(kReadAutohide));
  EXPECT_FALSE(Peer::hiddenState(*delegate));
  EXPECT_EQ(lastMenu().items[kToggleItem].title, "Dockを隠す");
  EXPECT_FALSE(item().image->hidden);
  EXPECT_EQ(item().toolTip, "Velmoryn / Dock表示中");
  EXPECT_THAT(scripts(), IsEmpty());
}

TEST_F(AppDelegateTest, OpeningTheMenuDuringARevealKeepsTheHiddenState) {
  answers[kReadAutohide] = "1";
  launch();
  startReveal();
  ASSERT_TRUE(revealing());
  answers[kReadAutohide] = "0";  // off because of the reveal
  fake.processes.clear();

  openMenu();

  EXPECT_THAT(fake.processes.commandLines(), ::testing::Not(::testing::Contains(kReadAutohide)));
  EXPECT_TRUE(Peer::hiddenState(*delegate));
  EXPECT_EQ(lastMenu().items[kToggleItem].title, "Dockを表示");
}

TEST_F(AppDelegateTest, ChoosingTheFirstItemToggles) {
  launch();

  openMenu(kToggleItem);

  EXPECT_TRUE(Peer::hiddenState(*delegate));
  EXPECT_THAT(scripts(), ElementsAre(kHideScript));
  EXPECT_FALSE(item().menu);
}

TEST_F(AppDelegateTest, TheShortcutLineCannotBeChosen) {
  launch();

  openMenu(kShortcutItem);

  EXPECT_FALSE(Peer::hiddenState(*delegate));
  EXPECT_THAT(scripts(), IsEmpty());
}

TEST_F(AppDelegateTest, TheSwipeSettingIsOnUntilSwitchedOffFromTheMenu) {
  launch();
  EXPECT_TRUE(delegate->isSwipeRevealEnabled());

  openMenu(kSwipeItem);
  EXPECT_EQ(fake.settings.object("swipeRevealEnabled"), SettingsValue(false));
  EXPECT_FALSE(delegate->isSwipeRevealEnabled());

  openMenu();
  EXPECT_EQ(lastMenu().items[kSwipeItem].state, MenuItemState::off);

  openMenu(kSwipeItem);
  EXPECT_EQ(fake.settings.object("swipeRevealEnabled"), SettingsValue(true));
  openMenu();
  EXPECT_EQ(lastMenu().items[kSwipeItem].state, MenuItemState::on);
}

TEST_F(AppDelegateTest, SwitchingTheSwipeOffDuringARevealEndsItAndHidesTheDockAgain) {
  answers[kReadAutohide] = "1";
  launch();
  startReveal();
  ASSERT_TRUE(revealing());
  item().log.clear();

  openMenu(kSwipeItem);

  EXPECT_FALSE(revealing());
  EXPECT_TRUE(Peer::hiddenState(*delegate));
  EXPECT_THAT(scripts(), ElementsAre(kShowScript, kHideScript));
  // Nothing the icon shows has changed.
  EXPECT_THAT(item().log, ElementsAre("menu set", "performClick", "menu cleared"));
}

TEST_F(AppDelegateTest, SwitchingTheSwipeOnOrOffWithoutARevealTouchesNoDock) {
  answers[kReadAutohide] = "1";
  launch();

  openMenu(kSwipeItem);
  openMenu(kSwipeItem);

  EXPECT_THAT(scripts(), IsEmpty());
}

TEST_F(AppDelegateTest, TheLoginSwitchUnregistersOnlyAnEnabledItem) {
  struct Case {
    std::int64_t status;
    MenuItemState state;
    const char* call;
    bool opensLoginItemsPane;  // registered, still to be approved
  };
  fake.settings.values["menuBarBoot.loginRegistered"] = true;
  for (const Case& c :
       {Case{kLoginItemNotRegistered, MenuItemState::off, "login register", false},
        Case{kLoginItemEnabled, MenuItemState::on, "login unregister", false},
        Case{kLoginItemRequiresApproval, MenuItemState::off, "login register", true},
        Case{kLoginItemNotFound, MenuItemState::off, "login register", false}}) {
    launch();
    fake.loginItems.currentStatus = c.status;
    fake.loginItems.calls.clear();
    timeline.clear();

    openMenu(kLoginItem);

    EXPECT_EQ(lastMenu().items[kLoginItem].state, c.state) << c.status;
    EXPECT_THAT(timeline, ::testing::Contains(c.call)) << c.status;
    EXPECT_EQ(std::ranges::count(fake.loginItems.calls, "open settings"), c.opensLoginItemsPane)
        << c.status;
    EXPECT_THAT(fake.log.lines, IsEmpty());
    delegate.reset();
  }
  // The marker belongs to the command line and the first launch.
  EXPECT_THAT(fake.settings.operations,
              ::testing::Not(::testing::Contains("set menuBarBoot.loginRegistered")));
}

TEST_F(AppDelegateTest, AFailedLoginSwitchLogsTheFullErrorDescription) {
  fake.settings.values["menuBarBoot.loginRegistered"] = true;
  launch();
  fake.loginItems.currentStatus = kLoginItemEnabled;
  fake.loginItems.unregisterError =
      LoginItemError{"Operation not permitted",
                     "Error Domain=SMAppServiceErrorDomain Code=1 \"Operation not permitted\""};

  openMenu(kLoginItem);

  EXPECT_THAT(fake.log.lines,
              ElementsAre("ログイン項目の変更に失敗: Error Domain=SMAppServiceErrorDomain Code=1 "
                          "\"Operation not permitted\""));
  EXPECT_EQ(fake.loginItems.currentStatus, kLoginItemEnabled);
}

// ---- shutdown

TEST_F(AppDelegateTest, QuitTerminatesAndRestoresTheUsersDockOnce) {
  launch();
  delegate->menuToggle();
  fake.processes.clear();

  EXPECT_EQ(openMenu(kQuitItem), 0);

  EXPECT_THAT(fake.application.log, ::testing::Contains("terminate"));
  EXPECT_TRUE(Peer::restored(*delegate));
  // The menu's refresh, then the restore.
  EXPECT_THAT(fake.processes.commandLines(),
              ElementsAre(kReadAutohide, "defaults write com.apple.dock autohide-delay -float 0.5",
                          "defaults write com.apple.dock autohide -bool false", kRestartDock));
  EXPECT_EQ(fake.scrollMonitor.removeCount, 1);
}

class AppDelegateSignalTest : public AppDelegateTest, public ::testing::WithParamInterface<int> {};

TEST_P(AppDelegateSignalTest, RestoresTheUsersDockOnTheMainQueueAndExitsZero) {
  launch();
  fake.processes.clear();

  fake.signals.raise(GetParam());
  EXPECT_THAT(fake.processes.commandLines(), IsEmpty()) << "handled later, on the main queue";

  EXPECT_THAT(drainMainQueue(), ElementsAre(0));
  EXPECT_TRUE(Peer::restored(*delegate));
  EXPECT_THAT(fake.processes.commandLines(),
              ElementsAre("defaults write com.apple.dock autohide-delay -float 0.5",
                          "defaults write com.apple.dock autohide -bool false", kRestartDock));
  EXPECT_EQ(fake.scrollMonitor.removeCount, 1);
  EXPECT_FALSE(fake.settings.boolForKey("originalDock.saved"));
}

INSTANTIATE_TEST_SUITE_P(TerminationSignals, AppDelegateSignalTest,
                         ::testing::Values(SIGTERM, SIGINT, SIGHUP));

TEST_F(AppDelegateTest, TerminateThenSignalRestoresOnlyOnce) {
  launch();
  fake.processes.clear();

  EXPECT_EQ(exitStatusOf([this] { delegate->quit(); }), 0);
  const auto afterQuit = fake.processes.commandLines();
  ASSERT_EQ(afterQuit.size(), 3u);

  fake.signals.raise(SIGTERM);
  EXPECT_THAT(drainMainQueue(), ElementsAre(0));

  EXPECT_EQ(fake.processes.commandLines(), afterQuit);
  EXPECT_EQ(fake.scrollMonitor.removeCount, 1);
}

TEST_F(AppDelegateTest, SignalThenTerminateRestoresOnlyOnce) {
  launch();
  fake.processes.clear();

  fake.signals.raise(SIGINT);
  EXPECT_THAT(drainMainQueue(), ElementsAre(0));
  const auto afterSignal = fake.processes.commandLines();
  ASSERT_EQ(afterSignal.size(), 3u);

  delegate->applicationWillTerminate();
  fake.signals.raise(SIGHUP);
  EXPECT_THAT(drainMainQueue(), ElementsAre(0));

  EXPECT_EQ(fake.processes.commandLines(), afterSignal);
  EXPECT_EQ(fake.scrollMonitor.removeCount, 1);
}

TEST_F(AppDelegateTest, ARestoreThatCouldNotWriteIsNotRepeatedByTheSecondPath) {
  launch();
  // The record stays when the Dock cannot take the user's values back; only
  // the flag keeps the signal from running the whole restore again.
  failing.insert("defaults write com.apple.dock autohide -bool false");
  fake.processes.clear();

  EXPECT_EQ(exitStatusOf([this] { delegate->quit(); }), 0);
  const auto afterQuit = fake.processes.commandLines();
  ASSERT_THAT(afterQuit, ::testing::Contains(kRestartDock));
  ASSERT_TRUE(fake.settings.boolForKey("originalDock.saved"));

  fake.signals.raise(SIGTERM);
  EXPECT_THAT(drainMainQueue(), ElementsAre(0));
  EXPECT_EQ(fake.processes.commandLines(), afterQuit);
}

TEST_F(AppDelegateTest, TheRestoreEndsARunningRevealWithoutConcealing) {
  answers[kReadAutohide] = "1";
  launch();
  startReveal();
  ASSERT_TRUE(revealing());

  delegate->applicationWillTerminate();

  EXPECT_FALSE(revealing());
  EXPECT_THAT(scripts(), ElementsAre(kShowScript));  // no hide on the way out
  EXPECT_EQ(fake.scrollMonitor.installed(), 0u);
}

// ---- after the delegate is gone

TEST_F(AppDelegateTest, ASignalAfterTheDelegateIsGoneExitsZeroWithoutRestoring) {
  launch();
  delegate.reset();
  fake.processes.clear();

  fake.signals.raise(SIGTERM);
  EXPECT_THAT(drainMainQueue(), ElementsAre(0));

  EXPECT_THAT(fake.processes.commandLines(), IsEmpty());
  EXPECT_TRUE(fake.settings.boolForKey("originalDock.saved"));
}

TEST_F(AppDelegateTest, ClosuresHandedOutDoNothingOnceTheDelegateIsGone) {
  answers[kReadAutohide] = "1";
  launch();
  auto reveal = Peer::edgeReveal(*delegate);
  const Action button = *item().action;
  openMenu();
  const Menu menu = lastMenu();
  fake.hotKeys.press();  // queued before the delegate goes

  delegate.reset();
  fake.application.delegate = nullptr;
  fake.processes.clear();

  fake.mainQueue.drain();
  button.perform();
  for (const MenuItem& entry : menu.items) {
    if (entry.action) entry.action->perform();
  }
  EXPECT_FALSE(reveal->isEnabled());
  EXPECT_FALSE(reveal->isDockHidden());
  reveal->onConceal();

  EXPECT_THAT(scripts(), IsEmpty());
  EXPECT_THAT(fake.processes.commandLines(), IsEmpty());
  EXPECT_THAT(fake.application.log, ::testing::Not(::testing::Contains("terminate")));
  EXPECT_THAT(fake.loginItems.calls, ::testing::Not(::testing::Contains("unregister")));

  // Lifting the Dock needs no delegate.
  reveal->onReveal();
  EXPECT_THAT(scripts(), ElementsAre(kShowScript));
}

TEST_F(AppDelegateTest, NothingHandedOutKeepsTheDelegateAlive) {
  launch();
  std::weak_ptr<AppDelegate> weak = delegate;
  // Held here as the platform would hold them: the menu's actions, the edge
  // closures; the fakes still hold the signal handlers and the button action.
  openMenu();
  const Menu menu = lastMenu();
  auto reveal = Peer::edgeReveal(*delegate);

  delegate.reset();
  fake.application.delegate = nullptr;

  EXPECT_TRUE(weak.expired());
}

}  // namespace
}  // namespace velmoryn
