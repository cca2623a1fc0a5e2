// The control channel on the real run loop: standard input, a pipe and a Unix socket.
#include "sim/control_channel.h"

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <asio/local/stream_protocol.hpp>
#include <asio/read.hpp>
#include <asio/write.hpp>

#include "integration/desktop_fixture.h"
#include "sim/simulated_running_instance.h"

namespace velmoryn {
namespace {

namespace fs = std::filesystem;
using ControlChannelTest = testing::DesktopTest;

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

// As a client, another user is refused; a socket bound as this user but listening as
// another passes every check of a verb but the peer's.
TEST_F(ControlChannelTest, TheSocketIsPrivateTakesNoOtherFileOrListenerAndServesOnlyThisUser) {
  const auto tooLong = channel.listen(folder.path / std::string(120, 'x') / "control.sock");
  EXPECT_NE(tooLong.value_or("").find("the socket path is too long"), std::string::npos);
  fs::create_directories(socketPath.parent_path());  // open to others: made private
  std::ofstream(socketPath) << "keep me";
  EXPECT_NE(channel.listen(socketPath).value_or("").find("is not a socket"), std::string::npos);
  fs::remove(socketPath);
  {
    ControlChannel own(loop, console, [](const control::Command&) {});
    ASSERT_EQ(own.listen(socketPath), std::nullopt);
    EXPECT_EQ(fs::symlink_status(socketPath.parent_path()).permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::symlink_status(socketPath).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_NE(channel.listen(socketPath).value_or("").find("another program listens"),
              std::string::npos);
  }
  EXPECT_FALSE(fs::exists(fs::symlink_status(socketPath)));
  const fs::path link = folder.path / "link", file = folder.path / "file.sock";
  const fs::path other = folder.path / "other", served = folder.path / "served" / "control.sock";
  fs::create_directories(served.parent_path());
  fs::create_directories(other);
  fs::create_directory_symlink(served.parent_path(), link);
  std::ofstream(file) << "";
  const bool root = ::geteuid() == 0;
  pid_t otherUser = -1;
  if (root) {
    ASSERT_EQ(channel.listen(socketPath), std::nullopt);
    for (const fs::path& path :
         {folder.path, folder.path / "run", socketPath.parent_path(), socketPath})
      fs::permissions(path, fs::perms::all, fs::perm_options::add);  // only the peer check stands
    ASSERT_EQ(::chown(other.c_str(), 65534, 65534), 0);
    int heard[2];
    ASSERT_EQ(::pipe(heard), 0);
    otherUser = ::fork();
    ASSERT_GE(otherUser, 0);
    if (otherUser == 0) {
      ::signal(SIGPIPE, SIG_IGN);
      sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
      std::strncpy(address.sun_path, served.c_str(), sizeof address.sun_path - 1);
      const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
      if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
          ::setgid(65534) != 0 || ::setuid(65534) != 0 || ::listen(fd, 4) != 0 ||
          ::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0)  // after setuid, which clears it
        ::_exit(2);
      const bool nothing = ask(socketPath, "pointer 8 8\n").empty();  // throws if it cannot connect
      (void)!::write(heard[1], nothing ? "-" : "!", 1);
      ::pause();
    }
    ::close(heard[1]);
    EXPECT_TRUE(runUntil("control: refused a connection from user 65534"));
    char byte = 0;
    EXPECT_EQ(::read(heard[0], &byte, 1), 1) << "the other user could not connect";
    EXPECT_EQ(byte, '-') << "the other user heard something";
    ::close(heard[0]);
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
  if (root) {
    ::kill(otherUser, SIGKILL);
    ::waitpid(otherUser, nullptr, 0);
  }
}

// A client's lines run during stdin's wait; it hears every reply, then the end.
TEST_F(ControlChannelTest, WaitPausesOnlyItsOwnSourceAndAClientHearsEveryReplyThenTheEnd) {
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
TEST_F(ControlChannelTest, AFloodWhileItsSourceWaitsStaysWithTheSenderThenRunsInOrder) {
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
    if (viaSocket) {
      ::close(pipeFds[0]);
    } else {
      channel.readFrom(pipeFds[0]);
    }
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
TEST_F(ControlChannelTest, ConnectionsBeyondTheLimitHearWhyAndEndWhileEarlierOnesKeepWorking) {
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
}

}  // namespace
}  // namespace velmoryn
