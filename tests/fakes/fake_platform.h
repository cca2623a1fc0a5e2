// In-memory fakes of every platform service, with a manual clock, manual
// queues and manual timers, so that time and threads are deterministic.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace velmoryn::testing {

// Thrown by the fakes where the real platform would end the process.
struct ProcessExit {
  int status;
};

class FakeProcessRunner : public ProcessRunner {
 public:
  // Answers every run; the default starts, exits 0 and prints nothing.
  std::function<ProcessResult(const ProcessRequest&)> respond;

  ProcessResult run(const ProcessRequest& request) override;

  std::vector<ProcessRequest> requests() const;
  // Each run as one line: the path's last word, then the arguments.
  std::vector<std::string> commandLines() const;
  void clear();

  static ProcessResult output(const std::string& out);

 private:
  mutable std::mutex mutex;
  std::vector<ProcessRequest> recorded;
};

class FakeSettingsStore : public SettingsStore {
 public:
  std::optional<SettingsValue> object(const std::string& key) const override;
  void setBool(const std::string& key, bool value) override;
  void setInteger(const std::string& key, std::int64_t value) override;
  void setDouble(const std::string& key, double value) override;
  void remove(const std::string& key) override;
  bool synchronize() override {
    operations.push_back("synchronize");
    return synchronizeSucceeds;
  }

  std::map<std::string, SettingsValue> values;
  bool synchronizeSucceeds = true;
  // "set KEY", "remove KEY", "synchronize", in order.
  std::vector<std::string> operations;
};

class FakeLoginItems : public LoginItemService {
 public:
  std::int64_t status() override;
  std::optional<LoginItemError> registerApp() override;
  std::optional<LoginItemError> unregisterApp() override;
  void openSystemSettingsLoginItems() override { calls.push_back("open settings"); }

  std::int64_t currentStatus = kLoginItemNotRegistered;
  std::optional<LoginItemError> registerError;
  std::optional<LoginItemError> unregisterError;
  // The status after a successful register.
  std::int64_t statusAfterRegister = kLoginItemEnabled;
  std::vector<std::string> calls;  // "status", "register", "unregister", "open settings"
};

class FakeAppleScriptFactory : public AppleScriptFactory {
 public:
  std::unique_ptr<AppleScript> create(const std::string& source) override;

  bool failCreation = false;
  std::optional<std::int64_t> executeReportsError;  // the error number every execution reports
  // Called on each successful execution with the script's source.
  std::function<void(const std::string&)> onExecute;
  std::vector<std::string> log;  // "create SRC", "compile SRC", "execute SRC"
};

class ManualClock : public Clock {
 public:
  double now() const override { return current; }
  double current = 1000.0;
};

class ManualQueue : public Queue {
 public:
  void async(std::function<void()> item) override;
  // Runs the work queued so far and whatever it queues in turn; returns the count.
  int drain();
  bool runOne();
  std::size_t pending() const;

 private:
  mutable std::mutex mutex;
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
  int scheduledCount = 0;

 private:
  struct Entry;
  ManualClock& clock;
  std::vector<std::shared_ptr<Entry>> entries;
};

class FakeSignals : public SignalService {
 public:
  bool refuseSources = false;  // makeSource gives null, as when dispatch cannot make one
  explicit FakeSignals(ManualQueue& mainQueue) : mainQueue(mainQueue) {}
  void ignore(int signalNumber) override;
  std::unique_ptr<SignalSource> makeSource(int signalNumber,
                                           std::function<void()> handler) override;
  // Queues the handler of every resumed source for the signal on the main queue.
  void raise(int signalNumber);

  std::vector<std::string> log;  // "ignore N", "source N", "resume N"

 private:
  struct Registration;
  ManualQueue& mainQueue;
  std::vector<std::shared_ptr<Registration>> registrations;
};

class FakeScreens : public ScreenService {
 public:
  std::span<const Screen> screens() override { return list; }
  Point mouseLocation() override { return pointer; }
  std::vector<Screen> list;
  Point pointer;
};

class FakeScrollMonitor : public ScrollMonitorService {
 public:
  std::optional<MonitorToken> addGlobalMonitor(
      std::uint64_t mask, std::function<void(const ScrollEvent&)> handler) override;
  void removeMonitor(MonitorToken token) override;
  // Delivers to every installed monitor.
  void deliver(const ScrollEvent& event);
  std::size_t installed() const { return handlers.size(); }

  bool refuse = false;
  std::uint64_t lastMask = 0;
  int addCount = 0;
  int removeCount = 0;

 private:
  MonitorToken next = 1;
  std::map<MonitorToken, std::function<void(const ScrollEvent&)>> handlers;
};

class FakeStatusItem : public StatusItem {
 public:
  void setAutosaveName(const std::string& name) override;
  bool hasButton() const override { return withButton; }
  void setButtonAction(Action action) override;
  void sendActionOn(std::uint64_t mask) override;
  void setButtonImage(const IconImage& image) override;
  void setButtonImageDescription(const std::string& description) override;
  void setButtonToolTip(const std::string& text) override;
  void setMenu(std::optional<Menu> menu) override;
  void performClick() override;

  // Clicks the button: the menu's choice when one is attached, else the action.
  void click();

  bool withButton = true;
  std::string autosaveName;
  std::optional<Action> action;
  std::uint64_t actionMask = 0;
  std::optional<IconImage> image;
  std::string imageDescription;
  std::string toolTip;
  std::optional<Menu> menu;
  std::optional<Menu> lastOpenedMenu;
  // Index of the item to choose when a menu opens; none dismisses it.
  std::optional<std::size_t> choose;
  std::vector<std::string> log;  // "autosave N", "action S", "mask M", "image hidden|shown",
                                 // "tooltip T", "menu set", "menu cleared", "performClick"
};

class FakeStatusBar : public StatusBar {
 public:
  std::unique_ptr<StatusItem> statusItem(double length) override;
  bool returnNone = false;
  bool withButton = true;
  double lastLength = 0;
  FakeStatusItem* item = nullptr;  // owned by whoever asked for it
};

class FakeHotKeys : public HotKeyService {
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
  std::vector<std::string> log;
  std::vector<EventTypeSpec> types;
  std::uint32_t keyCode = 0, modifiers = 0, options = 0;
  EventHotKeyID id{};
  bool handlerInstalled = false;
  bool hotKeyRegistered = false;

 private:
  int target = 0;
  int handlerToken = 0;
  int hotKeyToken = 0;
  EventHandlerProc handler = nullptr;
  void* userData = nullptr;
};

class FakeLog : public Log {
 public:
  void write(const std::string& line) override { lines.push_back(line); }
  std::vector<std::string> lines;
};

class FakeApplication : public Application {
 public:
  void setActivationPolicyAccessory() override { log.push_back("accessory"); }
  void setDelegate(ApplicationDelegate* d) override;
  void run() override;
  [[noreturn]] void terminate() override;
  std::optional<CurrentEvent> currentEvent() override { return event; }

  ApplicationDelegate* delegate = nullptr;
  std::optional<CurrentEvent> event;
  std::vector<std::string> log;  // "accessory", "delegate", "run", "terminate"
};

class FakeProcessEnvironment : public ProcessEnvironment {
 public:
  std::vector<std::string> arguments() override { return args; }
  void printLine(const std::string& text) override { printed.push_back(text); }
  [[noreturn]] void exit(int status) override { throw ProcessExit{status}; }

  std::vector<std::string> args{"/Applications/Velmoryn.app/Contents/MacOS/Velmoryn"};
  std::vector<std::string> printed;
};

class FakeRunningInstance : public RunningInstance {
 public:
  UrlDelivery openURL(const std::string& url, double timeLimit) override {
    sent.push_back(url);
    lastTimeLimit = timeLimit;
    return answer;
  }
  UrlDelivery answer{UrlDelivery::Outcome::delivered, {}};
  std::vector<std::string> sent;
  double lastTimeLimit = 0;
};

// All fakes together, installed as the platform for as long as it lives.
// The Dock's one-time state is reset on construction.
class FakePlatform {
 public:
  FakePlatform();
  ~FakePlatform();
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;

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
};

}  // namespace velmoryn::testing
