#include "fake_platform.h"

#include <algorithm>
#include <utility>

namespace velmoryn::testing {

void Timeline::add(std::string entry) {
  std::lock_guard lock(mutex);
  list.push_back(std::move(entry));
}

std::vector<std::string> Timeline::entries() const {
  std::lock_guard lock(mutex);
  return list;
}

std::vector<std::string> Timeline::matching(std::vector<std::string_view> prefixes) const {
  std::vector<std::string> found = entries();
  std::erase_if(found, [&](const std::string& entry) {
    return std::ranges::none_of(prefixes, [&](auto prefix) { return entry.starts_with(prefix); });
  });
  return found;
}

void Timeline::clear() {
  std::lock_guard lock(mutex);
  list.clear();
}

ProcessResult FakeProcessRunner::run(const ProcessRequest& request) {
  note(lineOf(request));
  return respond ? respond(request) : output("");
}

std::string FakeProcessRunner::lineOf(const ProcessRequest& request) {
  std::string line = request.path.substr(request.path.rfind('/') + 1);
  for (const auto& arg : request.args) line += " " + arg;
  return line;
}

ProcessResult FakeProcessRunner::output(const std::string& out) {
  ProcessResult result;
  result.started = true;
  result.exitStatus = 0;
  result.out = out;
  return result;
}

LoginItemResult FakeLoginItems::registerApp() {
  note("login register");
  if (registerAnswer) return *registerAnswer;
  if (currentStatus == kLoginItemEnabled || currentStatus == kLoginItemRequiresApproval) {
    return {LoginItemResult::Outcome::alreadyAsAsked, {"Service already registered", "Code=12"}};
  }
  currentStatus = kLoginItemEnabled;
  return {};
}

LoginItemResult FakeLoginItems::unregisterApp() {
  note("login unregister");
  if (unregisterAnswer) return *unregisterAnswer;
  if (currentStatus == kLoginItemNotRegistered || currentStatus == kLoginItemNotFound) {
    return {LoginItemResult::Outcome::alreadyAsAsked, {"Service not found", "Code=6"}};
  }
  currentStatus = kLoginItemNotRegistered;
  return {};
}

UrlDelivery FakeRunningInstance::openURL(const std::string& url, double timeLimit) {
  note("open " + url + " within " + std::to_string(static_cast<int>(timeLimit * 1000)) + " ms");
  return answer;
}

namespace {
class FakeAppleScript : public AppleScript {
 public:
  FakeAppleScript(FakeAppleScriptFactory& factory, std::string source)
      : factory(factory), source(std::move(source)) {}
  void compile() override { factory.note("compile " + source); }
  std::optional<std::int64_t> executeReportsError() override {
    factory.note("execute " + source);
    if (auto during = std::exchange(factory.duringExecution, nullptr)) during();
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

struct ManualTimers::Entry : RepeatingTimer {
  double interval = 0;
  double due = 0;
  bool valid = true;
  std::function<void()> block;
  void invalidate() override { valid = false; }
};

std::shared_ptr<RepeatingTimer> ManualTimers::scheduleRepeating(double interval,
                                                                std::function<void()> block) {
  auto& entry = entries.emplace_back(std::make_shared<Entry>());
  entry->interval = interval;
  entry->due = clock.current + interval;
  entry->block = std::move(block);
  return entry;
}

void ManualTimers::advance(double seconds) {
  const double end = clock.current + seconds;
  for (;;) {
    std::erase_if(entries, [](const auto& e) { return !e->valid; });
    auto next = std::ranges::min_element(entries, {}, [](const auto& e) { return e->due; });
    if (next == entries.end() || (*next)->due > end) break;
    auto entry = *next;
    clock.current = entry->due;
    entry->due += entry->interval;
    entry->block();
  }
  clock.current = end;
}

std::size_t ManualTimers::liveTimers() const {
  return static_cast<std::size_t>(std::ranges::count_if(entries, [](auto& e) { return e->valid; }));
}

std::unique_ptr<SignalSource> FakeSignals::makeSource(int signalNumber,
                                                      std::function<void()> handler) {
  note("source " + std::to_string(signalNumber));
  if (refuseSources) return nullptr;
  // The core owns the source; the fake keeps the registration to raise it later.
  struct Source : SignalSource {
    explicit Source(Registration& registration) : registration(registration) {}
    // Let go, a source is cancelled, as on every real system.
    ~Source() override { registration.resumed = false; }
    void resume() override { registration.resumed = true; }
    Registration& registration;  // safe because the fake keeps it and outlives every source
  };
  registrations.push_back(
      std::make_unique<Registration>(Registration{signalNumber, std::move(handler)}));
  return std::make_unique<Source>(*registrations.back());
}

void FakeSignals::raise(int signalNumber) {
  for (const auto& registration : registrations) {
    if (registration->signalNumber == signalNumber && registration->resumed)
      mainQueue.async(registration->handler);
  }
}

std::optional<MonitorToken> FakeScrollMonitor::addGlobalMonitor(
    std::uint64_t mask, std::function<void(const ScrollEvent&)> handler) {
  note("monitor " + std::to_string(mask));
  handlers[next] = std::move(handler);
  return next++;
}

void FakeStatusItem::performClick() {
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

std::unique_ptr<StatusItem> FakeStatusBar::statusItem(double length) {
  note("statusItem " + std::to_string(static_cast<int>(length)));
  if (returnNone) return nullptr;
  auto made = std::make_unique<FakeStatusItem>();
  made->timeline = timeline;
  item = made.get();
  return made;
}

OSStatus FakeHotKeys::installEventHandler(EventTargetRef, EventHandlerProc proc, std::uint32_t,
                                          const EventTypeSpec*, void* data,
                                          EventHandlerRef* outRef) {
  note("hotkey install");
  handler = proc;
  userData = data;
  *outRef = &handlerToken;
  return kNoErr;
}

OSStatus FakeHotKeys::registerEventHotKey(std::uint32_t code, std::uint32_t mods,
                                          EventHotKeyID hotKeyId, EventTargetRef,
                                          std::uint32_t opts, EventHotKeyRef* outRef) {
  std::string signature;
  for (int shift = 24; shift >= 0; shift -= 8)
    signature += static_cast<char>(hotKeyId.signature >> shift & 0xFF);
  note("hotkey register key " + std::to_string(code) + " modifiers " + std::to_string(mods) +
       " id " + signature + " " + std::to_string(hotKeyId.id) + " options " + std::to_string(opts));
  hotKeyRegistered = registerStatus == kNoErr;
  *outRef = hotKeyRegistered ? &hotKeyToken : nullptr;
  return registerStatus;
}

OSStatus FakeHotKeys::unregisterEventHotKey(EventHotKeyRef ref) {
  note(ref == &hotKeyToken ? "hotkey unregister" : "hotkey unregister unknown");
  hotKeyRegistered = false;
  return kNoErr;
}

OSStatus FakeHotKeys::removeEventHandler(EventHandlerRef ref) {
  note(ref == &handlerToken ? "hotkey remove" : "hotkey remove unknown");
  handler = nullptr;
  return kNoErr;
}

bool FakeHotKeys::press() {
  if (!hotKeyRegistered || handler == nullptr) return false;
  handler(nullptr, nullptr, userData);
  return true;
}

FakePlatform::FakePlatform() {
  for (Recorder* fake : std::initializer_list<Recorder*>{
           &processes, &settings, &loginItems, &appleScript, &signals, &scrollMonitor, &statusBar,
           &hotKeys, &application, &process, &runningInstance, &instanceLock}) {
    fake->timeline = &timeline;
  }
  all = {&processes,    &settings, &loginItems,  &appleScript, &clock,           &mainQueue,
         &utilityQueue, &timers,   &signals,     &screens,     &scrollMonitor,   &statusBar,
         &hotKeys,      &log,      &application, &process,     &runningInstance, &instanceLock};
  essential = {.log = &log, .process = &process, .instanceLock = &instanceLock};
  installPlatform(all);
}

const Platform& FakePlatform::services(PlatformNeed need) {
  static constexpr const char* kNames[] = {"processRunner", "runningInstance", "loginItems",
                                           "everything"};
  timeline.add(std::string("services ") + kNames[static_cast<int>(need)]);
  needed = need == PlatformNeed::everything ? all : essential;
  if (need == PlatformNeed::processRunner) needed.processes = &processes;
  if (need == PlatformNeed::runningInstance) needed.runningInstance = &runningInstance;
  if (need == PlatformNeed::loginItems) needed.loginItems = &loginItems;
  return needed;
}

FakePlatform::~FakePlatform() {
  installPlatform(Platform{});
}

}  // namespace velmoryn::testing
