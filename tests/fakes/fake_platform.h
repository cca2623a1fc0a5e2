// In-memory fakes of every platform service, with a manual clock, manual
// queues and manual timers, so that time and threads are deterministic. Every
// call the core makes to a fake goes, in order, into one shared timeline.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/platform_factory.h"

namespace velmoryn::testing {

// Thrown by the fakes where the real platform would end the process.
struct ProcessExit {
  int status;
};

// The calls to the platform in the order they were made, one line each, for
// instance "defaults read com.apple.dock autohide", "set KEY", "login register",
// "execute SOURCE", "ignore 15", "tooltip TEXT", "exit 0".
class Timeline {
 public:
  void add(std::string entry);
  std::vector<std::string> entries() const;
  // The entries that begin with any of the prefixes, in order.
  std::vector<std::string> matching(std::vector<std::string_view> prefixes) const;
  void clear();

 private:
  mutable std::mutex mutex;
  std::vector<std::string> list;
};

// A fake records into the timeline it is given; without one it records nothing.
struct Recorder {
  Timeline* timeline = nullptr;
  void note(std::string entry) const {
    if (timeline) timeline->add(std::move(entry));
  }
};

// Records each run as the path's last word and the arguments.
class FakeProcessRunner : public ProcessRunner, public Recorder {
 public:
  // Answers every run; the default starts, exits 0 and prints nothing.
  std::function<ProcessResult(const ProcessRequest&)> respond;
  ProcessResult run(const ProcessRequest& request) override;
  static ProcessResult output(const std::string& out);
  // The line a run is recorded as: "defaults read com.apple.dock autohide".
  static std::string lineOf(const ProcessRequest& request);
};

class FakeSettingsStore : public SettingsStore, public Recorder {
 public:
  std::optional<SettingsValue> object(const std::string& key) const override {
    auto found = values.find(key);
    return found == values.end() ? std::nullopt : std::optional(found->second);
  }
  void setBool(const std::string& key, bool value) override { set(key, value); }
  void setInteger(const std::string& key, std::int64_t value) override { set(key, value); }
  void setDouble(const std::string& key, double value) override { set(key, value); }
  void remove(const std::string& key) override {
    values.erase(key);
    note("remove " + key);
  }
  bool synchronize() override {
    note("synchronize");
    if (synchronizeLosesValues) values.clear();
    return synchronizeSucceeds;
  }

  std::map<std::string, SettingsValue> values;
  bool synchronizeSucceeds = true;
  bool synchronizeLosesValues = false;  // what reads back afterwards is nothing

 private:
  void set(const std::string& key, SettingsValue value) {
    values[key] = std::move(value);
    note("set " + key);
  }
};

// Registering a registered item and unregistering one that is not answer that
// it already is as asked, as the system's service does.
class FakeLoginItems : public LoginItemService, public Recorder {
 public:
  std::int64_t status() override {
    note("login status");
    return currentStatus;
  }
  LoginItemResult registerApp() override;
  LoginItemResult unregisterApp() override;
  void openSystemSettingsLoginItems() override { note("login open settings"); }

  std::int64_t currentStatus = kLoginItemNotRegistered;
  // When set, what every register or unregister answers; the status stays.
  std::optional<LoginItemResult> registerAnswer;
  std::optional<LoginItemResult> unregisterAnswer;
};

// Records "create SOURCE", "compile SOURCE" and "execute SOURCE".
class FakeAppleScriptFactory : public AppleScriptFactory, public Recorder {
 public:
  std::unique_ptr<AppleScript> create(const std::string& source) override;
  bool failCreation = false;
  std::optional<std::int64_t> executeReportsError;  // the error number every execution reports
  // Runs once, inside the next execution, as AppKit may run other work while a script waits.
  std::function<void()> duringExecution;
};

class ManualClock : public Clock {
 public:
  double now() const override { return current; }
  double current = 1000.0;
};

class ManualQueue : public Queue {
 public:
  void async(std::function<void()> item) override {
    std::lock_guard lock(mutex);
    work.push_back(std::move(item));
  }
  bool runOne();
  // Runs the work queued so far and whatever it queues in turn; returns the count.
  int drain() {
    int count = 0;
    while (runOne()) ++count;
    return count;
  }

 private:
  std::mutex mutex;
  std::deque<std::function<void()>> work;
};

class ManualTimers : public TimerService {
 public:
  explicit ManualTimers(ManualClock& clock) : clock(clock) {}
  std::shared_ptr<RepeatingTimer> scheduleRepeating(double interval,
                                                    std::function<void()> block) override;
  // Moves the clock forward, firing every due timer at its due time, in order.
  void advance(double seconds);
  std::size_t liveTimers() const;

 private:
  struct Entry;
  ManualClock& clock;
  std::vector<std::shared_ptr<Entry>> entries;
};

// Records "ignore N" and "source N".
class FakeSignals : public SignalService, public Recorder {
 public:
  explicit FakeSignals(ManualQueue& mainQueue) : mainQueue(mainQueue) {}
  void ignore(int signalNumber) override { note("ignore " + std::to_string(signalNumber)); }
  std::unique_ptr<SignalSource> makeSource(int signalNumber,
                                           std::function<void()> handler) override;
  // Queues the handler of every resumed source for the signal on the main queue.
  void raise(int signalNumber);
  bool refuseSources = false;  // makeSource gives null, as when dispatch cannot make one

 private:
  struct Registration {
    int signalNumber;
    std::function<void()> handler;
    bool resumed = false;
  };
  ManualQueue& mainQueue;
  std::vector<std::unique_ptr<Registration>> registrations;
};

class FakeScreens : public ScreenService {
 public:
  std::span<const Screen> screens() override { return list; }
  Point mouseLocation() override { return pointer; }
  void onScreensChanged(std::function<void()> handler) override { changed = std::move(handler); }
  // Replaces the screens and tells the handler, as the system does after a change.
  void change(std::vector<Screen> screens) {
    list = std::move(screens);
    if (changed) changed();
  }
  std::vector<Screen> list;
  Point pointer;
  std::function<void()> changed;
};

// Records "monitor MASK" and "monitor removed".
class FakeScrollMonitor : public ScrollMonitorService, public Recorder {
 public:
  std::optional<MonitorToken> addGlobalMonitor(
      std::uint64_t mask, std::function<void(const ScrollEvent&)> handler) override;
  void removeMonitor(MonitorToken token) override {
    note("monitor removed");
    handlers.erase(token);
  }
  // Delivers to every installed monitor.
  void deliver(const ScrollEvent& event) {
    auto copy = handlers;  // a handler may remove monitors
    for (auto& [token, handler] : copy) handler(event);
  }
  std::size_t installed() const { return handlers.size(); }

 private:
  MonitorToken next = 1;
  std::map<MonitorToken, std::function<void(const ScrollEvent&)>> handlers;
};

// Always with a button: without one AppKit drops every call to it, which
// leaves nothing to see.
class FakeStatusItem : public StatusItem, public Recorder {
 public:
  void setAutosaveName(const std::string& name) override { note("autosave " + name); }
  bool hasButton() const override { return true; }
  void setButtonAction(Action newAction) override {
    note("action " + newAction.selector);
    action = std::move(newAction);
  }
  void sendActionOn(std::uint64_t mask) override { note("mask " + std::to_string(mask)); }
  // "image template hidden": the menu bar tints only a template.
  void setButtonImage(const IconImage& image) override {
    note(std::string("image ") + (image.isTemplate ? "template " : "") +
         (image.hidden ? "hidden" : "shown"));
  }
  void setButtonImageDescription(const std::string& text) override { note("description " + text); }
  void setButtonToolTip(const std::string& text) override { note("tooltip " + text); }
  void setMenu(std::optional<Menu> newMenu) override {
    note(newMenu ? "menu set" : "menu cleared");
    menu = std::move(newMenu);
  }
  // With a menu attached, opens it and chooses `choose`; else fires the action.
  void performClick() override;
  // Clicks the button as the user would.
  void click() {
    if (menu) {
      performClick();
    } else if (action) {
      action->perform();
    }
  }

  std::optional<Action> action;
  std::optional<Menu> menu;
  std::optional<Menu> lastOpenedMenu;
  std::optional<std::size_t> choose;  // none dismisses the menu
};

// Records "statusItem LENGTH"; the item records into the same timeline.
class FakeStatusBar : public StatusBar, public Recorder {
 public:
  std::unique_ptr<StatusItem> statusItem(double length) override;
  bool returnNone = false;
  FakeStatusItem* item = nullptr;  // owned by whoever asked for it
};

// Records "hotkey install", "hotkey register key 2 modifiers 6400 id VLMR 1 options 0",
// "hotkey unregister" and "hotkey remove".
class FakeHotKeys : public HotKeyService, public Recorder {
 public:
  EventTargetRef applicationEventTarget() override { return &target; }
  OSStatus installEventHandler(EventTargetRef target, EventHandlerProc proc,
                               std::uint32_t typeCount, const EventTypeSpec* specs, void* data,
                               EventHandlerRef* outRef) override;
  OSStatus registerEventHotKey(std::uint32_t code, std::uint32_t mods, EventHotKeyID hotKeyId,
                               EventTargetRef target, std::uint32_t opts,
                               EventHotKeyRef* outRef) override;
  OSStatus unregisterEventHotKey(EventHotKeyRef ref) override;
  OSStatus removeEventHandler(EventHandlerRef ref) override;
  // Calls the installed handler as the event manager would; false when there is none
  // or the hot key is not registered.
  bool press();

  OSStatus registerStatus = kNoErr;

 private:
  int target = 0, handlerToken = 0, hotKeyToken = 0;
  bool hotKeyRegistered = false;
  EventHandlerProc handler = nullptr;
  void* userData = nullptr;
};

class FakeLog : public Log {
 public:
  void write(const std::string& line) override { lines.push_back(line); }
  std::vector<std::string> lines;
};

// Records "accept requests", "accessory", "delegate", "run" and "terminate".
class FakeApplication : public Application, public Recorder {
 public:
  void acceptRequests() override { note("accept requests"); }
  void setActivationPolicyAccessory() override { note("accessory"); }
  void setDelegate(ApplicationDelegate* d) override {
    delegate = d;
    note("delegate");
  }
  void run() override {
    note("run");
    if (delegate) delegate->applicationDidFinishLaunching();
  }
  [[noreturn]] void terminate() override {
    note("terminate");
    if (delegate) delegate->applicationWillTerminate();
    throw ProcessExit{0};
  }
  std::optional<CurrentEvent> currentEvent() override { return event; }

  ApplicationDelegate* delegate = nullptr;
  std::optional<CurrentEvent> event;
};

// Records "arguments", "print TEXT" and "exit STATUS".
class FakeProcessEnvironment : public ProcessEnvironment, public Recorder {
 public:
  std::vector<std::string> arguments() override {
    note("arguments");
    return args;
  }
  void printLine(const std::string& text) override {
    printed.push_back(text);
    note("print " + text);
  }
  [[noreturn]] void exit(int status) override {
    note("exit " + std::to_string(status));
    throw ProcessExit{status};
  }

  std::vector<std::string> args{"/Applications/Velmoryn.app/Contents/MacOS/Velmoryn"};
  std::vector<std::string> printed;
};

// Records "open URL within MILLISECONDS ms".
class FakeRunningInstance : public RunningInstance, public Recorder {
 public:
  UrlDelivery openURL(const std::string& url, double timeLimit) override;
  UrlDelivery answer{UrlDelivery::Outcome::delivered, {}};
};

// Records "lock".
class FakeInstanceLock : public InstanceLock, public Recorder {
 public:
  InstanceLockResult acquire() override {
    note("lock");
    return answer;
  }
  InstanceLockResult answer{InstanceLockResult::Outcome::held, {}};
};

// All fakes together, installed as the platform for as long as it lives, each
// recording into `timeline`. As the entry point's services it gives only what
// is asked for, and records "services" with the need: "services everything".
class FakePlatform : public PlatformServices {
 public:
  FakePlatform();
  ~FakePlatform() override;
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;
  const Platform& essentials() override { return essential; }
  const Platform& services(PlatformNeed need) override;

  Timeline timeline;
  FakeProcessRunner processes;
  FakeSettingsStore settings;
  FakeLoginItems loginItems;
  FakeAppleScriptFactory appleScript;
  ManualClock clock;
  ManualQueue mainQueue;
  ManualQueue utilityQueue;
  ManualTimers timers{clock};
  FakeSignals signals{mainQueue};
  FakeScreens screens;
  FakeScrollMonitor scrollMonitor;
  FakeStatusBar statusBar;
  FakeHotKeys hotKeys;
  FakeLog log;
  FakeApplication application;
  FakeProcessEnvironment process;
  FakeRunningInstance runningInstance;
  FakeInstanceLock instanceLock;

 private:
  Platform all;
  Platform essential;
  Platform needed;
};

}  // namespace velmoryn::testing
