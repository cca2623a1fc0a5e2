#include "fake_platform.h"

#include <algorithm>
#include <initializer_list>

#include "dock/dock_testing.h"

namespace velmoryn::testing {

// ---- timeline

void Timeline::add(std::string entry) {
  std::lock_guard lock(mutex);
  list.push_back(std::move(entry));
}

std::vector<std::string> Timeline::entries() const {
  std::lock_guard lock(mutex);
  return list;
}

std::vector<std::string> Timeline::matching(std::vector<std::string_view> prefixes) const {
  std::vector<std::string> found;
  for (const auto& entry : entries()) {
    if (std::ranges::any_of(prefixes, [&](auto prefix) { return entry.starts_with(prefix); })) {
      found.push_back(entry);
    }
  }
  return found;
}

void Timeline::clear() {
  std::lock_guard lock(mutex);
  list.clear();
}

// ---- processes

namespace {
std::string commandLine(const ProcessRequest& request) {
  std::string line = request.path.substr(request.path.rfind('/') + 1);
  for (const auto& arg : request.args) line += " " + arg;
  return line;
}
}  // namespace

ProcessResult FakeProcessRunner::run(const ProcessRequest& request) {
  {
    std::lock_guard lock(mutex);
    recorded.push_back(request);
  }
  note(commandLine(request));
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
  for (const auto& request : requests()) lines.push_back(commandLine(request));
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

void FakeSettingsStore::set(const std::string& key, SettingsValue value) {
  values[key] = std::move(value);
  note("set " + key);
}

void FakeSettingsStore::remove(const std::string& key) {
  values.erase(key);
  note("remove " + key);
}

bool FakeSettingsStore::synchronize() {
  note("synchronize");
  return synchronizeSucceeds;
}

// ---- login items

std::int64_t FakeLoginItems::status() {
  note("login status");
  return currentStatus;
}

// Registering a registered item and unregistering one that is not fail, as the
// system's service does.
std::optional<LoginItemError> FakeLoginItems::registerApp() {
  note("login register");
  if (registerError) return registerError;
  if (currentStatus == kLoginItemEnabled || currentStatus == kLoginItemRequiresApproval) {
    return LoginItemError{"Service already registered",
                          "Error Domain=SMAppServiceErrorDomain Code=12", 12};
  }
  currentStatus = statusAfterRegister;
  return std::nullopt;
}

std::optional<LoginItemError> FakeLoginItems::unregisterApp() {
  note("login unregister");
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
  void compile() override { factory.note("compile " + source); }
  std::optional<std::int64_t> executeReportsError() override {
    factory.note("execute " + source);
    return factory.executeReportsError;
  }

 private:
  FakeAppleScriptFactory& factory;  // safe because the factory outlives every script
  std::string source;
};
}  // namespace

std::unique_ptr<AppleScript> FakeAppleScriptFactory::create(const std::string& source) {
  note("create " + source);
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
  FakeSignalSource(std::shared_ptr<FakeSignals::Registration> registration,
                   const Recorder& recorder)
      : registration(std::move(registration)), recorder(recorder) {}
  void resume() override {
    registration->resumed = true;
    recorder.note("resume " + std::to_string(registration->signalNumber));
  }

 private:
  std::shared_ptr<FakeSignals::Registration> registration;
  const Recorder& recorder;  // safe because the fakes outlive every source
};
}  // namespace

std::unique_ptr<SignalSource> FakeSignals::makeSource(int signalNumber,
                                                      std::function<void()> handler) {
  note("source " + std::to_string(signalNumber));
  if (refuseSources) return nullptr;
  auto registration = std::make_shared<Registration>();
  registration->signalNumber = signalNumber;
  registration->handler = std::move(handler);
  registrations.push_back(registration);
  return std::make_unique<FakeSignalSource>(registration, *this);
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
  note("monitor " + std::to_string(mask));
  if (refuse) return std::nullopt;
  MonitorToken token = next++;
  handlers[token] = std::move(handler);
  return token;
}

void FakeScrollMonitor::removeMonitor(MonitorToken token) {
  ++removeCount;
  note("monitor removed");
  handlers.erase(token);
}

void FakeScrollMonitor::deliver(const ScrollEvent& event) {
  auto copy = handlers;  // a handler may remove monitors
  for (auto& [token, handler] : copy) handler(event);
}

// ---- status bar

void FakeStatusItem::setButtonAction(Action a) {
  if (!withButton) return;
  note("action " + a.selector);
  action = std::move(a);
}

void FakeStatusItem::sendActionOn(std::uint64_t mask) {
  if (withButton) note("mask " + std::to_string(mask));
}

void FakeStatusItem::setButtonImage(const IconImage& newImage) {
  if (!withButton) return;
  image = newImage;
  note(std::string("image ") + (newImage.hidden ? "hidden" : "shown"));
}

void FakeStatusItem::setButtonImageDescription(const std::string& description) {
  if (withButton) note("description " + description);
}

void FakeStatusItem::setButtonToolTip(const std::string& text) {
  if (!withButton) return;
  toolTip = text;
  note("tooltip " + text);
}

void FakeStatusItem::setMenu(std::optional<Menu> newMenu) {
  note(newMenu ? "menu set" : "menu cleared");
  menu = std::move(newMenu);
}

void FakeStatusItem::performClick() {
  if (!withButton) return;
  note("performClick");
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
  note("statusItem " + std::to_string(static_cast<int>(length)));
  if (returnNone) return nullptr;
  auto made = std::make_unique<FakeStatusItem>();
  made->withButton = withButton;
  made->timeline = timeline;
  item = made.get();
  return made;
}

// ---- hot keys

void FakeHotKeys::called(const std::string& what) {
  log.push_back(what);
  note("hotkey " + what);
}

OSStatus FakeHotKeys::installEventHandler(EventTargetRef, EventHandlerProc proc,
                                          std::uint32_t typeCount, const EventTypeSpec* specs,
                                          void* data, EventHandlerRef* outRef) {
  called("install");
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
  called("register");
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
  called(ref == &hotKeyToken ? "unregister" : "unregister unknown");
  hotKeyRegistered = false;
  return kNoErr;
}

OSStatus FakeHotKeys::removeEventHandler(EventHandlerRef ref) {
  called(ref == &handlerToken ? "remove" : "remove unknown");
  handlerInstalled = false;
  handler = nullptr;
  return kNoErr;
}

bool FakeHotKeys::press() {
  if (!handlerInstalled || !hotKeyRegistered || handler == nullptr) return false;
  handler(nullptr, nullptr, userData);
  return true;
}

// ---- application and process

void FakeApplication::setDelegate(ApplicationDelegate* d) {
  delegate = d;
  note("delegate");
}

void FakeApplication::run() {
  note("run");
  if (delegate) delegate->applicationDidFinishLaunching();
}

void FakeApplication::terminate() {
  note("terminate");
  if (delegate) delegate->applicationWillTerminate();
  throw ProcessExit{0};
}

std::vector<std::string> FakeProcessEnvironment::arguments() {
  note("arguments");
  return args;
}

void FakeProcessEnvironment::printLine(const std::string& text) {
  printed.push_back(text);
  note("print " + text);
}

void FakeProcessEnvironment::exit(int status) {
  note("exit " + std::to_string(status));
  throw ProcessExit{status};
}

// ---- everything

FakePlatform::FakePlatform() {
  for (Recorder* fake : std::initializer_list<Recorder*>{
           &processes, &settings, &loginItems, &appleScript, &signals, &scrollMonitor, &statusBar,
           &hotKeys, &application, &process}) {
    fake->timeline = &timeline;
  }
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
  installPlatform(services);
  resetDockStateForTesting();
}

FakePlatform::~FakePlatform() {
  resetDockStateForTesting();
  installPlatform(Platform{});
}

}  // namespace velmoryn::testing
