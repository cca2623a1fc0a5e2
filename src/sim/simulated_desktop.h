// The simulated desktop: screens and the pointer, global scroll monitors, the
// status bar with its item and menus, the system-wide hot key, the
// application object and the process. A person or a test drives it through
// control commands; everything it shows comes out as one line on standard
// output. Main thread only.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/icon_image.h"
#include "platform/linux/run_loop_linux.h"
#include "sim/console.h"
#include "sim/control_command.h"
#include "sim/event_state.h"
#include "sim/simulated_hot_keys.h"
#include "sim/simulated_screens.h"
#include "sim/simulated_scroll_monitors.h"
#include "sim/simulated_status_bar.h"

namespace velmoryn {

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

  // One built-in 1440 x 900 screen, the menu bar at the top and the Dock's 70
  // points at the bottom reserved, the pointer in the middle.
  SimulatedDesktop(RunLoop& loop, Console& console, DesktopHooks hooks);

  SimulatedScreens& screens() { return screenService; }
  SimulatedScrollMonitors& scrollMonitors() { return monitors; }
  SimulatedStatusBar& statusBar() { return bar; }
  SimulatedHotKeys& hotKeys() { return keys; }
  EventState& events() { return eventState; }

  // Where `url` hands its URL: the application, as the system does when one is opened.
  void setOpenURL(std::function<void(const std::string&)> open) { openURL = std::move(open); }

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
  void operator()(const control::OpenUrl&);

  // The frame less the menu bar and, on the Dock's screen, the Dock's room;
  // empty when nothing would be left.
  std::optional<Rect> defaultVisibleFrame(const Rect& frame, bool dockScreen, control::Edge edge,
                                          double room) const;
  void printScreen(std::size_t index);
  // The word the control language uses for the screen's kind.
  static const char* kindOf(const Screen& screen);
  void error(const std::string& message);

  Console& console;  // safe because it lives for the whole run
  DesktopHooks hooks;
  std::function<void(const std::string&)> openURL;
  EventState eventState;
  SimulatedScreens screenService;
  SimulatedScrollMonitors monitors;
  SimulatedStatusBar bar;
  SimulatedHotKeys keys;
  control::Edge dockEdge = control::Edge::bottom;
  double dockRoom = kDefaultDockRoom;
};

}  // namespace velmoryn
