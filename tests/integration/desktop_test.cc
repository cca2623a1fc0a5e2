// The simulated desktop driven through its control commands on the real run
// loop: the nested menu loop, clicks and the current event, scroll monitors,
// the hot key's bookkeeping and the screens.
#include "sim/number_format.h"
#include "sim/simulated_desktop.h"

#include <gtest/gtest.h>

#include <algorithm>
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

using std::chrono::milliseconds;

class DesktopTest : public ::testing::Test {
 protected:
  DesktopTest() {
    listenerId = console.addListener([this](const std::string& line) { lines.push_back(line); });
  }
  ~DesktopTest() override { console.removeListener(listenerId); }

  // Lines go through the same parser and source as typed ones.
  void type(const std::string& line) { source->feed(line); }

  void runUntilLine(const std::string& wanted) {
    bool expired = false;
    asio::steady_timer deadline(loop.context(), milliseconds(3000));
    deadline.async_wait([&](const asio::error_code& error) { expired = !error; });
    loop.runUntil([&] { return expired || has(wanted); });
    deadline.cancel();
    loop.context().poll();
    ASSERT_TRUE(has(wanted)) << "no line \"" << wanted << "\"; got:\n" << joined();
  }

  bool has(const std::string& wanted) const {
    return std::find(lines.begin(), lines.end(), wanted) != lines.end();
  }
  std::size_t indexOf(const std::string& wanted) const {
    return static_cast<std::size_t>(std::find(lines.begin(), lines.end(), wanted) - lines.begin());
  }
  std::string joined() const {
    std::string all;
    for (const auto& line : lines) all += line + "\n";
    return all;
  }

  StatusItemLinux& makeItem() {
    item = desktop.statusBar().statusItem(kVariableStatusItemLength);
    return static_cast<StatusItemLinux&>(*item);
  }

  static Menu threeItemMenu(std::vector<std::string>& performed) {
    Menu menu;
    MenuItem first;
    first.title = "一";
    first.action = Action{"first", [&performed] { performed.push_back("first"); }};
    menu.items.push_back(first);
    menu.items.push_back(MenuItem::separator());
    MenuItem info;
    info.title = "情報";
    info.enabled = false;
    menu.items.push_back(info);
    MenuItem quit;
    quit.title = "終了";
    quit.keyEquivalent = "q";
    quit.state = MenuItemState::on;
    quit.action = Action{"quit", [&performed] { performed.push_back("quit"); }};
    menu.items.push_back(quit);
    return menu;
  }

  RunLoop loop;
  Console console;
  std::vector<std::string> lines;
  int listenerId = 0;
  std::vector<control::Edge> orientations;
  bool refuseOrientation = false;
  SimulatedDesktop desktop{loop, console,
                           DesktopHooks{
                               [] { return std::string("dock=visible"); },
                               [this](control::Edge edge) -> std::optional<std::string> {
                                 if (refuseOrientation) return "refused";
                                 orientations.push_back(edge);
                                 return std::nullopt;
                               },
                               renderIconPng,
                           }};
  std::shared_ptr<CommandSource> source = std::make_shared<CommandSource>(
      loop, console, [this](const control::Command& c) { desktop.execute(c); });
  std::unique_ptr<StatusItem> item;
};

TEST_F(DesktopTest, AnOpenMenuBlocksPerformClickUntilChooseThenRunsTheItemAfterClosing) {
  StatusItemLinux& status = makeItem();
  std::vector<std::string> performed;
  status.setButtonAction(Action{"statusClicked", [&] {
                                  status.setMenu(threeItemMenu(performed));
                                  status.performClick();
                                  performed.push_back("performClick returned");
                                  status.setMenu(std::nullopt);
                                }});
  status.sendActionOn(kLeftMouseUpMask | kRightMouseUpMask);
  type("click right");
  type("choose 2");
  type("choose 3");
  type("choose 5");
  type("click left");
  type("choose 4");
  runUntilLine("menu: closed");

  EXPECT_TRUE(has("menu: 1 \"一\" | --- | 3 \"情報\" (disabled) | 4 [x] \"終了\" ⌘Q")) << joined();
  EXPECT_TRUE(has("error: item 2 is a separator"));
  EXPECT_TRUE(has("error: item 3 is disabled"));
  EXPECT_TRUE(has("error: the menu has no item 5"));
  EXPECT_TRUE(has("error: a menu is open: choose an item or dismiss it"));
  EXPECT_LT(indexOf("menu: chose 4 \"終了\""), indexOf("menu: closed"));
  EXPECT_EQ(performed, (std::vector<std::string>{"quit", "performClick returned"}));
}

TEST_F(DesktopTest, DismissClosesTheMenuWithoutRunningAnything) {
  StatusItemLinux& status = makeItem();
  std::vector<std::string> performed;
  status.setButtonAction(Action{"statusClicked", [&] {
                                  status.setMenu(threeItemMenu(performed));
                                  status.performClick();
                                  status.setMenu(std::nullopt);
                                }});
  type("choose 1");
  type("dismiss");
  type("click left");
  type("dismiss");
  type("choose 1");
  type("show");
  runUntilLine("show: tooltip=\"\" icon=none menu=closed hotkey=none monitors=0 dock=visible");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "error: no menu is open"), 3) << joined();
  EXPECT_TRUE(has("menu: closed"));
  EXPECT_TRUE(performed.empty());
}

TEST_F(DesktopTest, ClicksReportTheirEventToTheActionAndOnlyWhileItRuns) {
  StatusItemLinux& status = makeItem();
  std::vector<std::optional<CurrentEvent>> seen;
  status.setButtonAction(
      Action{"statusClicked", [&] { seen.push_back(desktop.events().current); }});
  status.sendActionOn(kLeftMouseUpMask | kRightMouseUpMask);
  type("click left");
  type("click right");
  type("click control");
  type("show");
  runUntilLine("click: control");
  runUntilLine("show: tooltip=\"\" icon=none menu=closed hotkey=none monitors=0 dock=visible");

  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0]->type, EventType::leftMouseUp);
  EXPECT_EQ(seen[0]->modifierFlags, 0u);
  EXPECT_EQ(seen[1]->type, EventType::rightMouseUp);
  EXPECT_EQ(seen[2]->type, EventType::leftMouseUp);
  EXPECT_EQ(seen[2]->modifierFlags, kControlModifierFlag);
  EXPECT_FALSE(desktop.events().current.has_value());
}

TEST_F(DesktopTest, AButtonThatActsOnLeftMouseUpOnlyIgnoresARightClick) {
  StatusItemLinux& status = makeItem();
  int calls = 0;
  status.setButtonAction(Action{"statusClicked", [&] { ++calls; }});
  type("click right");
  runUntilLine("click: the status item does not act on this button");
  EXPECT_EQ(calls, 0);
}

TEST_F(DesktopTest, ClicksWithoutAStatusItemAreRefused) {
  type("click left");
  runUntilLine("error: there is no status item");
}

TEST_F(DesktopTest, IconAndTooltipLinesComeOnlyWhenTheyChange) {
  StatusItemLinux& status = makeItem();
  IconImage hidden;
  hidden.hidden = true;
  IconImage shown;
  status.setButtonImage(shown);
  status.setButtonImage(shown);
  status.setButtonImage(hidden);
  status.setButtonToolTip("Velmoryn / Dock表示中");
  status.setButtonToolTip("Velmoryn / Dock表示中");
  EXPECT_EQ(lines, (std::vector<std::string>{"icon: shown (three squares)", "icon: hidden (arrow)",
                                             "tooltip: Velmoryn / Dock表示中"}));
}

TEST_F(DesktopTest, ScrollsReachEveryScrollMonitorAndAMonitorMayRemoveItselfOrAnother) {
  auto& monitors = desktop.scrollMonitors();
  std::vector<std::string> calls;
  std::optional<MonitorToken> second;
  auto first = monitors.addGlobalMonitor(kScrollWheelMask, [&](const ScrollEvent& e) {
    calls.push_back("first " + formatNumber(e.scrollingDeltaY));
    monitors.removeMonitor(*second);  // the later one no longer sees this event
  });
  second = monitors.addGlobalMonitor(kScrollWheelMask,
                                     [&](const ScrollEvent&) { calls.push_back("second"); });
  auto keys =
      monitors.addGlobalMonitor(1ULL << 10, [&](const ScrollEvent&) { calls.push_back("keys"); });
  ASSERT_TRUE(first && second && keys);
  type("scroll line 1.5 0 inverted");
  runUntilLine("scroll: line 1.5 0 inverted, seen by 1 monitor");
  EXPECT_EQ(calls, (std::vector<std::string>{"first 1.5"}));

  monitors.removeMonitor(*first);
  type("scroll precise 4 0");
  runUntilLine("scroll: precise 4 0, seen by 0 monitors");
}

TEST_F(DesktopTest, TheHotKeyReachesItsHandlerOnlyWhileControlOptionCommandDIsRegistered) {
  HotKeysLinux& keys = desktop.hotKeys();
  struct Seen {
    int presses = 0;
  } seen;
  auto handler = [](EventHandlerCallRef, EventRef, void* data) -> OSStatus {
    ++static_cast<Seen*>(data)->presses;
    return kNoErr;
  };
  const EventTypeSpec pressed{HotKeysLinux::kKeyboardClass, HotKeysLinux::kHotKeyPressedKind};
  EventHandlerRef handlerRef = nullptr;
  ASSERT_EQ(keys.installEventHandler(keys.applicationEventTarget(), handler, 1, &pressed, &seen,
                                     &handlerRef),
            kNoErr);
  ASSERT_NE(handlerRef, nullptr);

  EXPECT_FALSE(keys.pressControlOptionCommandD()) << "nothing registered yet";
  EventHotKeyRef other = nullptr;
  ASSERT_EQ(
      keys.registerEventHotKey(2, 256, {0x564C4D52, 1}, keys.applicationEventTarget(), 0, &other),
      kNoErr);
  EXPECT_FALSE(keys.pressControlOptionCommandD()) << "Command-D is not ⌃⌥⌘D";

  EventHotKeyRef hotKey = nullptr;
  ASSERT_EQ(
      keys.registerEventHotKey(2, 6400, {0x564C4D52, 1}, keys.applicationEventTarget(), 0, &hotKey),
      kNoErr);
  EventHotKeyRef twice = nullptr;
  EXPECT_EQ(
      keys.registerEventHotKey(2, 6400, {0x564C4D52, 2}, keys.applicationEventTarget(), 0, &twice),
      HotKeysLinux::kEventHotKeyExistsErr);

  type("hotkey");
  runUntilLine("hotkey: pressed ⌃⌥⌘D");
  EXPECT_EQ(seen.presses, 1);

  EXPECT_EQ(keys.unregisterEventHotKey(hotKey), kNoErr);
  EXPECT_EQ(keys.unregisterEventHotKey(hotKey), HotKeysLinux::kEventHotKeyInvalidErr);
  type("hotkey");
  runUntilLine("hotkey: ⌃⌥⌘D is not registered");
  EXPECT_EQ(seen.presses, 1);

  // Registered again but with the handler removed: the press reaches nobody.
  ASSERT_EQ(
      keys.registerEventHotKey(2, 6400, {0x564C4D52, 1}, keys.applicationEventTarget(), 0, &hotKey),
      kNoErr);
  EXPECT_EQ(keys.removeEventHandler(handlerRef), kNoErr);
  EXPECT_EQ(keys.removeEventHandler(handlerRef), HotKeysLinux::kParamErr);
  EXPECT_TRUE(keys.pressControlOptionCommandD());
  EXPECT_EQ(seen.presses, 1);
}

TEST_F(DesktopTest, TheDefaultDesktopIsOneScreenWithMenuBarAndDockReservedAndThePointerInside) {
  auto screens = desktop.screens().screens();
  ASSERT_EQ(screens.size(), 1u);
  EXPECT_EQ(screens[0].frame, (Rect{0, 0, 1440, 900}));
  EXPECT_EQ(screens[0].visibleFrame, (Rect{0, 70, 1440, 805}));
  EXPECT_EQ(desktop.screens().mouseLocation().x, 720);
  EXPECT_EQ(desktop.screens().mouseLocation().y, 450);
}

TEST_F(DesktopTest, ScreenCommandsChangeTheListAndBadOnesChangeNothing) {
  type("screen add 1440 0 800 600");
  type("screen set 3 0 0 10 10");
  type("screen remove 5");
  type("screen add 0 0 800 20");
  type("screen set 2 1440 100 800 600 1440 100 800 500");
  type("screen");
  runUntilLine(
      "screens: 1 frame 0 0 1440 900 visible 0 70 1440 805 | 2 frame 1440 100 800 600 visible "
      "1440 100 800 500");
  EXPECT_TRUE(has("screen 2: frame 1440 0 800 600 visible 1440 0 800 575")) << joined();
  EXPECT_TRUE(has("error: there is no screen 3"));
  EXPECT_TRUE(has("error: there is no screen 5"));
  EXPECT_TRUE(has("error: the screen is too small for the menu bar and the Dock"));

  type("screen remove 1");
  type("screen remove 1");
  type("screen");
  runUntilLine("screens: none");
  EXPECT_TRUE(desktop.screens().screens().empty());
  type("dock edge left");
  runUntilLine("error: there is no screen 1 for the Dock");
}

TEST_F(DesktopTest, DockEdgeWritesTheOrientationAndReservesItsRoomOnTheFirstScreen) {
  type("dock edge right 64");
  runUntilLine("screen 1: frame 0 0 1440 900 visible 0 0 1376 875");
  type("dock edge left");  // keeps the room it had
  runUntilLine("screen 1: frame 0 0 1440 900 visible 64 0 1376 875");
  EXPECT_EQ(orientations, (std::vector<control::Edge>{control::Edge::right, control::Edge::left}));

  type("dock edge bottom 2000");
  runUntilLine("error: the Dock's room does not fit on screen 1");
  refuseOrientation = true;
  type("dock edge bottom 70");
  runUntilLine("error: refused");
  EXPECT_EQ(desktop.screens().screens()[0].visibleFrame, (Rect{64, 0, 1376, 875}));

  // A screen set later on the Dock's screen keeps the Dock's edge and room.
  type("screen set 1 0 0 800 600");
  runUntilLine("screen 1: frame 0 0 800 600 visible 64 0 736 575");
}

TEST_F(DesktopTest, PointerMovesAnywhereAndReportsWhereItIs) {
  type("pointer -5 1e3");
  runUntilLine("pointer: -5 1000");
  EXPECT_EQ(desktop.screens().mouseLocation().x, -5);
  EXPECT_EQ(desktop.screens().mouseLocation().y, 1000);
  lines.clear();
  type("pointer");
  runUntilLine("pointer: -5 1000");
}

TEST_F(DesktopTest, IconRendersTheCurrentImageToAPngAndReportsAFileThatCannotBeWritten) {
  type("icon /nonexistent/folder/a.png");
  runUntilLine("error: there is no icon yet");

  StatusItemLinux& status = makeItem();
  IconImage image;
  image.width = 24;
  image.height = 16;
  image.drawingHandler = [](DrawingContext* context) {
    if (!context) return false;
    context->setFillColor(Color{});
    Path path;
    path.elements.push_back(RectElement{Rect{2, 2, 20, 12}});
    context->fillPathEvenOdd(path);
    return true;
  };
  status.setButtonImage(image);
  type("icon /nonexistent/folder/a.png");
  runUntilLine("error: cannot write /nonexistent/folder/a.png");

  const std::string file = ::testing::TempDir() + "velmoryn_icon_test.png";
  std::remove(file.c_str());
  type("icon " + file + " 2");
  runUntilLine("icon: wrote " + file + " at scale 2");
  std::ifstream png(file, std::ios::binary);
  char signature[8] = {};
  png.read(signature, sizeof signature);
  EXPECT_EQ(std::string(signature, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  std::remove(file.c_str());
}

}  // namespace
}  // namespace velmoryn
