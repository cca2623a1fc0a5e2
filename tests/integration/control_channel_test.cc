// The control channel on a real Unix socket and a real pipe: the socket's
// folder and modes, stale and foreign files, the peer check, per-source order
// and `wait`, replies to a client that has finished sending, line splitting.
#include "sim/control_channel.h"
#include "sim/number_format.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <asio/local/stream_protocol.hpp>
#include <asio/read.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>

namespace velmoryn {
namespace {

namespace fs = std::filesystem;
using Socket = asio::local::stream_protocol::socket;

// A blocking client; throws when nobody listens.
Socket connectTo(const fs::path& path) {
  static asio::io_context clients;
  Socket socket(clients);
  socket.connect(asio::local::stream_protocol::endpoint(path.string()));
  return socket;
}

// Everything the peer sends until it closes.
std::string readToEnd(Socket& socket) {
  std::string all;
  asio::error_code end;
  asio::read(socket, asio::dynamic_buffer(all), end);
  return all;
}

mode_t modeOf(const fs::path& path) {
  struct stat info {};
  ::lstat(path.c_str(), &info);
  return info.st_mode & 07777;
}

// As in the program, the loop outlives the threads that read standard input
// and post to it: those may still be running when a test ends.
RunLoop& loopThatOutlivesTheTest() {
  // Never destroyed, not even at exit, when a reader may still be posting.
  static auto& loops = *new std::vector<std::unique_ptr<RunLoop>>;
  loops.push_back(std::make_unique<RunLoop>());
  return *loops.back();
}

class ControlChannelTest : public ::testing::Test {
 protected:
  ControlChannelTest() {
    console.addListener([this](const std::string& line) { lines.push_back(line); });
  }
  ~ControlChannelTest() override {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }

  // Runs the loop until `done`; false after five seconds without.
  bool runUntil(const std::function<bool()>& done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    asio::steady_timer deadline(loop.context(), limit);
    deadline.async_wait([](const asio::error_code&) {});
    loop.runUntil([&] { return done() || std::chrono::steady_clock::now() >= limit; });
    return done();
  }

  bool has(const std::string& wanted) const {
    return std::find(lines.begin(), lines.end(), wanted) != lines.end();
  }

  static inline int testsMade = 0;
  // Short: a socket path has room for about a hundred bytes.
  const fs::path folder = fs::path(::testing::TempDir()) /
                          ("vcc-" + std::to_string(::getpid()) + "-" + std::to_string(++testsMade));
  const fs::path socketPath = folder / "run" / "velmoryn" / "control.sock";
  RunLoop& loop = loopThatOutlivesTheTest();
  Console console;
  std::vector<std::string> lines;
  // Only `pointer X Y` does something here: it prints X.
  ControlChannel channel{
      loop, console, [this](const control::Command& command) {
        console.printLine("pointer: " + formatNumber(std::get<control::Pointer>(command).to->x));
      }};
};

TEST_F(ControlChannelTest, TheSocketIsPrivateAndGoneOnceTheChannelCloses) {
  {
    ControlChannel own(loop, console, [](const control::Command&) {});
    ASSERT_EQ(own.listen(socketPath), std::nullopt);
    EXPECT_EQ(modeOf(folder / "run"), 0700u);
    EXPECT_EQ(modeOf(socketPath.parent_path()), 0700u);
    EXPECT_EQ(modeOf(socketPath), 0600u);
  }
  EXPECT_FALSE(fs::exists(fs::symlink_status(socketPath)));
  const auto tooLong = channel.listen(folder / std::string(120, 'x') / "control.sock");
  EXPECT_NE(tooLong.value_or("").find("the socket path is too long"), std::string::npos);
}

TEST_F(ControlChannelTest, OnlyAStaleSocketIsReplacedNeverAFileOrALiveSocket) {
  fs::create_directories(socketPath.parent_path());  // open to others: made private
  std::ofstream(socketPath) << "keep me";
  EXPECT_NE(channel.listen(socketPath).value_or("").find("is not a socket"), std::string::npos);
  EXPECT_EQ(fs::file_size(socketPath), 7u);
  fs::remove(socketPath);
  {
    // A socket file whose listener has gone, as after a crash.
    asio::local::stream_protocol::acceptor gone(loop.context(), {socketPath.string()});
  }
  ASSERT_EQ(channel.listen(socketPath), std::nullopt);
  EXPECT_EQ(modeOf(socketPath.parent_path()), 0700u);

  ControlChannel second(loop, console, [](const control::Command&) {});
  EXPECT_NE(second.listen(socketPath).value_or("").find("another program listens"),
            std::string::npos);
  EXPECT_NO_THROW(connectTo(socketPath)) << "the first channel lost its socket";
}

TEST_F(ControlChannelTest, AClientThatHasFinishedSendingHearsEveryReplyAndThenTheEnd) {
  ASSERT_EQ(channel.listen(socketPath), std::nullopt);
  std::string heard;
  std::thread client([&] {
    Socket socket = connectTo(socketPath);
    asio::write(socket, asio::buffer("wait 0.1\npointer 3 4\r\nbogus\n" + std::string(5000, 'x') +
                                     "\npointer 7 7"));
    socket.shutdown(Socket::shutdown_send);
    heard = readToEnd(socket);
    loop.post([&] { lines.push_back("client done"); });
  });
  const bool inTime = runUntil([&] { return has("client done"); });
  client.join();
  ASSERT_TRUE(inTime) << "the connection was never closed";
  EXPECT_EQ(heard,
            "pointer: 3\nerror: unknown command \"bogus\" (try help)\nerror: line too long\n"
            "pointer: 7\n");
}

// Standard input ends with a pending wait and a last line without a line
// break: the socket's command runs during the wait, the rest after it.
TEST_F(ControlChannelTest, WaitPausesOnlyItsOwnSourceAndTheEndOfInputEndsNothing) {
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  channel.readFrom(pipeFds[0]);
  ASSERT_EQ(channel.listen(socketPath), std::nullopt);
  ASSERT_EQ(::write(pipeFds[1], "pointer 1 1\nwait 0.3\npointer 2 2", 32), 32);
  ::close(pipeFds[1]);
  ASSERT_TRUE(runUntil([&] { return has("pointer: 1"); }));
  const auto start = std::chrono::steady_clock::now();
  Socket client = connectTo(socketPath);
  asio::write(client, asio::buffer(std::string("pointer 9 9\n")));
  ASSERT_TRUE(runUntil([&] { return has("pointer: 2"); }));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
  EXPECT_EQ(lines, (std::vector<std::string>{"pointer: 1", "pointer: 9", "pointer: 2"}));
}

TEST_F(ControlChannelTest, AConnectionFromAnotherUserIsRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to connect as another user";
  ASSERT_EQ(channel.listen(socketPath), std::nullopt);
  // Open the way for the other user, so that only the peer check stands in it.
  for (const fs::path& path : {folder, folder / "run", socketPath.parent_path()})
    ::chmod(path.c_str(), 0755);
  ::chmod(socketPath.c_str(), 0666);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGPIPE, SIG_IGN);
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
    try {
      Socket socket = connectTo(socketPath);
      asio::error_code ignored;
      asio::write(socket, asio::buffer(std::string("pointer 8 8\n")), ignored);
      ::_exit(readToEnd(socket).empty() ? 0 : 3);
    } catch (...) {
      ::_exit(4);
    }
  }
  ASSERT_TRUE(runUntil([&] { return has("control: refused a connection from user 65534"); }));
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(status, 0) << "the other user heard something or could not connect";
  EXPECT_FALSE(has("pointer: 8"));
}

TEST(LineSplitter, CutsLinesAcrossPiecesDropsCarriageReturnsAndRefusesOverlongLinesWhole) {
  LineSplitter splitter;
  std::vector<std::string> out;
  auto take = [&out](std::string line) { out.push_back(std::move(line)); };
  const std::string atLimit(control::kLongestLine, 'a');
  const std::string overlong(control::kLongestLine + 10, 'y');
  splitter.push("click le", take);
  splitter.push("ft\r\n\n" + atLimit + "\n" + overlong.substr(0, 3000), take);
  splitter.push(overlong.substr(3000) + "\nhelp", take);
  splitter.finish(take);
  EXPECT_EQ(out, (std::vector<std::string>{"click left", "", atLimit,
                                           overlong.substr(0, control::kLongestLine + 1), "help"}));
}

}  // namespace
}  // namespace velmoryn
