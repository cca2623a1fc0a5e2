#include "fake_platform.h"

#include <algorithm>

#include "dock/dock_testing.h"

namespace velmoryn::testing {

// ---- processes

ProcessResult FakeProcessRunner::run(const ProcessRequest& request) {
  {
    std::lock_guard lock(mutex);
    recorded.push_back(request);
  }
  if (respond) return respond(request);
  return output("");
}

ProcessResult FakeProcessRunner::output(const std::string& out) {
  ProcessResult result;
  result.started = true;
  result.exitStatus = 0;
  result.out = out;
  return result;
}

std::vector<ProcessRequest> FakeProcessRunner::requests() const {
  std::lock_guard lock(mutex);
  return recorded;
}

std::vector<std::string> FakeProcessRunner::commandLines() const {
  std::vector<std::string> lines;
  for (const auto& request : requests()) {
    std::string line = request.path.substr(request.path.rfind('/') + 1);
    for (const auto& arg : request.args) line += " " + arg;
    lines.push_back(line);
  }
  return lines;
}

void FakeProcessRunner::clear() {
  std::lock_guard lock(mutex);
  recorded.clear();
}

// ---- settings

std::optional<SettingsValue> FakeSettingsStore::object(const std::string& key) const {
  auto found = values.find(key);
  if (found == values.end()) return std::nullopt;
  return found->second;
}

void FakeSettingsStore::setBool(const std::string& key, bool value) {
  values[key] = value;
  operations.push_back("set " + key);
}

void FakeSettingsStore::setInteger(const std::string& key, std::int64_t value) {
  values[key] = value;
  operations.push_back("set " + key);
}

void FakeSettingsStore::setDouble(const std::string& key, double value) {
  values[key] = value;
  operations.push_back("set " + key);
}

void FakeSettingsStore::remove(const std::string& key) {
  values.erase(key);
  operations.push_back("remove " + key);
}

// ---- login items

std::int64_t FakeLoginItems::status() {
  calls.push_back("status");
  return currentStatus;
}

// Registering a registered item and unregistering one that is not fail, as the
// system's service does.
std::optional<LoginItemError> FakeLoginItems::registerApp() {
  calls.push_back("register");
  if (registerError) return registerError;
  if (currentStatus == kLoginItemEnabled || currentStatus == kLoginItemRequiresApproval) {
    return LoginItemError{"Service already registered",
                          "Error Domain=SMAppServiceErrorDomain Code=12", 12};
  }
  currentStatus = statusAfterRegister;
  return std::nullopt;
}

std::optional<LoginItemError> FakeLoginItems::unregisterApp() {
  calls.push_back("unregister");
  if (unregisterError) return unregisterError;
  if (currentStatus == kLoginItemNotRegistered || currentStatus == kLoginItemNotFound) {
    return LoginItemError{"Service not found", "Error Domain=SMAppServiceErrorDomain Code=6", 6};
  }
  currentStatus = kLoginItemNotRegistered;
  return std::nullopt;
}

// ---- AppleScript

namespace {
class FakeAppleScript : public AppleScript {
 public:
  FakeAppleScript(FakeAppleScriptFactory& factory, std::string source)
      : factory(factory), source(std::move(source)) {}
  void compile() override { factory.log.push_back("compile " + source); }
  std::optional<std::int64_t> executeReportsError() override {
    factory.log.push_back("execute " + source);
    if (factory.executeReportsError) return factory.executeReportsError;
    if (factory.onExecute) factory.onExecute(source);
    return std::nullopt;
  }

 private:
  FakeAppleScriptFactory& factory;  // safe because the factory outlives every script
  std::string source;
};
}  // namespace

std::unique_ptr<AppleScript> FakeAppleScriptFactory::create(const std::string& source) {
  log.push_back("create " + source);
  if (failCreation) return nullptr;
  return std::make_unique<FakeAppleScript>(*this, source);
}

// ---- queues

void ManualQueue::async(std::function<void()> item) {
  std::lock_guard lock(mutex);
  work.push_back(std::move(item));
}

bool ManualQueue::runOne() {
  std::function<void()> item;
  {
    std::lock_guard lock(mutex);
    if (work.empty()) return false;
    item = std::move(work.front());
    work.pop_front();
  }
  item();
  return true;
}

int ManualQueue::drain() {
  int count = 0;
  while (runOne()) ++count;
  return count;
}

std::size_t ManualQueue::pending() const {
  std::lock_guard lock(mutex);
  return work.size();
}

// ---- timers

struct ManualTimers::Entry : RepeatingTimer {
  double interval = 0;
  double due = 0;
  bool valid = true;
  std::function<void()> block;
  void invalidate() override { valid = false; }
};

std::shared_ptr<RepeatingTimer> ManualTimers::scheduleRepeating(double interval,
                                                                std::function<void()> block) {
  auto entry = std::make_shared<Entry>();
  entry->interval = interval;
  entry->due = clock.current + interval;
  entry->block = std::move(block);
  entries.push_back(entry);
  ++scheduledCount;
  return entry;
}

void ManualTimers::advance(double seconds) {
  const double end = clock.current + seconds;
  for (;;) {
    std::erase_if(entries, [](const auto& e) { return !e->valid; });
    auto next = std::min_element(entries.begin(), entries.end(),
                                 [](const auto& a, const auto& b) { return a->due < b->due; });
    if (next == entries.end() || (*next)->due > end) break;
    auto entry = *next;
    clock.current = entry->due;
    entry->due += entry->interval;
    entry->block();
  }
  clock.current = end;
}

std::size_t ManualTimers::liveTimers() const {
  return static_cast<std::size_t>(
      std::count_if(entries.begin(), entries.end(), [](const auto& e) { return e->valid; }));
}

// ---- signals

struct FakeSignals::Registration {
  int signalNumber = 0;
  bool resumed = false;
  std::function<void()> handler;
};

namespace {
class FakeSignalSource : public SignalSource {
 public:
  FakeSignalSource(std::shared_ptr<void> keep, bool* resumed, std::vector<std::string>* log,
                   int signalNumber)
      : keep(std::move(keep)), resumed(resumed), log(log), signalNumber(signalNumber) {}
  void resume() override {
    *resumed = true;
    log->push_back("resume " + std::to_string(signalNumber));
  }

 private:
  std::shared_ptr<void> keep;
  bool* resumed;                  // safe because keep holds its registration
  std::vector<std::string>* log;  // safe because the fakes outlive every source
  int signalNumber;
};
}  // namespace

void FakeSignals::ignore(int signalNumber) {
  log.push_back("ignore " + std::to_string(signalNumber));
}

std::unique_ptr<SignalSource> FakeSignals::makeSource(int signalNumber,
                                                      std::function<void()> handler) {
  log.push_back("source " + std::to_string(signalNumber));
  if (refuseSources) return nullptr;
  auto registration = std::make_shared<Registration>();
  registration->signalNumber = signalNumber;
  registration->handler = std::move(handler);
  registrations.push_back(registration);
  return std::make_unique<FakeSignalSource>(registration, &registration->resumed, &log,
                                            signalNumber);
}

void FakeSignals::raise(int signalNumber) {
  for (const auto& registration : registrations) {
    if (registration->signalNumber == signalNumber && registration->resumed) {
      mainQueue.async(registration->handler);
    }
  }
}

// ---- scroll monitor

std::optional<MonitorToken> FakeScrollMonitor::addGlobalMonitor(
    std::uint64_t mask, std::function<void(const ScrollEvent&)> handler) {
  ++addCount;
  lastMask = mask;
  if (refuse) return std::nullopt;
  MonitorToken token = next++;
  handlers[token] = std::move(handler);
  return token;
}

void FakeScrollMonitor::removeMonitor(MonitorToken token) {
  ++removeCount;
  handlers.erase(token);
}

void FakeScrollMonitor::deliver(const ScrollEvent& event) {
  auto copy = handlers;  // a handler may remove monitors
  for (auto& [token, handler] : copy) handler(event);
}

// ---- status bar

void FakeStatusItem::setAutosaveName(const std::string& name) {
  autosaveName = name;
  log.push_back("autosave " + name);
}

void FakeStatusItem::setButtonAction(Action a) {
  if (!withButton) return;
  log.push_back("action " + a.selector);
  action = std::move(a);
}

void FakeStatusItem::sendActionOn(std::uint64_t mask) {
  if (!withButton) return;
  actionMask = mask;
  log.push_back("mask " + std::to_string(mask));
}

void FakeStatusItem::setButtonImageDescription(const std::string& description) {
  if (!withButton) return;
  imageDescription = description;
}

void FakeStatusItem::setButtonImage(const IconImage& newImage) {
  if (!withButton) return;
  image = newImage;
  log.push_back(std::string("image ") + (newImage.hidden ? "hidden" : "shown"));
}

void FakeStatusItem::setButtonToolTip(const std::string& text) {
  if (!withButton) return;
  toolTip = text;
  log.push_back("tooltip " + text);
}

void FakeStatusItem::setMenu(std::optional<Menu> newMenu) {
  log.push_back(newMenu ? "menu set" : "menu cleared");
  menu = std::move(newMenu);
}

void FakeStatusItem::performClick() {
  if (!withButton) return;
  log.push_back("performClick");
  if (!menu) {
    if (action) action->perform();
    return;
  }
  lastOpenedMenu = menu;
  if (choose && *choose < menu->items.size()) {
    const MenuItem item = menu->items[*choose];
    if (item.enabled && !item.isSeparator && item.action) item.action->perform();
  }
}

void FakeStatusItem::click() {
  if (menu) {
    performClick();
  } else if (action) {
    action->perform();
  }
}

std::unique_ptr<StatusItem> FakeStatusBar::statusItem(double length) {
  lastLength = length;
  if (returnNone) return nullptr;
  auto made = std::make_unique<FakeStatusItem>();
  made->withButton = withButton;
  item = made.get();
  return made;
}

// ---- hot keys

OSStatus FakeHotKeys::installEventHandler(EventTargetRef, EventHandlerProc proc,
                                          std::uint32_t typeCount, const EventTypeSpec* specs,
                                          void* data, EventHandlerRef* outRef) {
  log.push_back("install");
  types.assign(specs, specs + typeCount);
  handler = proc;
  userData = data;
  handlerInstalled = true;
  *outRef = &handlerToken;
  return kNoErr;
}

OSStatus FakeHotKeys::registerEventHotKey(std::uint32_t code, std::uint32_t mods,
                                          EventHotKeyID hotKeyId, EventTargetRef,
                                          std::uint32_t opts, EventHotKeyRef* outRef) {
  log.push_back("register");
  keyCode = code;
  modifiers = mods;
  id = hotKeyId;
  options = opts;
  if (registerStatus != kNoErr) {
    *outRef = nullptr;
    return registerStatus;
  }
  hotKeyRegistered = true;
  *outRef = &hotKeyToken;
  return kNoErr;
}

OSStatus FakeHotKeys::unregisterEventHotKey(EventHotKeyRef ref) {
  log.push_back(ref == &hotKeyToken ? "unregister" : "unregister unknown");
  hotKeyRegistered = false;
  return kNoErr;
}

OSStatus FakeHotKeys::removeEventHandler(EventHandlerRef ref) {
  log.push_back(ref == &handlerToken ? "remove" : "remove unknown");
  handlerInstalled = false;
  handler = nullptr;
  return kNoErr;
}

bool FakeHotKeys::press() {
  if (!handlerInstalled || !hotKeyRegistered || handler == nullptr) return false;
  handler(nullptr, nullptr, userData);
  return true;
}

// ---- application

void FakeApplication::setDelegate(ApplicationDelegate* d) {
  delegate = d;
  log.push_back("delegate");
}

void FakeApplication::run() {
  log.push_back("run");
  if (delegate) delegate->applicationDidFinishLaunching();
}

void FakeApplication::terminate() {
  log.push_back("terminate");
  if (delegate) delegate->applicationWillTerminate();
  throw ProcessExit{0};
}

// ---- everything

FakePlatform::FakePlatform() {
  Platform services;
  services.processes = &processes;
  services.settings = &settings;
  services.loginItems = &loginItems;
  services.appleScript = &appleScript;
  services.clock = &clock;
  services.mainQueue = &mainQueue;
  services.utilityQueue = &utilityQueue;
  services.timers = &timers;
  services.signals = &signals;
  services.screens = &screens;
  services.scrollMonitor = &scrollMonitor;
  services.statusBar = &statusBar;
  services.hotKeys = &hotKeys;
  services.log = &log;
  services.application = &application;
  services.process = &process;
  services.runningInstance = &runningInstance;
  installPlatform(services);
  resetDockStateForTesting();
}

FakePlatform::~FakePlatform() {
  resetDockStateForTesting();
  installPlatform(Platform{});
}

}  // namespace velmoryn::testing
