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

using Lines = std::vector<std::string>;

class DesktopTest : public ::testing::Test {
 protected:
  DesktopTest() {
    console.addListener([this](const std::string& line) { printed.push_back(line); });
  }

  // Types the lines into one source and returns what they printed, once all have run.
  Lines type(const Lines& input) {
    printed.clear();
    for (const auto& line : input) source->feed(line);
    bool expired = false;
    asio::steady_timer deadline(loop.context(), std::chrono::seconds(5));
    deadline.async_wait([&](const asio::error_code& error) { expired = !error; });
    loop.runUntil([&] { return expired || source->idle(); });
    deadline.cancel();
    loop.context().poll();
    EXPECT_FALSE(expired);
    return printed;
  }

  // An item whose action prints the current event, or opens `menu` when given.
  StatusItemLinux& makeItem(std::optional<Menu> menu = std::nullopt) {
    item = desktop.statusBar().statusItem(kVariableStatusItemLength);
    auto& status = static_cast<StatusItemLinux&>(*item);
    status.setButtonAction(Action{"clicked", [this, &status, menu] {
                                    if (!menu) {
                                      const auto event = desktop.events().current;
                                      console.printLine("event " +
                                                        std::to_string(int(event->type)) + " " +
                                                        std::to_string(event->modifierFlags));
                                      return;
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
  Lines printed;
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
  const Lines script = {"screen",
                        "pointer",
                        "screen add 1440 0 800 600",
                        "screen set 3 0 0 10 10",
                        "screen remove 3",
                        "screen add 0 0 800 20",
                        "screen set 2 1440 100 800 600 1440 100 800 500",
                        "dock edge right 64",
                        "dock edge left",
                        "dock edge left 2000",
                        "dock edge bottom 70",
                        "screen set 1 0 0 800 600",
                        "screen",
                        "pointer -5 1e3",
                        "screen remove 1",
                        "screen remove 1",
                        "screen",
                        "dock edge left"};
  EXPECT_EQ(type(script),
            (Lines{"screens: 1 frame 0 0 1440 900 visible 0 70 1440 805", "pointer: 720 450",
                   "screen 2: frame 1440 0 800 600 visible 1440 0 800 575",
                   "error: there is no screen 3", "error: there is no screen 3",
                   "error: the screen is too small for the menu bar and the Dock",
                   "screen 2: frame 1440 100 800 600 visible 1440 100 800 500",
                   "screen 1: frame 0 0 1440 900 visible 0 0 1376 875",
                   "screen 1: frame 0 0 1440 900 visible 64 0 1376 875",
                   "error: the Dock's room does not fit on screen 1", "error: the Dock refused",
                   "screen 1: frame 0 0 800 600 visible 64 0 736 575",
                   "screens: 1 frame 0 0 800 600 visible 64 0 736 575 | 2 frame 1440 100 800 600 "
                   "visible 1440 100 800 500",
                   "pointer: -5 1000", "screen 1: removed", "screen 1: removed", "screens: none",
                   "error: there is no screen 1 for the Dock"}));
}

TEST_F(DesktopTest, WithoutAStatusItemOrAMenuCommandsAreRefused) {
  EXPECT_EQ(
      type({"click left", "choose 1", "dismiss", "hotkey", "icon a.png", "show"}),
      (Lines{"error: there is no status item", "error: no menu is open", "error: no menu is open",
             "hotkey: ⌃⌥⌘D is not registered", "error: there is no icon yet",
             "show: status-item=none menu=closed hotkey=none monitors=0 dock=visible"}));
}

TEST_F(DesktopTest, AClickReportsItsEventOnlyWhileTheActionRunsAndOnlyForItsButtons) {
  StatusItemLinux& status = makeItem();
  EXPECT_EQ(type({"click right", "click left"}),
            (Lines{"click: right", "click: the status item does not act on this button",
                   "click: left", "event 2 0"}));
  status.sendActionOn(kLeftMouseUpMask | kRightMouseUpMask);
  EXPECT_EQ(type({"click right", "click control"}),
            (Lines{"click: right", "event 4 0", "click: control", "event 2 262144"}));
  EXPECT_FALSE(desktop.events().current.has_value());
}

TEST_F(DesktopTest, AnOpenMenuHoldsPerformClickUntilChosenAndTheItemRunsAfterItCloses) {
  makeItem(menu()).sendActionOn(kRightMouseUpMask);
  EXPECT_EQ(
      type({"click right", "choose 2", "choose 3", "choose 5", "click right", "show", "choose 4",
            "click right", "dismiss"}),
      (Lines{"click: right", "menu: 1 \"一\" | --- | 3 \"情報\" (disabled) | 4 [x] \"終了\" ⌘Q",
             "error: item 2 is a separator", "error: item 3 is disabled",
             "error: the menu has no item 5", "error: a menu is open: choose an item or dismiss it",
             "show: tooltip=\"\" icon=none menu=open hotkey=none monitors=0 dock=visible",
             "menu: chose 4 \"終了\"", "menu: closed", "ran 終了", "performClick returned",
             "click: right", "menu: 1 \"一\" | --- | 3 \"情報\" (disabled) | 4 [x] \"終了\" ⌘Q",
             "menu: closed", "performClick returned"}));
}

TEST_F(DesktopTest, IconAndTooltipLinesComeOnlyOnAChangeAndTheIconRendersToAPng) {
  StatusItemLinux& status = makeItem();
  IconImage image;
  image.width = 24;
  image.height = 16;
  image.drawingHandler = [](DrawingContext* context) {
    Path path;
    path.elements.push_back(RectElement{Rect{2, 2, 20, 12}});
    if (context) context->fillPathEvenOdd(path);
    return context != nullptr;
  };
  status.setButtonImage(image);
  status.setButtonImage(image);
  image.hidden = true;
  status.setButtonImage(image);
  status.setButtonToolTip("Velmoryn / Dock表示中");
  status.setButtonToolTip("Velmoryn / Dock表示中");
  EXPECT_EQ(printed, (Lines{"icon: shown (three squares)", "icon: hidden (arrow)",
                            "tooltip: Velmoryn / Dock表示中"}));

  const std::string file = ::testing::TempDir() + "velmoryn_desktop_icon.png";
  EXPECT_EQ(
      type({"icon /nonexistent/a.png", "icon " + file + " 2"}),
      (Lines{"error: cannot write /nonexistent/a.png", "icon: wrote " + file + " at scale 2"}));
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
  EXPECT_EQ(type({"scroll line 1.5 0 inverted"}),
            (Lines{"first 1.5", "scroll: line 1.5 0 inverted, seen by 1 monitor"}));
  monitors.removeMonitor(*first);
  EXPECT_EQ(type({"scroll precise 4 -2"}), (Lines{"scroll: precise 4 -2, seen by 0 monitors"}));
}

TEST_F(DesktopTest, TheHotKeyReachesTheNewestHandlerOnlyWhileControlOptionCommandDIsRegistered) {
  HotKeysLinux& keys = desktop.hotKeys();
  const EventTypeSpec pressed{HotKeysLinux::kKeyboardClass, HotKeysLinux::kHotKeyPressedKind};
  auto handler = [](EventHandlerCallRef, EventRef, void* data) -> OSStatus {
    ++*static_cast<int*>(data);
    return kNoErr;
  };
  int older = 0;
  int newer = 0;
  EventHandlerRef olderRef = nullptr;
  EventHandlerRef newerRef = nullptr;
  const auto target = keys.applicationEventTarget();
  ASSERT_EQ(keys.installEventHandler(target, handler, 1, &pressed, &older, &olderRef), kNoErr);
  ASSERT_EQ(keys.installEventHandler(target, handler, 1, &pressed, &newer, &newerRef), kNoErr);
  EventHotKeyRef commandD = nullptr;
  EventHotKeyRef hotKey = nullptr;
  EventHotKeyRef twice = nullptr;
  ASSERT_EQ(keys.registerEventHotKey(2, 256, {1, 1}, target, 0, &commandD), kNoErr);
  EXPECT_EQ(type({"hotkey"}), (Lines{"hotkey: ⌃⌥⌘D is not registered"}));
  ASSERT_EQ(keys.registerEventHotKey(2, 6400, {1, 1}, target, 0, &hotKey), kNoErr);
  EXPECT_EQ(keys.registerEventHotKey(2, 6400, {1, 2}, target, 0, &twice),
            HotKeysLinux::kEventHotKeyExistsErr);
  EXPECT_EQ(type({"hotkey"}), (Lines{"hotkey: pressed ⌃⌥⌘D"}));
  EXPECT_EQ(keys.removeEventHandler(newerRef), kNoErr);
  EXPECT_EQ(keys.removeEventHandler(newerRef), HotKeysLinux::kParamErr);
  EXPECT_TRUE(keys.pressControlOptionCommandD());
  EXPECT_EQ(std::make_pair(older, newer), std::make_pair(1, 1));

  EXPECT_EQ(keys.unregisterEventHotKey(hotKey), kNoErr);
  EXPECT_EQ(keys.unregisterEventHotKey(hotKey), HotKeysLinux::kEventHotKeyInvalidErr);
  EXPECT_EQ(type({"hotkey"}), (Lines{"hotkey: ⌃⌥⌘D is not registered"}));
  EXPECT_EQ(older, 1);
}

}  // namespace
}  // namespace velmoryn
