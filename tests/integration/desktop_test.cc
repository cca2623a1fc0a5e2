// Typed lines on the real run loop print exactly what a person sees of the simulated desktop.
#include "sim/simulated_desktop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "integration/desktop_fixture.h"
#include "sim/control_command.h"
#include "sim/number_format.h"

namespace velmoryn {
namespace {

using testing::DesktopTest;

// Bad lines change nothing: a bound just past, what a line cannot carry, and
// what is not there yet.
TEST_F(DesktopTest, ALineThatCannotRunSaysWhy) {
  expectTranscript({
      {.typed = "ジャンプ\xff\x1b 3",
       .printed = "error: unknown command \"ジャンプ\\xff\\x1b\" (try help)"},
      {.typed = "screen add 0 0 800",
       .printed = "error: usage: screen | screen add X Y W H [VX VY VW VH] [builtin|external] | "
                  "screen set N X Y W H [VX VY VW VH] [builtin|external] | screen remove N"},
      {.typed = "screen add 0 0 0 600",
       .printed = "error: the frame's width and height must be greater than 0"},
      {.typed = "screen add 0 0 8 6 0 0 8 0",
       .printed = "error: the visible frame's width and height must be greater than 0"},
      {.typed = "screen add 0 0 1e999 600", .printed = "error: \"1e999\" is not a number"},
      {.typed = "screen add 0 0 800 20",
       .printed = "error: the screen is too small for the menu bar and the Dock"},
      {.typed = "screen remove 0", .printed = "error: screen numbers start at 1"},
      {.typed = "dock edge top", .printed = "error: usage: dock edge bottom|left|right [RESERVED]"},
      {.typed = "dock edge left -1", .printed = "error: the reserved room must be 0 or more"},
      {.typed = "pointer 0x10 3", .printed = "error: \"0x10\" is not a number"},
      {.typed = "pointer nan 3", .printed = "error: \"nan\" is not a number"},
      {.typed = "scroll line 1 0 reversed",
       .printed = "error: usage: scroll precise|line DY DX [inverted]"},
      {.typed = "click middle", .printed = "error: usage: click left|right|control"},
      {.typed = "choose 0", .printed = "error: menu item numbers start at 1"},
      {.typed = "choose 1.5", .printed = "error: \"1.5\" is not a whole number"},
      {.typed = "wait -0.1", .printed = "error: the wait must lie between 0 and 3600 seconds"},
      {.typed = "wait 3600.5", .printed = "error: the wait must lie between 0 and 3600 seconds"},
      {.typed = "icon a.png 0",
       .printed = "error: the scale must be greater than 0 and at most 16"},
      {.typed = "icon a.png 16.01",
       .printed = "error: the scale must be greater than 0 and at most 16"},
      {.typed = "icon \"\"", .printed = "error: the file name is empty"},
      {.typed = "icon \"a.png", .printed = "error: unterminated quote"},
      {.typed = "icon \"a\"b.png", .printed = "error: a quoted word must end at a blank"},
      {.typed = "show all", .printed = "error: \"show\" takes no arguments"},
      {.typed = "url a b", .printed = "error: usage: url TEXT"},
      {.typed = "screen remove 1", .printed = "screen 1: removed"},
      {.typed = "dock edge left", .printed = "error: there is no screen 1 for the Dock"},
      {.typed = "click left", .printed = "error: there is no status item"},
      {.typed = "choose 1", .printed = "error: no menu is open"},
      {.typed = "dismiss", .printed = "error: no menu is open"},
      {.typed = "icon a.png", .printed = "error: there is no icon yet"},
      {.typed = "show",
       .printed = "show: status-item=none menu=closed hotkey=none monitors=0 dock=visible"},
      {.typed = "help",
       .printed = "help: screen | screen add X Y W H [VX VY VW VH] [builtin|external] | screen set "
                  "N X Y W H [VX VY VW VH] [builtin|external] | screen remove N | dock edge "
                  "bottom|left|right [RESERVED] | pointer [X Y] | scroll precise|line DY DX "
                  "[inverted] | click left|right|control | choose N | dismiss | hotkey | wait "
                  "SECONDS | show | icon FILE.png [SCALE] | url TEXT | help"},
  });
  // The longest wait is allowed; a script would sit through it, so it is parsed only.
  EXPECT_EQ(std::get<control::Command>(control::parseCommand("wait 3600")),
            control::Command(control::Wait{3600}));
}

TEST_F(DesktopTest, ScreensTheDocksRoomAndThePointerFollowTheCommands) {
  int changes = 0;
  desktop.screens().onScreensChanged([&changes] { ++changes; });
  expectTranscript({
      {.typed = " \tpointer  ", .printed = "pointer: 720 450"},
      {.typed = "screen add 1440 0 800 600",
       .printed = "screen 2: frame 1440 0 800 600 visible 1440 0 800 575 external"},
      {.typed = "screen set 3 0 0 10 10", .printed = "error: there is no screen 3"},
      {.typed = "screen set 2 1 2 8 6 1 2 8 5 builtin",
       .printed = "screen 2: frame 1 2 8 6 visible 1 2 8 5 builtin"},
      {.typed = "dock edge right 64",
       .printed = "screen 1: frame 0 0 1440 900 visible 0 0 1376 875 builtin"},
      {.typed = "dock edge left",
       .printed = "screen 1: frame 0 0 1440 900 visible 64 0 1376 875 builtin"},
      {.typed = "dock edge left 2000",
       .printed = "error: the Dock's room does not fit on screen 1"},
      {.typed = "dock edge bottom 70", .printed = "error: the Dock refused"},
      {.typed = "screen set 1 0 0 800 600 external",
       .printed = "screen 1: frame 0 0 800 600 visible 64 0 736 575 external"},
      {.typed = "screen set 2 1 2 8 6 1 2 8 5",
       .printed = "screen 2: frame 1 2 8 6 visible 1 2 8 5 builtin"},
      {.typed = "screen",
       .printed = "screens: 1 frame 0 0 800 600 visible 64 0 736 575 external | 2 frame 1 2 8 6 "
                  "visible 1 2 8 5 builtin"},
      {.typed = "pointer -5 +1e3", .printed = "pointer: -5 1000"},
      {.typed = "screen remove 1", .printed = "screen 1: removed"},
      {.typed = "screen remove 1", .printed = "screen 1: removed"},
      {.typed = "screen", .printed = "screens: none"},
  });
  // Every screen command that changed the screens, and nothing else, told the program.
  EXPECT_EQ(changes, 6);
}

// The item's action shows `menu` when there is one, else prints the current event.
TEST_F(DesktopTest, TheStatusItemShowsChangesAndClicksAndAnOpenMenuHoldsPerformClick) {
  const auto item = desktop.statusBar().statusItem(kVariableStatusItemLength);
  auto& status = static_cast<SimulatedStatusItem&>(*item);
  std::optional<Menu> menu;
  const auto clicked = [&] {
    const CurrentEvent e = *desktop.events().current;
    if (!menu) {
      const bool left = e.type == EventType::leftMouseUp, right = e.type == EventType::rightMouseUp;
      return console.printLine(std::string("event: ") +
                               (left    ? "left up"
                                : right ? "right up"
                                        : "other") +
                               (e.modifierFlags == kControlModifierFlag ? " with control" : ""));
    }
    status.setMenu(menu);
    status.performClick();
    status.setMenu(std::nullopt);
    console.printLine("performClick returned");
  };
  status.setButtonAction(Action{"clicked", clicked});
  const auto draw = [](DrawingContext*) { return true; };
  for (const bool hidden : {false, false, true}) {  // an unchanged image or tip prints nothing
    status.setButtonImage({.width = 24, .height = 16, .hidden = hidden, .drawingHandler = draw});
    if (!hidden) status.setButtonToolTip("Velmoryn / Dock表示中");
  }
  const std::string file = ::testing::TempDir() + "velmoryn \"icon\"\\.png";
  expectTranscript({
      {.typed = "",
       .printed =
           "icon: shown (three squares)\ntooltip: Velmoryn / Dock表示中\nicon: hidden (arrow)"},
      {.typed = "icon /nonexistent/a.png", .printed = "error: cannot write /nonexistent/a.png"},
      {.typed = "icon \"" + ::testing::TempDir() + "velmoryn \\\"icon\\\"\\\\.png\" 16",
       .printed = "icon: wrote " + file + " at scale 16"},
      {.typed = "click right",
       .printed = "click: right\nclick: the status item does not act on this button"},
      {.typed = "click left", .printed = "click: left\nevent: left up"},
  });
  EXPECT_TRUE(std::filesystem::remove(file));
  status.sendActionOn(kLeftMouseUpMask | kRightMouseUpMask);
  expectTranscript({
      {.typed = "click right", .printed = "click: right\nevent: right up"},
      {.typed = " click\tcontrol ", .printed = "click: control\nevent: left up with control"},
  });
  EXPECT_FALSE(desktop.events().current.has_value());

  auto entry = [this](const std::string& title) {
    MenuItem made;
    made.title = title;
    made.action = Action{"say", [this, title] { console.printLine("ran " + title); }};
    return made;
  };
  menu = Menu{{entry("一"), MenuItem::separator(), entry("情報"), entry("終了")}};
  menu->items[2].enabled = false;
  menu->items[3].keyEquivalent = "q";
  menu->items[3].state = MenuItemState::on;
  expectTranscript({
      {.typed = "click left",
       .printed = "click: left\nmenu: 1 \"一\" | --- | 3 \"情報\" (disabled) | 4 [x] \"終了\" ⌘Q"},
      {.typed = "choose 2", .printed = "error: item 2 is a separator"},
      {.typed = "choose 3", .printed = "error: item 3 is disabled"},
      {.typed = "choose 5", .printed = "error: the menu has no item 5"},
      {.typed = "click left", .printed = "error: a menu is open: choose an item or dismiss it"},
      {.typed = "show",
       .printed = "show: tooltip=\"Velmoryn / Dock表示中\" icon=hidden menu=open hotkey=none "
                  "monitors=0 dock=visible"},
      {.typed = "choose 4",
       .printed = "menu: chose 4 \"終了\"\nmenu: closed\nran 終了\nperformClick returned"},
  });
}

TEST_F(DesktopTest, ScrollsReachEveryScrollMonitorAndAMonitorMayRemoveItselfOrAnother) {
  auto& monitors = desktop.scrollMonitors();
  std::optional<MonitorToken> second;
  auto first = monitors.addGlobalMonitor(kScrollWheelMask, [&](const ScrollEvent& e) {
    console.printLine("first " + formatNumber(e.scrollingDeltaY));
    monitors.removeMonitor(*second);  // the later one no longer sees this event
  });
  second = monitors.addGlobalMonitor(kScrollWheelMask, [&](const ScrollEvent&) {});
  monitors.addGlobalMonitor(1ULL << 10, [&](const ScrollEvent&) { console.printLine("keys"); });
  expectTranscript({{.typed = "scroll line -1.5 0.5 inverted",
                     .printed = "first -1.5\nscroll: line -1.5 0.5 inverted, seen by 1 monitor"}});
  monitors.removeMonitor(*first);
  expectTranscript(
      {{.typed = "scroll precise 4 -2", .printed = "scroll: precise 4 -2, seen by 0 monitors"}});
}

// Newest handler first, and only while Control+Option+Command+D itself is registered.
TEST_F(DesktopTest, TheHotKeyReachesTheNewestHandlerOnlyWhileControlOptionCommandDIsRegistered) {
  constexpr std::uint32_t kD = SimulatedHotKeys::kKeyCodeD, kCommandAlone = 256;  // cmdKey
  constexpr std::uint32_t kControlOptionCommand = SimulatedHotKeys::kControlOptionCommand;
  SimulatedHotKeys& keys = desktop.hotKeys();
  const auto target = keys.applicationEventTarget();
  const EventTypeSpec pressed{SimulatedHotKeys::kKeyboardClass,
                              SimulatedHotKeys::kHotKeyPressedKind};
  auto count = [](auto, auto, void* n) {
    ++*static_cast<int*>(n);
    return kNoErr;
  };
  int presses[2] = {};  // the older handler's, the newer one's
  EventHandlerRef handlers[2] = {};
  for (int i : {0, 1})
    keys.installEventHandler(target, count, 1, &pressed, &presses[i], &handlers[i]);
  EventHotKeyRef hotKeys[3] = {};
  keys.registerEventHotKey(kD, kCommandAlone, {1, 1}, target, 0, &hotKeys[0]);
  expectTranscript({{.typed = "hotkey", .printed = "hotkey: ⌃⌥⌘D is not registered"}});
  keys.registerEventHotKey(kD, kControlOptionCommand, {1, 1}, target, 0, &hotKeys[1]);
  EXPECT_EQ(keys.registerEventHotKey(kD, kControlOptionCommand, {1, 2}, target, 0, &hotKeys[2]),
            SimulatedHotKeys::kEventHotKeyExistsErr);
  expectTranscript({{.typed = "hotkey", .printed = "hotkey: pressed ⌃⌥⌘D"}});
  EXPECT_EQ(keys.removeEventHandler(handlers[1]), kNoErr);
  EXPECT_TRUE(keys.pressControlOptionCommandD());
  EXPECT_EQ(keys.unregisterEventHotKey(hotKeys[1]), kNoErr);
  expectTranscript({{.typed = "hotkey", .printed = "hotkey: ⌃⌥⌘D is not registered"}});
  EXPECT_THAT(presses, ::testing::ElementsAre(1, 1));
}

}  // namespace
}  // namespace velmoryn
