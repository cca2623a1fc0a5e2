// Main thread only, except Console.
#include "platform/linux/desktop_linux.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace velmoryn {

void Console::printLine(std::string_view text) {
  std::string line(text);
  line += '\n';
  std::lock_guard lock(mutex);
  // One write per line; a closed output loses the line, nothing more.
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
  line.pop_back();
  for (const auto& [id, listener] : listeners) listener(line);
}

int Console::addListener(std::function<void(const std::string&)> listener) {
  std::lock_guard lock(mutex);
  listeners.emplace_back(nextId, std::move(listener));
  return nextId++;
}

void Console::removeListener(int id) {
  std::lock_guard lock(mutex);
  std::erase_if(listeners, [id](const auto& entry) { return entry.first == id; });
}

std::string formatNumber(double value) {
  if (value == 0) return "0";  // also -0
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (error != std::errc()) return "?";
  return std::string(buffer, end);
}

std::string formatRect(const Rect& rect) {
  return formatNumber(rect.x) + " " + formatNumber(rect.y) + " " + formatNumber(rect.width) + " " +
         formatNumber(rect.height);
}

// Scroll monitors.

std::optional<MonitorToken> ScrollMonitorsLinux::addGlobalMonitor(
    std::uint64_t mask, std::function<void(const ScrollEvent&)> handler) {
  if (!handler) return std::nullopt;
  const MonitorToken token = next++;
  monitors.emplace(token, Monitor{mask, std::move(handler)});
  return token;
}

void ScrollMonitorsLinux::removeMonitor(MonitorToken token) {
  monitors.erase(token);
}

int ScrollMonitorsLinux::deliver(const ScrollEvent& event) {
  std::vector<MonitorToken> tokens;
  for (const auto& [token, monitor] : monitors) {
    if (monitor.mask & kScrollWheelMask) tokens.push_back(token);
  }
  int seen = 0;
  for (MonitorToken token : tokens) {
    // A handler may remove monitors, its own included: look each one up afresh
    // and call a copy.
    auto found = monitors.find(token);
    if (found == monitors.end()) continue;
    auto handler = found->second.handler;
    handler(event);
    ++seen;
  }
  return seen;
}

// Status bar and item.

std::string describeIcon(const IconImage& image) {
  return image.hidden ? "icon: hidden (arrow)" : "icon: shown (three squares)";
}

std::string describeMenu(const Menu& menu) {
  std::string line = "menu:";
  for (std::size_t i = 0; i < menu.items.size(); ++i) {
    const MenuItem& item = menu.items[i];
    line += i == 0 ? " " : " | ";
    if (item.isSeparator) {
      line += "---";
      continue;
    }
    line += std::to_string(i + 1);
    if (item.state == MenuItemState::on) line += " [x]";
    line += " \"" + item.title + "\"";
    if (!item.enabled || !item.action) line += " (disabled)";
    if (!item.keyEquivalent.empty()) {
      std::string key = item.keyEquivalent;
      for (char& c : key) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      }
      line += " ⌘" + key;
    }
  }
  if (menu.items.empty()) line += " (empty)";
  return line;
}

StatusItemLinux::~StatusItemLinux() {
  if (bar.item == this) bar.item = nullptr;
}

void StatusItemLinux::setButtonImage(const IconImage& image) {
  const bool changed = !buttonImage || buttonImage->hidden != image.hidden;
  buttonImage = image;
  if (changed) bar.console.printLine(describeIcon(image));
}

void StatusItemLinux::setButtonToolTip(const std::string& toolTip) {
  if (toolTip == buttonToolTip) return;
  buttonToolTip = toolTip;
  bar.console.printLine("tooltip: " + toolTip);
}

void StatusItemLinux::performClick() {
  if (!menu) {
    if (action) {
      const Action copy = *action;
      copy.perform();
    }
    return;
  }
  // A copy: the owner may attach another menu while this one is open.
  const Menu shown = *menu;
  openMenu(shown);
}

void StatusItemLinux::openMenu(const Menu& shown) {
  if (bar.open) return;  // one menu at a time, as a person has one pointer
  StatusBarLinux::OpenMenu session{&shown, false, std::nullopt};
  bar.open = &session;
  bar.console.printLine(describeMenu(shown));
  // Safe because the session lives on this frame until the nested loop ends.
  bar.loop.runModalUntil([&session] { return session.closed; });
  bar.open = nullptr;
  bar.console.printLine("menu: closed");
  // As on the platform, the chosen item's action comes after the menu has closed.
  if (session.chosen) {
    const Action chosen = *shown.items[*session.chosen].action;
    chosen.perform();
  }
}

void StatusItemLinux::click(const CurrentEvent& event) {
  if (menu) {
    performClick();
    return;
  }
  const std::uint64_t bit = 1ULL << static_cast<std::uint32_t>(event.type);
  if (!(actionMask & bit)) {
    bar.console.printLine("click: the status item does not act on this button");
    return;
  }
  if (!action) {
    bar.console.printLine("click: the status item has no action");
    return;
  }
  const Action copy = *action;
  const std::optional<CurrentEvent> before = bar.events.current;
  bar.events.current = event;
  copy.perform();
  bar.events.current = before;
}

std::unique_ptr<StatusItem> StatusBarLinux::statusItem(double) {
  auto made = std::make_unique<StatusItemLinux>(*this);
  item = made.get();
  return made;
}

void StatusBarLinux::click(control::ClickKind kind) {
  if (!item) {
    console.printLine("error: there is no status item");
    return;
  }
  if (open) {
    console.printLine("error: a menu is open: choose an item or dismiss it");
    return;
  }
  CurrentEvent event;
  switch (kind) {
    case control::ClickKind::left:
      console.printLine("click: left");
      event = {EventType::leftMouseUp, 0};
      break;
    case control::ClickKind::right:
      console.printLine("click: right");
      event = {EventType::rightMouseUp, 0};
      break;
    case control::ClickKind::control:
      console.printLine("click: control");
      event = {EventType::leftMouseUp, kControlModifierFlag};
      break;
  }
  item->click(event);
}

void StatusBarLinux::choose(int number) {
  if (!open) {
    console.printLine("error: no menu is open");
    return;
  }
  const auto& items = open->menu->items;
  if (number < 1 || static_cast<std::size_t>(number) > items.size()) {
    console.printLine("error: the menu has no item " + std::to_string(number));
    return;
  }
  const MenuItem& chosen = items[number - 1];
  if (chosen.isSeparator) {
    console.printLine("error: item " + std::to_string(number) + " is a separator");
    return;
  }
  if (!chosen.enabled || !chosen.action) {
    console.printLine("error: item " + std::to_string(number) + " is disabled");
    return;
  }
  console.printLine("menu: chose " + std::to_string(number) + " \"" + chosen.title + "\"");
  open->chosen = static_cast<std::size_t>(number - 1);
  open->closed = true;
}

void StatusBarLinux::dismiss() {
  if (!open) {
    console.printLine("error: no menu is open");
    return;
  }
  open->closed = true;
}

// Hot keys.

OSStatus HotKeysLinux::installEventHandler(EventTargetRef eventTarget, EventHandlerProc handler,
                                           std::uint32_t typeCount, const EventTypeSpec* types,
                                           void* userData, EventHandlerRef* outRef) {
  if (eventTarget != &target || !handler || typeCount == 0 || !types) return kParamErr;
  const std::uintptr_t ref = nextRef++;
  handlers.emplace(
      ref, Handler{handler, std::vector<EventTypeSpec>(types, types + typeCount), userData});
  // An opaque handle that is never dereferenced, as the event manager's are.
  if (outRef)
    *outRef = reinterpret_cast<EventHandlerRef>(ref);  // NOLINT(performance-no-int-to-ptr)
  return kNoErr;
}

OSStatus HotKeysLinux::registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                           EventHotKeyID id, EventTargetRef eventTarget,
                                           std::uint32_t, EventHotKeyRef* outRef) {
  if (eventTarget != &target || !outRef) return kParamErr;
  if (registered(keyCode, modifiers)) return kEventHotKeyExistsErr;
  const std::uintptr_t ref = nextRef++;
  hotKeys.emplace(ref, HotKey{keyCode, modifiers, id});
  *outRef = reinterpret_cast<EventHotKeyRef>(ref);  // NOLINT(performance-no-int-to-ptr): opaque
  return kNoErr;
}

OSStatus HotKeysLinux::unregisterEventHotKey(EventHotKeyRef ref) {
  return hotKeys.erase(reinterpret_cast<std::uintptr_t>(ref)) ? kNoErr : kEventHotKeyInvalidErr;
}

OSStatus HotKeysLinux::removeEventHandler(EventHandlerRef ref) {
  return handlers.erase(reinterpret_cast<std::uintptr_t>(ref)) ? kNoErr : kParamErr;
}

bool HotKeysLinux::registered(std::uint32_t keyCode, std::uint32_t modifiers) const {
  for (const auto& [ref, hotKey] : hotKeys) {
    if (hotKey.keyCode == keyCode && hotKey.modifiers == modifiers) return true;
  }
  return false;
}

bool HotKeysLinux::pressControlOptionCommandD() {
  if (!registered(kKeyCodeD, kControlOptionCommand)) return false;
  std::vector<std::uintptr_t> refs;
  for (const auto& [ref, handler] : handlers) {
    for (const EventTypeSpec& type : handler.types) {
      if (type.eventClass == kKeyboardClass && type.eventKind == kHotKeyPressedKind) {
        refs.push_back(ref);
        break;
      }
    }
  }
  int event = 0;  // the handlers get an event reference; none of ours reads it
  for (auto ref = refs.rbegin(); ref != refs.rend(); ++ref) {
    auto found = handlers.find(*ref);
    if (found == handlers.end()) continue;
    const Handler handler = found->second;
    if (handler.proc(nullptr, &event, handler.userData) != kEventNotHandledErr) break;
  }
  return true;
}

// Application and process.

void ApplicationLinux::run() {
  if (delegate) delegate->applicationDidFinishLaunching();
  if (launched) launched();
  console.printLine("ready");
  loop.runUntil([] { return false; });
  std::abort();  // not reached: the loop never ends by itself
}

void ApplicationLinux::terminate() {
  if (delegate) delegate->applicationWillTerminate();
  std::fflush(nullptr);
  std::exit(0);
}

ProcessEnvironmentLinux::ProcessEnvironmentLinux(int argc, char** argv, Console& console)
    : args(argv, argv + argc), console(console) {}

void ProcessEnvironmentLinux::exit(int status) {
  std::fflush(nullptr);
  std::exit(status);
}

// The desktop and its commands.

SimulatedDesktop::SimulatedDesktop(RunLoop& loop, Console& console, DesktopHooks hooks)
    : console(console), hooks(std::move(hooks)), bar(loop, console, eventState) {
  const Rect frame{0, 0, 1440, 900};
  screenService.list.push_back(
      Screen{frame, *defaultVisibleFrame(frame, true, dockEdge, dockRoom)});
  screenService.pointer = Point{720, 450};
}

void SimulatedDesktop::execute(const control::Command& command) {
  std::visit([this](const auto& c) { (*this)(c); }, command);
}

std::optional<Rect> SimulatedDesktop::defaultVisibleFrame(const Rect& frame, bool dockScreen,
                                                          control::Edge edge, double room) const {
  Rect visible = frame;
  visible.height -= kMenuBarHeight;
  if (dockScreen) {
    switch (edge) {
      case control::Edge::bottom:
        visible.y += room;
        visible.height -= room;
        break;
      case control::Edge::left:
        visible.x += room;
        visible.width -= room;
        break;
      case control::Edge::right:
        visible.width -= room;
        break;
    }
  }
  if (visible.width <= 0 || visible.height <= 0) return std::nullopt;
  return visible;
}

void SimulatedDesktop::error(const std::string& message) {
  console.printLine("error: " + message);
}

void SimulatedDesktop::printScreen(std::size_t index) {
  const Screen& screen = screenService.list[index];
  console.printLine("screen " + std::to_string(index + 1) + ": frame " + formatRect(screen.frame) +
                    " visible " + formatRect(screen.visibleFrame));
}

void SimulatedDesktop::operator()(const control::ListScreens&) {
  const auto& list = screenService.list;
  if (list.empty()) {
    console.printLine("screens: none");
    return;
  }
  std::string line = "screens:";
  for (std::size_t i = 0; i < list.size(); ++i) {
    line += i == 0 ? " " : " | ";
    line += std::to_string(i + 1) + " frame " + formatRect(list[i].frame) + " visible " +
            formatRect(list[i].visibleFrame);
  }
  console.printLine(line);
}

void SimulatedDesktop::operator()(const control::AddScreen& command) {
  const bool dockScreen = screenService.list.empty();
  auto visible = command.visibleFrame
                     ? command.visibleFrame
                     : defaultVisibleFrame(command.frame, dockScreen, dockEdge, dockRoom);
  if (!visible) return error("the screen is too small for the menu bar and the Dock");
  screenService.list.push_back(Screen{command.frame, *visible});
  printScreen(screenService.list.size() - 1);
}

void SimulatedDesktop::operator()(const control::SetScreen& command) {
  const auto index = static_cast<std::size_t>(command.index);
  if (command.index < 1 || index > screenService.list.size())
    return error("there is no screen " + std::to_string(command.index));
  auto visible = command.visibleFrame
                     ? command.visibleFrame
                     : defaultVisibleFrame(command.frame, index == 1, dockEdge, dockRoom);
  if (!visible) return error("the screen is too small for the menu bar and the Dock");
  screenService.list[index - 1] = Screen{command.frame, *visible};
  printScreen(index - 1);
}

void SimulatedDesktop::operator()(const control::RemoveScreen& command) {
  const auto index = static_cast<std::size_t>(command.index);
  if (command.index < 1 || index > screenService.list.size())
    return error("there is no screen " + std::to_string(command.index));
  screenService.list.erase(screenService.list.begin() + static_cast<std::ptrdiff_t>(index - 1));
  console.printLine("screen " + std::to_string(index) + ": removed");
}

void SimulatedDesktop::operator()(const control::SetDockEdge& command) {
  if (screenService.list.empty()) return error("there is no screen 1 for the Dock");
  const double room = command.reserved.value_or(dockRoom);
  auto visible = defaultVisibleFrame(screenService.list[0].frame, true, command.edge, room);
  if (!visible) return error("the Dock's room does not fit on screen 1");
  if (hooks.setOrientation) {
    if (auto failure = hooks.setOrientation(command.edge)) return error(*failure);
  }
  dockEdge = command.edge;
  dockRoom = room;
  screenService.list[0].visibleFrame = *visible;
  printScreen(0);
}

void SimulatedDesktop::operator()(const control::Pointer& command) {
  if (command.to) screenService.pointer = *command.to;
  const Point p = screenService.pointer;
  console.printLine("pointer: " + formatNumber(p.x) + " " + formatNumber(p.y));
}

void SimulatedDesktop::operator()(const control::Scroll& command) {
  const ScrollEvent& event = command.event;
  const int seen = monitors.deliver(event);
  console.printLine(
      std::string("scroll: ") + (event.hasPreciseScrollingDeltas ? "precise" : "line") + " " +
      formatNumber(event.scrollingDeltaY) + " " + formatNumber(event.scrollingDeltaX) +
      (event.isDirectionInvertedFromDevice ? " inverted" : "") + ", seen by " +
      std::to_string(seen) + (seen == 1 ? " monitor" : " monitors"));
}

void SimulatedDesktop::operator()(const control::Click& command) {
  bar.click(command.kind);
}

void SimulatedDesktop::operator()(const control::Choose& command) {
  bar.choose(command.item);
}

void SimulatedDesktop::operator()(const control::Dismiss&) {
  bar.dismiss();
}

void SimulatedDesktop::operator()(const control::PressHotKey&) {
  if (!keys.pressControlOptionCommandD()) {
    console.printLine("hotkey: ⌃⌥⌘D is not registered");
    return;
  }
  console.printLine("hotkey: pressed ⌃⌥⌘D");
}

void SimulatedDesktop::operator()(const control::Show&) {
  std::string line = "show:";
  if (const StatusItemLinux* item = bar.current()) {
    line += " tooltip=\"" + item->toolTip() + "\"";
    line += std::string(" icon=") + (!item->image()          ? "none"
                                     : item->image()->hidden ? "hidden"
                                                             : "shown");
  } else {
    line += " status-item=none";
  }
  line += std::string(" menu=") + (bar.menuOpen() ? "open" : "closed");
  line +=
      std::string(" hotkey=") +
      (keys.registered(HotKeysLinux::kKeyCodeD, HotKeysLinux::kControlOptionCommand) ? "registered"
                                                                                     : "none");
  line += " monitors=" + std::to_string(monitors.installed());
  if (hooks.describe) line += " " + hooks.describe();
  console.printLine(line);
}

void SimulatedDesktop::operator()(const control::RenderIcon& command) {
  const StatusItemLinux* item = bar.current();
  if (!item || !item->image()) return error("there is no icon yet");
  if (!hooks.renderIcon || !hooks.renderIcon(*item->image(), command.scale, command.file))
    return error("cannot write " + command.file);
  console.printLine("icon: wrote " + command.file + " at scale " + formatNumber(command.scale));
}

void SimulatedDesktop::operator()(const control::Help&) {
  console.printLine("help: " + control::helpText());
}

}  // namespace velmoryn
