// The simulated desktop: screens and the pointer, global scroll monitors, the
// status bar with its item and menus, the system-wide hot key, the
// application object and the process. A person or a test drives it through
// control commands; everything it shows comes out as one line on standard
// output. Main thread only, except Console, which any thread may use.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/application.h"
#include "platform/hot_key_service.h"
#include "platform/linux/control_command_linux.h"
#include "platform/linux/run_loop_linux.h"
#include "platform/screens.h"
#include "platform/scroll_monitor.h"
#include "platform/status_bar.h"

namespace velmoryn {

// Whole lines on standard output, never interleaved, flushed at once; each
// line also goes to the listeners (the control socket's clients, tests) in
// the same order. Any thread.
class Console {
 public:
  void printLine(std::string_view text);
  // Listeners are called under the console's lock: they must only hand the line on.
  int addListener(std::function<void(const std::string&)> listener);
  void removeListener(int id);

 private:
  std::mutex mutex;
  int nextId = 1;
  std::vector<std::pair<int, std::function<void(const std::string&)>>> listeners;
};

// The event the application reports while a click's action runs.
struct EventState {
  std::optional<CurrentEvent> current;
};

// A short, locale-free rendering: whole numbers without a point, others in the
// shortest form that reads back to the same value.
std::string formatNumber(double value);
std::string formatRect(const Rect& rect);

class ScreensLinux : public ScreenService {
 public:
  std::span<const Screen> screens() override { return list; }
  Point mouseLocation() override { return pointer; }

  std::vector<Screen> list;
  Point pointer;
};

class ScrollMonitorsLinux : public ScrollMonitorService {
 public:
  std::optional<MonitorToken> addGlobalMonitor(
      std::uint64_t mask, std::function<void(const ScrollEvent&)> handler) override;
  void removeMonitor(MonitorToken token) override;
  // Hands the event to every monitor installed for scroll-wheel events, in the
  // order they were installed; returns how many saw it.
  int deliver(const ScrollEvent& event);
  std::size_t installed() const { return monitors.size(); }

 private:
  struct Monitor {
    std::uint64_t mask;
    std::function<void(const ScrollEvent&)> handler;
  };
  MonitorToken next = 1;
  std::map<MonitorToken, Monitor> monitors;
};

class StatusBarLinux;

class StatusItemLinux : public StatusItem {
 public:
  StatusItemLinux(StatusBarLinux& bar) : bar(bar) {}
  ~StatusItemLinux() override;

  void setAutosaveName(const std::string& name) override { autosaveName = name; }
  bool hasButton() const override { return true; }
  void setButtonAction(Action newAction) override { action = std::move(newAction); }
  void sendActionOn(std::uint64_t mask) override { actionMask = mask; }
  void setButtonImage(const IconImage& image) override;
  void setButtonToolTip(const std::string& toolTip) override;
  void setButtonImageDescription(const std::string& description) override {
    imageDescription = description;
  }
  void setMenu(std::optional<Menu> newMenu) override { menu = std::move(newMenu); }
  void performClick() override;

  // A mouse-up on the button: an attached menu opens, otherwise the action
  // runs if the button acts on that mouse button.
  void click(const CurrentEvent& event);

  const std::optional<IconImage>& image() const { return buttonImage; }
  const std::string& toolTip() const { return buttonToolTip; }
  const std::string& accessibilityDescription() const { return imageDescription; }
  const std::string& autosave() const { return autosaveName; }

 private:
  void openMenu(const Menu& shown);

  StatusBarLinux& bar;  // safe because the bar outlives its items: both live for the whole run
  std::string autosaveName;
  std::optional<Action> action;
  std::uint64_t actionMask =
      kLeftMouseUpMask;  // a button acts on left mouse-up unless told otherwise
  std::optional<IconImage> buttonImage;
  std::string buttonToolTip;
  std::string imageDescription;
  std::optional<Menu> menu;
};

class StatusBarLinux : public StatusBar {
 public:
  StatusBarLinux(RunLoop& loop, Console& console, EventState& events)
      : loop(loop), console(console), events(events) {}
  std::unique_ptr<StatusItem> statusItem(double length) override;

  // The item the control commands click: the last one made that still exists.
  StatusItemLinux* current() const { return item; }
  bool menuOpen() const { return open != nullptr; }

  // The control commands. Each prints its outcome or an error line.
  void click(control::ClickKind kind);
  void choose(int number);
  void dismiss();

 private:
  friend class StatusItemLinux;
  struct OpenMenu {
    const Menu* menu;
    bool closed = false;
    std::optional<std::size_t> chosen;
  };

  RunLoop& loop;       // safe because these live for the whole run
  Console& console;    // safe for the same reason
  EventState& events;  // safe for the same reason
  StatusItemLinux* item = nullptr;
  OpenMenu* open = nullptr;
};

// One line for a menu, e.g.
// menu: 1 "Dockを表示" | --- | 3 "ショートカット: ⌃⌥⌘D" (disabled) | 4 [x] "…" | 7 "Velmoryn
// を終了" ⌘Q
std::string describeMenu(const Menu& menu);
std::string describeIcon(const IconImage& image);

// The event manager's bookkeeping for one application target. Status values
// are the event manager's.
class HotKeysLinux : public HotKeyService {
 public:
  static constexpr OSStatus kParamErr = -50;
  static constexpr OSStatus kEventNotHandledErr = -9874;
  static constexpr OSStatus kEventHotKeyExistsErr = -9878;
  static constexpr OSStatus kEventHotKeyInvalidErr = -9879;
  static constexpr std::uint32_t kKeyboardClass = 0x6B657962;  // 'keyb'
  static constexpr std::uint32_t kHotKeyPressedKind = 5;
  static constexpr std::uint32_t kKeyCodeD = 2;
  static constexpr std::uint32_t kControlOptionCommand = 6400;

  EventTargetRef applicationEventTarget() override { return &target; }
  OSStatus installEventHandler(EventTargetRef target, EventHandlerProc handler,
                               std::uint32_t typeCount, const EventTypeSpec* types, void* userData,
                               EventHandlerRef* outRef) override;
  OSStatus registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID id,
                               EventTargetRef target, std::uint32_t options,
                               EventHotKeyRef* outRef) override;
  OSStatus unregisterEventHotKey(EventHotKeyRef ref) override;
  OSStatus removeEventHandler(EventHandlerRef ref) override;

  // Control+Option+Command+D: false when no such hot key is registered;
  // otherwise the handlers for hot-key presses are called, newest first,
  // until one handles the event.
  bool pressControlOptionCommandD();
  bool registered(std::uint32_t keyCode, std::uint32_t modifiers) const;

 private:
  struct Handler {
    EventHandlerProc proc;
    std::vector<EventTypeSpec> types;
    void* userData;
  };
  struct HotKey {
    std::uint32_t keyCode;
    std::uint32_t modifiers;
    EventHotKeyID id;
  };
  // References handed out are these numbers, never null.
  std::uintptr_t nextRef = 1;
  std::map<std::uintptr_t, Handler> handlers;
  std::map<std::uintptr_t, HotKey> hotKeys;
  int target = 0;
};

class ApplicationLinux : public Application {
 public:
  // `launched` runs after the launch notification, before "ready".
  ApplicationLinux(RunLoop& loop, Console& console, EventState& events,
                   std::function<void()> launched)
      : loop(loop), console(console), events(events), launched(std::move(launched)) {}
  void setActivationPolicyAccessory() override { accessory = true; }
  void setDelegate(ApplicationDelegate* newDelegate) override { delegate = newDelegate; }
  void run() override;
  [[noreturn]] void terminate() override;
  std::optional<CurrentEvent> currentEvent() override { return events.current; }

 private:
  RunLoop& loop;       // safe because these live for the whole run
  Console& console;    // safe for the same reason
  EventState& events;  // safe for the same reason
  std::function<void()> launched;
  ApplicationDelegate* delegate = nullptr;  // weak: the entry point keeps it
  bool accessory = false;
};

class ProcessEnvironmentLinux : public ProcessEnvironment {
 public:
  ProcessEnvironmentLinux(int argc, char** argv, Console& console);
  std::vector<std::string> arguments() override { return args; }
  void printLine(const std::string& text) override { console.printLine(text); }
  [[noreturn]] void exit(int status) override;

 private:
  std::vector<std::string> args;
  Console& console;  // safe because it lives for the whole run
};

// What the desktop asks of parts it does not own: the simulated Dock and the icon renderer.
struct DesktopHooks {
  // "autohide=on autohide-delay=1000 orientation=none restarts=1 dock=hidden"
  std::function<std::string()> describe;
  // Writes the Dock's orientation; an error text when it could not.
  std::function<std::optional<std::string>(control::Edge)> setOrientation;
  // Renders the image to a PNG file; false when it could not.
  std::function<bool(const IconImage&, double scale, const std::filesystem::path&)> renderIcon;
};

class SimulatedDesktop {
 public:
  static constexpr double kMenuBarHeight = 25;
  static constexpr double kDefaultDockRoom = 70;

  // One 1440 x 900 screen, the menu bar at the top and the Dock's 70 points at
  // the bottom reserved, the pointer in the middle.
  SimulatedDesktop(RunLoop& loop, Console& console, DesktopHooks hooks);

  ScreensLinux& screens() { return screenService; }
  ScrollMonitorsLinux& scrollMonitors() { return monitors; }
  StatusBarLinux& statusBar() { return bar; }
  HotKeysLinux& hotKeys() { return keys; }
  EventState& events() { return eventState; }

  // Runs one command; `wait` and empty lines belong to the command source.
  void execute(const control::Command& command);

 private:
  void operator()(const control::Nothing&) {}
  void operator()(const control::ListScreens&);
  void operator()(const control::AddScreen&);
  void operator()(const control::SetScreen&);
  void operator()(const control::RemoveScreen&);
  void operator()(const control::SetDockEdge&);
  void operator()(const control::Pointer&);
  void operator()(const control::Scroll&);
  void operator()(const control::Click&);
  void operator()(const control::Choose&);
  void operator()(const control::Dismiss&);
  void operator()(const control::PressHotKey&);
  void operator()(const control::Wait&) {}
  void operator()(const control::Show&);
  void operator()(const control::RenderIcon&);
  void operator()(const control::Help&);

  // The frame less the menu bar and, on the Dock's screen, the Dock's room;
  // empty when nothing would be left.
  std::optional<Rect> defaultVisibleFrame(const Rect& frame, bool dockScreen, control::Edge edge,
                                          double room) const;
  void printScreen(std::size_t index);
  void error(const std::string& message);

  Console& console;  // safe because it lives for the whole run
  DesktopHooks hooks;
  EventState eventState;
  ScreensLinux screenService;
  ScrollMonitorsLinux monitors;
  StatusBarLinux bar;
  HotKeysLinux keys;
  control::Edge dockEdge = control::Edge::bottom;
  double dockRoom = kDefaultDockRoom;
};

}  // namespace velmoryn
