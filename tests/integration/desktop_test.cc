// Typed lines on the real run loop, a pipe and a Unix socket print exactly what a person sees.
#include "sim/simulated_desktop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

#include <asio/local/stream_protocol.hpp>
#include <asio/read.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>

#include "file_test_support.h"
#include "platform/linux/icon_renderer_linux.h"
#include "sim/control_channel.h"
#include "sim/number_format.h"
#include "sim/simulated_running_instance.h"

namespace velmoryn {
namespace {

namespace fs = std::filesystem;
using Script = std::vector<std::pair<std::string, std::string>>;

// Sends `text`, stops sending and returns all it hears; throws when nobody listens.
std::string ask(const fs::path& path, const std::string& text,
                const std::function<void()>& sent = {}) {
  asio::io_context clients;
  asio::local::stream_protocol::socket socket(clients);
  socket.connect({path.string()});
  asio::error_code end;
  asio::write(socket, asio::buffer(text), end);
  if (sent) sent();
  socket.shutdown(asio::socket_base::shutdown_send, end);
  std::string heard;
  asio::read(socket, asio::dynamic_buffer(heard), end);
  return heard;
}

class DesktopTest : public ::testing::Test {
 protected:
  DesktopTest() {
    console.addListener([this](const std::string& line) { printed += line + "\n"; });
  }

  bool runUntil(const std::function<bool()>& done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    asio::steady_timer deadline(loop.context(), limit);
    deadline.async_wait([](const asio::error_code&) {});
    loop.runUntil([&] { return done() || std::chrono::steady_clock::now() >= limit; });
    return done();
  }
  bool runUntil(const std::string& line) {
    return runUntil([&] { return ("\n" + printed).find("\n" + line + "\n") != std::string::npos; });
  }

  void expectScript(const Script& script) {
    std::string expected;
    for (const auto& [line, output] : script) {
      source->feed(line);
      expected += output.empty() ? "" : output + "\n";
    }
    runUntil([&] { return source->idle(); });
    EXPECT_EQ(std::exchange(printed, ""), expected);
  }

  // Never torn down, as in the program: a detached stdin reader may still post to it.
  static RunLoop& loopThatOutlivesTheTest() {
    static auto& loops = *new std::vector<std::unique_ptr<RunLoop>>;
    return *loops.emplace_back(std::make_unique<RunLoop>());
  }

  testing::TemporaryFolder folder;
  const fs::path socketPath = folder.path / "run" / "velmoryn" / "control.sock";
  RunLoop& loop = loopThatOutlivesTheTest();
  Console console;
  std::string printed;
  static std::optional<std::string> refuseBottom(control::Edge edge) {
    return edge == control::Edge::bottom ? "the Dock refused" : std::optional<std::string>();
  }
  SimulatedDesktop desktop{
      loop, console, {[] { return std::string("dock=visible"); }, refuseBottom, renderIconPng}};
  CommandSource::Execute execute = [this](const control::Command& c) { desktop.execute(c); };
  std::shared_ptr<CommandSource> source = std::make_shared<CommandSource>(loop, console, execute);
  ControlChannel channel{loop, console, execute};
};

TEST_F(DesktopTest, ScreensTheDocksRoomAndThePointerFollowTheCommandsAndBadLinesSayWhy) {
  int changes = 0;
  desktop.screens().onScreensChanged([&changes] { ++changes; });
  expectScript({
      {"screen", "screens: 1 frame 0 0 1440 900 visible 0 70 1440 805 builtin"},
      {" \tpointer  ", "pointer: 720 450"},
      {" \t# a comment", ""},
      {"Screen", "error: unknown command \"Screen\" (try help)"},
      {"ジャンプ\xff\x1b 3", "error: unknown command \"ジャンプ\\xff\\x1b\" (try help)"},
      {"screen add 1440 0 800 600",
       "screen 2: frame 1440 0 800 600 visible 1440 0 800 575 external"},
      {"screen add 0 0 800 builtin",
       "error: usage: screen | screen add X Y W H [VX VY VW VH] [builtin|external] | screen set N "
       "X Y W H [VX VY VW VH] [builtin|external] | screen remove N"},
      {"screen add 0 0 0 600", "error: the frame's width and height must be greater than 0"},
      {"screen add 0 0 800 20", "error: the screen is too small for the menu bar and the Dock"},
      {"screen set 3 0 0 10 10", "error: there is no screen 3"},
      {"screen set 2 1 2 8 6 1 2 8 5 builtin", "screen 2: frame 1 2 8 6 visible 1 2 8 5 builtin"},
      {"dock edge right 64", "screen 1: frame 0 0 1440 900 visible 0 0 1376 875 builtin"},
      {"dock edge left", "screen 1: frame 0 0 1440 900 visible 64 0 1376 875 builtin"},
      {"dock edge left 2000", "error: the Dock's room does not fit on screen 1"},
      {"dock edge top", "error: usage: dock edge bottom|left|right [RESERVED]"},
      {"dock edge bottom 70", "error: the Dock refused"},
      {"screen set 1 0 0 800 600 external",
       "screen 1: frame 0 0 800 600 visible 64 0 736 575 external"},
      {"screen set 2 1 2 8 6 1 2 8 5", "screen 2: frame 1 2 8 6 visible 1 2 8 5 builtin"},
      {"screen",
       "screens: 1 frame 0 0 800 600 visible 64 0 736 575 external | 2 frame 1 2 8 6 "
       "visible 1 2 8 5 builtin"},
      {"pointer -5 +1e3", "pointer: -5 1000"},
      {"pointer 0x10 3", "error: \"0x10\" is not a number"},
      {"scroll line 1 0 reversed", "error: usage: scroll precise|line DY DX [inverted]"},
      {"click middle", "error: usage: click left|right|control"},
      {"choose 0", "error: menu item numbers start at 1"},
      {"choose 1.5", "error: \"1.5\" is not a whole number"},
      {"wait 0", ""},
      {"wait 3600.5", "error: the wait must lie between 0 and 3600 seconds"},
      {"icon a.png 16.01", "error: the scale must be greater than 0 and at most 16"},
      {"icon \"\"", "error: the file name is empty"},
      {"icon \"a.png", "error: unterminated quote"},
      {"icon \"a\"b.png", "error: a quoted word must end at a blank"},
      {"show all", "error: \"show\" takes no arguments"},
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
  // Every screen command that changed the screens, and nothing else, told the program.
  EXPECT_EQ(changes, 6);
  EXPECT_EQ(std::get<control::Command>(control::parseCommand("wait 3600")),
            control::Command(control::Wait{3600}));
}

// The item's action shows `menu` when there is one, else prints the current event.
TEST_F(DesktopTest, TheStatusItemShowsChangesAndClicksAndAnOpenMenuHoldsPerformClick) {
  const auto item = desktop.statusBar().statusItem(kVariableStatusItemLength);
  auto& status = static_cast<SimulatedStatusItem&>(*item);
  std::optional<Menu> menu;
  const auto clicked = [&] {
    const CurrentEvent e = *desktop.events().current;
    if (!menu)
      return console.printLine("event " + std::to_string(int(e.type)) + " " +
                               std::to_string(e.modifierFlags));
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
  const std::string file = ::testing::TempDir() + "velmoryn \"icon\".png";
  expectScript(
      {{"", "icon: shown (three squares)\ntooltip: Velmoryn / Dock表示中\nicon: hidden (arrow)"},
       {"icon /nonexistent/a.png", "error: cannot write /nonexistent/a.png"},
       {"icon \"" + ::testing::TempDir() + "velmoryn \\\"icon\\\".png\" 16",
        "icon: wrote " + file + " at scale 16"},
       {"click right", "click: right\nclick: the status item does not act on this button"},
       {"click left", "click: left\nevent 2 0"}});
  EXPECT_TRUE(fs::remove(file));
  status.sendActionOn(kLeftMouseUpMask | kRightMouseUpMask);
  expectScript({{"click right", "click: right\nevent 4 0"},
                {" click\tcontrol ", "click: control\nevent 2 262144"}});
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
  const std::string opened =
      "click: left\nmenu: 1 \"一\" | --- | 3 \"情報\" (disabled) | 4 [x] \"終了\" ⌘Q";
  expectScript(
      {{"click left", opened},
       {"choose 2", "error: item 2 is a separator"},
       {"choose 3", "error: item 3 is disabled"},
       {"choose 5", "error: the menu has no item 5"},
       {"click left", "error: a menu is open: choose an item or dismiss it"},
       {"show",
        "show: tooltip=\"Velmoryn / Dock表示中\" icon=hidden menu=open hotkey=none "
        "monitors=0 dock=visible"},
       {"choose 4", "menu: chose 4 \"終了\"\nmenu: closed\nran 終了\nperformClick returned"},
       {"click left", opened},
       {"dismiss", "menu: closed\nperformClick returned"}});
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
  expectScript({{"scroll line -1.5 0.5 inverted",
                 "first -1.5\nscroll: line -1.5 0.5 inverted, seen by 1 monitor"}});
  monitors.removeMonitor(*first);
  expectScript({{"scroll precise 4 -2", "scroll: precise 4 -2, seen by 0 monitors"}});
}

// Newest handler first, and only while Control+Option+Command+D itself is registered.
TEST_F(DesktopTest, TheHotKeyReachesTheNewestHandlerOnlyWhileControlOptionCommandDIsRegistered) {
  SimulatedHotKeys& keys = desktop.hotKeys();
  const auto target = keys.applicationEventTarget();
  const EventTypeSpec pressed{SimulatedHotKeys::kKeyboardClass,
                              SimulatedHotKeys::kHotKeyPressedKind};
  auto count = [](auto, auto, void* n) { return ++*static_cast<int*>(n), kNoErr; };
  int presses[2] = {};  // the older handler's, the newer one's
  EventHandlerRef handlers[2] = {};
  for (int i : {0, 1})
    keys.installEventHandler(target, count, 1, &pressed, &presses[i], &handlers[i]);
  EventHotKeyRef hotKeys[3] = {};
  keys.registerEventHotKey(2, 256, {1, 1}, target, 0, &hotKeys[0]);  // Command+D alone
  expectScript({{"hotkey", "hotkey: ⌃⌥⌘D is not registered"}});
  keys.registerEventHotKey(2, 6400, {1, 1}, target, 0, &hotKeys[1]);
  EXPECT_EQ(keys.registerEventHotKey(2, 6400, {1, 2}, target, 0, &hotKeys[2]),
            SimulatedHotKeys::kEventHotKeyExistsErr);
  expectScript({{"hotkey", "hotkey: pressed ⌃⌥⌘D"}});
  EXPECT_EQ(keys.removeEventHandler(handlers[1]), kNoErr);
  EXPECT_TRUE(keys.pressControlOptionCommandD());
  EXPECT_EQ(keys.unregisterEventHotKey(hotKeys[1]), kNoErr);
  expectScript({{"hotkey", "hotkey: ⌃⌥⌘D is not registered"}});
  EXPECT_THAT(presses, ::testing::ElementsAre(1, 1));
}

TEST_F(DesktopTest, TheSocketIsPrivateOnlyAStaleOneIsReplacedAndAnotherUserIsRefused) {
  const auto tooLong = channel.listen(folder.path / std::string(120, 'x') / "control.sock");
  EXPECT_NE(tooLong.value_or("").find("the socket path is too long"), std::string::npos);
  fs::create_directories(socketPath.parent_path());  // open to others: made private
  std::ofstream(socketPath) << "keep me";
  EXPECT_NE(channel.listen(socketPath).value_or("").find("is not a socket"), std::string::npos);
  EXPECT_EQ(fs::file_size(socketPath), 7u);
  fs::remove(socketPath);
  { asio::local::stream_protocol::acceptor crashed(loop.context(), {socketPath.string()}); }
  {
    ControlChannel own(loop, console, [](const control::Command&) {});
    ASSERT_EQ(own.listen(socketPath), std::nullopt);
    EXPECT_EQ(fs::symlink_status(socketPath.parent_path()).permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::symlink_status(socketPath).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_NE(channel.listen(socketPath).value_or("").find("another program listens"),
              std::string::npos);
    EXPECT_TRUE(fs::is_socket(socketPath)) << "the first channel lost its socket";
  }
  EXPECT_FALSE(fs::exists(fs::symlink_status(socketPath)));
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to connect as another user";
  ASSERT_EQ(channel.listen(socketPath), std::nullopt);
  for (const fs::path& path :
       {folder.path, folder.path / "run", socketPath.parent_path(), socketPath})
    fs::permissions(path, fs::perms::all, fs::perm_options::add);  // only the peer check stands
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGPIPE, SIG_IGN);
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
    ::_exit(ask(socketPath, "pointer 8 8\n").empty() ? 0 : 3);  // throws if it cannot connect
  }
  ASSERT_TRUE(runUntil("control: refused a connection from user 65534"));
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(status, 0) << "the other user heard something or could not connect";
  EXPECT_EQ(printed, "control: refused a connection from user 65534\n");
}

// A client's lines run during stdin's wait; it hears every reply, then the end.
TEST_F(DesktopTest, WaitPausesOnlyItsOwnSourceAndAClientHearsEveryReplyThenTheEnd) {
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  channel.readFrom(pipeFds[0]);
  ASSERT_EQ(channel.listen(socketPath), std::nullopt);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(::write(pipeFds[1], "pointer 1 1\nwait 1\npointer 2 2", 30), 30);
  ::close(pipeFds[1]);
  ASSERT_TRUE(runUntil("pointer: 1 1"));
  std::string heard;
  std::thread client([&] {
    const std::string longest = "# " + std::string(control::kLongestLine - 2, 'x');
    heard = ask(socketPath, "wait 0.1\npointer 3 4\r\n" + longest + "\nbogus\n" +
                                std::string(5000, 'y') + "\npointer 7 7");
    loop.post([&] { console.printLine("client done"); });
  });
  const bool inTime = runUntil("client done") && runUntil("pointer: 2 2");
  client.join();
  ASSERT_TRUE(inTime);
  const std::string replies =
      "pointer: 3 4\nerror: unknown command \"bogus\" (try help)\nerror: line too long\n"
      "pointer: 7 7\n";
  EXPECT_EQ(heard, replies);
  EXPECT_EQ(printed, "pointer: 1 1\n" + replies + "client done\npointer: 2 2\n");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

// More than a pipe, a socket's buffers and a source hold together: the sender
// can finish only once lines run after the wait, so "sent" follows a reply.
TEST_F(DesktopTest, AFloodWhileItsSourceWaitsStaysWithTheSenderThenRunsInOrder) {
  ASSERT_EQ(channel.listen(socketPath), std::nullopt);
  std::string flood = "wait 0.5\n";
  std::string replies;
  for (int i = 1; flood.size() < (1 << 20); ++i) {
    const bool replied = i % 16 == 0;
    flood +=
        replied ? "pointer " + std::to_string(i) + " 0\n" : "# " + std::string(100, '-') + "\n";
    if (replied) replies += "pointer: " + std::to_string(i) + " 0\n";
  }
  for (const bool viaSocket : {false, true}) {
    SCOPED_TRACE(viaSocket ? "a socket client" : "standard input");
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    viaSocket ? void(::close(pipeFds[0])) : channel.readFrom(pipeFds[0]);
    bool done = false;
    std::string heard;
    std::thread sender([&] {
      const auto sent = [this] { loop.post([this] { console.printLine("sent"); }); };
      if (viaSocket) {
        heard = ask(socketPath, flood, sent);
      } else {
        EXPECT_TRUE(files::writeAll(pipeFds[1], flood));
        sent();
      }
      ::close(pipeFds[1]);
      loop.post([&done] { done = true; });
    });
    const bool inTime = runUntil([&] { return done && printed.size() >= replies.size() + 5; });
    sender.join();
    ASSERT_TRUE(inTime);
    const std::size_t sent = printed.find("sent\n");
    ASSERT_NE(sent, std::string::npos);
    EXPECT_LT(printed.find("pointer: 16 0\n"), sent) << "the sender was not held back";
    EXPECT_EQ(heard, viaSocket ? printed : "");
    EXPECT_EQ(printed.erase(sent, 5), replies);
    printed.clear();
  }
}

// The earlier clients keep working; one more, and a verb among them, hear why and are closed.
TEST_F(DesktopTest, ConnectionsBeyondTheLimitHearWhyAndEndWhileEarlierOnesKeepWorking) {
  ASSERT_EQ(channel.listen(socketPath), std::nullopt);
  std::string beyond, first;
  UrlDelivery verb;
  bool done = false;
  std::thread clients([&] {
    asio::io_context io;
    std::vector<asio::local::stream_protocol::socket> held;
    for (std::size_t i = 0; i < ControlChannel::kMostConnections; ++i)
      held.emplace_back(io).connect({socketPath.string()});
    beyond = ask(socketPath, "pointer 5 5\n");
    verb = SimulatedRunningInstance(socketPath).openURL("velmoryn://hide", 5);
    asio::error_code end;
    asio::write(held.front(), asio::buffer(std::string_view("pointer 1 1\n")), end);
    held.front().shutdown(asio::socket_base::shutdown_send, end);
    asio::read(held.front(), asio::dynamic_buffer(first), end);
    loop.post([&done] { done = true; });
  });
  const bool inTime = runUntil([&] { return done; });
  clients.join();
  ASSERT_TRUE(inTime);
  const std::string tooMany = "error: too many connections (at most 32)";
  EXPECT_EQ(beyond, tooMany + "\n");
  EXPECT_EQ(std::pair(verb.outcome, verb.reason), std::pair(UrlDelivery::Outcome::failed, tooMany));
  EXPECT_EQ(first, "pointer: 1 1\n");
  EXPECT_EQ(printed, first);
}

// Bound as this user but listening as another, a socket passes every check but the peer's.
TEST_F(DesktopTest, AVerbReachesOnlyASocketOfThisUserInAFolderOfThisUserServedByThisUser) {
  const fs::path link = folder.path / "link", file = folder.path / "file.sock";
  const fs::path other = folder.path / "other", served = folder.path / "served" / "control.sock";
  fs::create_directories(served.parent_path());
  fs::create_directories(other);
  fs::create_directory_symlink(served.parent_path(), link);
  std::ofstream(file) << "";
  const bool root = ::geteuid() == 0;
  pid_t server = -1;
  if (root) {
    ASSERT_EQ(::chown(other.c_str(), 65534, 65534), 0);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    server = ::fork();
    ASSERT_GE(server, 0);
    if (server == 0) {
      sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
      std::strncpy(address.sun_path, served.c_str(), sizeof address.sun_path - 1);
      const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
      if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
          ::setgid(65534) != 0 || ::setuid(65534) != 0 || ::listen(fd, 4) != 0)
        ::_exit(2);
      (void)!::write(ready[1], "!", 1);
      ::pause();
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  }
  const struct {
    const char* name;
    fs::path socket;
    std::string refusal;
    bool needsRoot = false;
  } cases[] = {
      {.name = "in a folder that is a link",
       .socket = link / "control.sock",
       .refusal = link.string() + " is not a folder of this user"},
      {.name = "a file that is no socket",
       .socket = file,
       .refusal = file.string() + " is not a socket of this user"},
      {.name = "in another user's folder",
       .socket = other / "control.sock",
       .refusal = other.string() + " is not a folder of this user",
       .needsRoot = true},
      {.name = "served by another user",
       .socket = served,
       .refusal = served.string() + " is served by another user",
       .needsRoot = true},
  };
  for (const auto& c : cases) {
    if (c.needsRoot && !root) continue;
    const UrlDelivery verb = SimulatedRunningInstance(c.socket).openURL("velmoryn://hide", 1);
    EXPECT_EQ(std::pair(verb.outcome, verb.reason),
              std::pair(UrlDelivery::Outcome::failed, c.refusal))
        << c.name;
  }
  if (root) ::kill(server, SIGKILL), ::waitpid(server, nullptr, 0);
}

}  // namespace
}  // namespace velmoryn
