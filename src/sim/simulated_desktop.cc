// Main thread only.
#include "sim/simulated_desktop.h"

#include <string>
#include <variant>

#include "sim/number_format.h"

namespace velmoryn {

SimulatedDesktop::SimulatedDesktop(RunLoop& loop, Console& console, DesktopHooks hooks)
    : console(console), hooks(std::move(hooks)), bar(loop, console, eventState) {
  const Rect frame{0, 0, 1440, 900};
  // A laptop's own panel, as the program most often starts on.
  screenService.list.push_back(
      Screen{frame, *defaultVisibleFrame(frame, true, dockEdge, dockRoom), true});
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

const char* SimulatedDesktop::kindOf(const Screen& screen) {
  return screen.builtIn ? "builtin" : "external";
}

void SimulatedDesktop::error(const std::string& message) {
  console.printLine("error: " + control::printable(message));
}

void SimulatedDesktop::printScreen(std::size_t index) {
  const Screen& screen = screenService.list[index];
  console.printLine("screen " + std::to_string(index + 1) + ": frame " + formatRect(screen.frame) +
                    " visible " + formatRect(screen.visibleFrame) + " " + kindOf(screen));
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
            formatRect(list[i].visibleFrame) + " " + kindOf(list[i]);
  }
  console.printLine(line);
}

void SimulatedDesktop::operator()(const control::AddScreen& command) {
  const bool dockScreen = screenService.list.empty();
  auto visible = command.visibleFrame
                     ? command.visibleFrame
                     : defaultVisibleFrame(command.frame, dockScreen, dockEdge, dockRoom);
  if (!visible) return error("the screen is too small for the menu bar and the Dock");
  // Plugged in unless said otherwise: the computer's own panel is there from the start.
  screenService.list.push_back(Screen{command.frame, *visible, command.builtIn.value_or(false)});
  printScreen(screenService.list.size() - 1);
  screenService.notifyChanged();
}

void SimulatedDesktop::operator()(const control::SetScreen& command) {
  const auto index = static_cast<std::size_t>(command.index);
  if (command.index < 1 || index > screenService.list.size())
    return error("there is no screen " + std::to_string(command.index));
  auto visible = command.visibleFrame
                     ? command.visibleFrame
                     : defaultVisibleFrame(command.frame, index == 1, dockEdge, dockRoom);
  if (!visible) return error("the screen is too small for the menu bar and the Dock");
  const bool builtIn = command.builtIn.value_or(screenService.list[index - 1].builtIn);
  screenService.list[index - 1] = Screen{command.frame, *visible, builtIn};
  printScreen(index - 1);
  screenService.notifyChanged();
}

void SimulatedDesktop::operator()(const control::RemoveScreen& command) {
  const auto index = static_cast<std::size_t>(command.index);
  if (command.index < 1 || index > screenService.list.size())
    return error("there is no screen " + std::to_string(command.index));
  screenService.list.erase(screenService.list.begin() + static_cast<std::ptrdiff_t>(index - 1));
  console.printLine("screen " + std::to_string(index) + ": removed");
  screenService.notifyChanged();
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
  if (const SimulatedStatusItem* item = bar.current()) {
    line += " tooltip=\"" + item->toolTip() + "\"";
    line += std::string(" icon=") + (!item->image()          ? "none"
                                     : item->image()->hidden ? "hidden"
                                                             : "shown");
  } else {
    line += " status-item=none";
  }
  line += std::string(" menu=") + (bar.menuOpen() ? "open" : "closed");
  line += std::string(" hotkey=") +
          (keys.registered(SimulatedHotKeys::kKeyCodeD, SimulatedHotKeys::kControlOptionCommand)
               ? "registered"
               : "none");
  line += " monitors=" + std::to_string(monitors.installed());
  if (hooks.describe) line += " " + hooks.describe();
  console.printLine(line);
}

void SimulatedDesktop::operator()(const control::RenderIcon& command) {
  const SimulatedStatusItem* item = bar.current();
  if (!item || !item->image()) return error("there is no icon yet");
  if (!hooks.renderIcon || !hooks.renderIcon(*item->image(), command.scale, command.file))
    return error("cannot write " + command.file);
  console.printLine("icon: wrote " + command.file + " at scale " + formatNumber(command.scale));
}

void SimulatedDesktop::operator()(const control::OpenUrl& command) {
  // The reply comes first: the program's own lines follow it.
  console.printLine("url: " + command.url);
  if (openURL) openURL(command.url);
}

void SimulatedDesktop::operator()(const control::Help&) {
  console.printLine("help: " + control::helpText());
}

}  // namespace velmoryn
