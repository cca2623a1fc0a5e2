// The simulated desktop driven through its control commands on the real run
// loop: each script of typed lines must print exactly the lines a person
// would see (screens, the Dock's room, the pointer, clicks, the nested menu
// loop, scroll monitors, the hot key).
#include "sim/number_format.h"
#include "sim/simulated_desktop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <asio/steady_timer.hpp>

#include "platform/linux/icon_renderer_linux.h"
#include "sim/control_channel.h"

namespace velmoryn {
namespace {

class DesktopTest : public ::testing::Test {
 protected:
  DesktopTest() {
    console.addListener([this](const std::string& line) { printed.push_back(line); });
  }

  // Types each line into one source and expects, once all have run, exactly
  // the lines written beside it (several joined by '\n').
  void expectScript(const std::vector<std::pair<std::string, std::string>>& script) {
    std::string expected;
    std::string seen;
    for (const auto& [line, output] : script) {
      source->feed(line);
      expected += output.empty() ? "" : output + "\n";
    }
    asio::steady_timer deadline(loop.context(), std::chrono::seconds(5));
    deadline.async_wait([](const asio::error_code&) {});
    loop.runUntil([&] {
      return source->idle() || deadline.expiry() < asio::steady_timer::clock_type::now();
    });
    for (const auto& line : printed) seen += line + "\n";
    printed.clear();
    EXPECT_EQ(seen, expected);
  }

  // An item whose action prints the current event, or opens `menu` when given.
  StatusItemLinux& makeItem(std::optional<Menu> menu = std::nullopt) {
    item = desktop.statusBar().statusItem(kVariableStatusItemLength);
    auto& status = static_cast<StatusItemLinux&>(*item);
    status.setButtonAction(Action{"clicked", [this, &status, menu] {
                                    if (!menu) {
                                      const CurrentEvent event = *desktop.events().current;
                                      return console.printLine(
                                          "event " + std::to_string(int(event.type)) + " " +
                                          std::to_string(event.modifierFlags));
                                    }
                                    status.setMenu(menu);
                                    status.performClick();
                                    console.printLine("performClick returned");
                                    status.setMenu(std::nullopt);
                                  }});
    return status;
  }

  Menu menu() {
    auto item = [this](const std::string& title) {
      MenuItem made;
      made.title = title;
      made.action = Action{"say", [this, title] { console.printLine("ran " + title); }};
      return made;
    };
    Menu made{{item("一"), MenuItem::separator(), item("情報"), item("終了")}};
    made.items[2].enabled = false;
    made.items[3].keyEquivalent = "q";
    made.items[3].state = MenuItemState::on;
    return made;
  }

  RunLoop loop;
  Console console;
  std::vector<std::string> printed;
  SimulatedDesktop desktop{loop, console,
                           DesktopHooks{[] { return std::string("dock=visible"); },
                                        [](control::Edge edge) -> std::optional<std::string> {
                                          if (edge == control::Edge::bottom)
                                            return "the Dock refused";
                                          return std::nullopt;
                                        },
                                        renderIconPng}};
  std::shared_ptr<CommandSource> source = std::make_shared<CommandSource>(
      loop, console, [this](const control::Command& c) { desktop.execute(c); });
  std::unique_ptr<StatusItem> item;
};

TEST_F(DesktopTest, ScreensTheDocksRoomAndThePointerFollowTheCommands) {
  expectScript({
      {"screen", "screens: 1 frame 0 0 1440 900 visible 0 70 1440 805"},
      {"pointer", "pointer: 720 450"},
      {"screen add 1440 0 800 600", "screen 2: frame 1440 0 800 600 visible 1440 0 800 575"},
      {"screen set 3 0 0 10 10", "error: there is no screen 3"},
      {"screen remove 3", "error: there is no screen 3"},
      {"screen add 0 0 800 20", "error: the screen is too small for the menu bar and the Dock"},
      {"screen set 2 1 2 8 6 1 2 8 5", "screen 2: frame 1 2 8 6 visible 1 2 8 5"},
      {"dock edge right 64", "screen 1: frame 0 0 1440 900 visible 0 0 1376 875"},
      {"dock edge left", "screen 1: frame 0 0 1440 900 visible 64 0 1376 875"},
      {"dock edge left 2000", "error: the Dock's room does not fit on screen 1"},
      {"dock edge bottom 70", "error: the Dock refused"},
      {"screen set 1 0 0 800 600", "screen 1: frame 0 0 800 600 visible 64 0 736 575"},
      {"screen",
       "screens: 1 frame 0 0 800 600 visible 64 0 736 575 | 2 frame 1 2 8 6 visible 1 2 8 5"},
      {"pointer -5 1e3", "pointer: -5 1000"},
      {"screen remove 1", "screen 1: removed"},
      {"screen remove 1", "screen 1: removed"},
      {"screen", "screens: none"},
      {"dock edge left", "error: there is no screen 1 for the Dock"},
      {"click left", "error: there is no status item"},
      {"choose 1", "error: no menu is open"},
      {"dismiss", "error: no menu is open"},
      {"icon a.png", "error: there is no icon yet"},
      {"show", "show: status-item=none menu=closed hotkey=none monitors=0 dock=visible"},
  });
}

TEST_F(DesktopTest, AClickReportsItsEventOnlyWhileTheActionRunsAndOnlyForItsButtons) {
  StatusItemLinux& status = makeItem();
  expectScript({{"click right", "click: right\nclick: the status item does not act on this button"},
                {"click left", "click: left\nevent 2 0"}});
  status.sendActionOn(kLeftMouseUpMask | kRightMouseUpMask);
  expectScript({{"click right", "click: right\nevent 4 0"},
                {"click control", "click: control\nevent 2 262144"}});
  EXPECT_FALSE(desktop.events().current.has_value());
}

TEST_F(DesktopTest, AnOpenMenuHoldsPerformClickUntilChosenAndTheItemRunsAfterItCloses) {
  makeItem(menu());
  const std::string opened = std::string("click: left\n") +
                             "menu: 1 \"一\" | --- | 3 \"情報\" (disabled) | 4 [x] \"終了\" ⌘Q";
  expectScript(
      {{"click left", opened},
       {"choose 2", "error: item 2 is a separator"},
       {"choose 3", "error: item 3 is disabled"},
       {"choose 5", "error: the menu has no item 5"},
       {"click left", "error: a menu is open: choose an item or dismiss it"},
       {"show", "show: tooltip=\"\" icon=none menu=open hotkey=none monitors=0 dock=visible"},
       {"choose 4", "menu: chose 4 \"終了\"\nmenu: closed\nran 終了\nperformClick returned"},
       {"click left", opened},
       {"dismiss", "menu: closed\nperformClick returned"}});
}

TEST_F(DesktopTest, IconAndTooltipLinesComeOnlyOnAChangeAndTheIconRendersToAPng) {
  StatusItemLinux& status = makeItem();
  IconImage image;
  image.width = 24;
  image.height = 16;
  image.drawingHandler = [](DrawingContext*) { return true; };
  status.setButtonImage(image);
  status.setButtonImage(image);
  image.hidden = true;
  status.setButtonImage(image);
  status.setButtonToolTip("Velmoryn / Dock表示中");
  status.setButtonToolTip("Velmoryn / Dock表示中");
  const std::string file = ::testing::TempDir() + "velmoryn_desktop_icon.png";
  expectScript(
      {{"", "icon: shown (three squares)\nicon: hidden (arrow)\ntooltip: Velmoryn / Dock表示中"},
       {"icon /nonexistent/a.png", "error: cannot write /nonexistent/a.png"},
       {"icon " + file + " 2", "icon: wrote " + file + " at scale 2"}});
  std::string signature(8, '\0');
  std::ifstream(file, std::ios::binary).read(signature.data(), 8);
  EXPECT_EQ(signature, std::string("\x89PNG\r\n\x1a\n", 8));
  std::remove(file.c_str());
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
  ASSERT_TRUE(first && second);
  expectScript({{"scroll line 1.5 0 inverted",
                 "first 1.5\nscroll: line 1.5 0 inverted, seen by 1 monitor"}});
  monitors.removeMonitor(*first);
  expectScript({{"scroll precise 4 -2", "scroll: precise 4 -2, seen by 0 monitors"}});
}

TEST_F(DesktopTest, TheHotKeyReachesTheNewestHandlerOnlyWhileControlOptionCommandDIsRegistered) {
  HotKeysLinux& keys = desktop.hotKeys();
  const auto target = keys.applicationEventTarget();
  const EventTypeSpec pressed{HotKeysLinux::kKeyboardClass, HotKeysLinux::kHotKeyPressedKind};
  auto handler = [](EventHandlerCallRef, EventRef, void* presses) -> OSStatus {
    ++*static_cast<int*>(presses);
    return kNoErr;  // handled: older handlers do not see the press
  };
  int presses[2] = {};  // the older handler's, the newer one's
  EventHandlerRef handlers[2] = {};
  for (int i : {0, 1})
    ASSERT_EQ(keys.installEventHandler(target, handler, 1, &pressed, &presses[i], &handlers[i]),
              kNoErr);
  EventHotKeyRef hotKeys[3] = {};
  ASSERT_EQ(keys.registerEventHotKey(2, 256, {1, 1}, target, 0, &hotKeys[0]), kNoErr);  // ⌘D
  expectScript({{"hotkey", "hotkey: ⌃⌥⌘D is not registered"}});
  ASSERT_EQ(keys.registerEventHotKey(2, 6400, {1, 1}, target, 0, &hotKeys[1]), kNoErr);
  EXPECT_EQ(keys.registerEventHotKey(2, 6400, {1, 2}, target, 0, &hotKeys[2]),
            HotKeysLinux::kEventHotKeyExistsErr);
  expectScript({{"hotkey", "hotkey: pressed ⌃⌥⌘D"}});
  EXPECT_EQ(keys.removeEventHandler(handlers[1]), kNoErr);
  EXPECT_EQ(keys.removeEventHandler(handlers[1]), HotKeysLinux::kParamErr);
  EXPECT_TRUE(keys.pressControlOptionCommandD());
  EXPECT_EQ(keys.unregisterEventHotKey(hotKeys[1]), kNoErr);
  EXPECT_EQ(keys.unregisterEventHotKey(hotKeys[1]), HotKeysLinux::kEventHotKeyInvalidErr);
  expectScript({{"hotkey", "hotkey: ⌃⌥⌘D is not registered"}});
  EXPECT_EQ(presses[0], 1);
  EXPECT_EQ(presses[1], 1);
}

}  // namespace
}  // namespace velmoryn
