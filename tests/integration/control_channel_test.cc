// The control channel on a real Unix socket and a real pipe: the socket's
// folder and modes, stale and foreign files, the peer check, per-source order
// and `wait`, replies to a client that has finished sending, line splitting.
#include "sim/control_channel.h"
#include "sim/number_format.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <asio/local/stream_protocol.hpp>
#include <asio/steady_timer.hpp>

namespace velmoryn {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

int connectTo(const fs::path& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

void writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

// Everything the peer sends until it closes.
std::string readToEnd(int fd) {
  std::string all;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    all.append(buffer, static_cast<std::size_t>(n));
  }
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
    // Short: a socket path has room for about a hundred bytes.
    static int made = 0;
    folder = fs::path(::testing::TempDir()) /
             ("vcc-" + std::to_string(::getpid()) + "-" + std::to_string(++made));
    fs::remove_all(folder);
    socketPath = folder / "run" / "velmoryn" / "control.sock";
    listenerId = console.addListener([this](const std::string& line) { lines.push_back(line); });
  }
  ~ControlChannelTest() override {
    console.removeListener(listenerId);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }

  // Runs the loop until `done` or a deadline; false on the deadline.
  bool runUntil(const std::function<bool()>& done, milliseconds limit = milliseconds(5000)) {
    bool expired = false;
    asio::steady_timer deadline(loop.context(), limit);
    deadline.async_wait([&](const asio::error_code& error) { expired = !error; });
    loop.runUntil([&] { return expired || done(); });
    deadline.cancel();
    loop.context().poll();
    return !expired;
  }

  bool has(const std::string& wanted) const {
    return std::find(lines.begin(), lines.end(), wanted) != lines.end();
  }

  // Commands that need no desktop: only `pointer` does something here.
  void execute(const control::Command& command) {
    if (auto* pointer = std::get_if<control::Pointer>(&command)) {
      console.printLine("pointer: " + formatNumber(pointer->to->x));
    } else {
      console.printLine("ran");
    }
  }

  fs::path folder;
  fs::path socketPath;
  RunLoop& loop = loopThatOutlivesTheTest();
  Console console;
  std::vector<std::string> lines;
  int listenerId = 0;
  ControlChannel channel{loop, console,
                         [this](const control::Command& command) { execute(command); }};
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
  fs::create_directories(socketPath.parent_path());
  std::ofstream(socketPath) << "keep me";
  EXPECT_NE(channel.listen(socketPath).value_or("").find("is not a socket"), std::string::npos);
  EXPECT_EQ(fs::file_size(socketPath), 7u);
  fs::remove(socketPath);
  {
    // A socket file whose listener has gone, as after a crash.
    const asio::local::stream_protocol::endpoint stale(socketPath.string());
    asio::local::stream_protocol::acceptor bound(loop.context(), stale);
  }
  ASSERT_EQ(channel.listen(socketPath), std::nullopt);
  EXPECT_EQ(modeOf(socketPath.parent_path()), 0700u) << "an existing folder is made private";

  ControlChannel second(loop, console, [](const control::Command&) {});
  EXPECT_NE(second.listen(socketPath).value_or("").find("another program listens"),
            std::string::npos);
  const int client = connectTo(socketPath);
  EXPECT_GE(client, 0) << "the first channel lost its socket";
  ::close(client);
}

TEST_F(ControlChannelTest, AClientThatHasFinishedSendingHearsEveryReplyAndThenTheEnd) {
  ASSERT_EQ(channel.listen(socketPath), std::nullopt);
  std::atomic<bool> finished{false};
  std::string heard;
  std::thread client([&] {
    const int fd = connectTo(socketPath);
    writeAll(fd, "pointer 3 4\r\nbogus\n" + std::string(5000, 'x') + "\npointer 7 7");
    ::shutdown(fd, SHUT_WR);
    heard = readToEnd(fd);
    ::close(fd);
    finished = true;
    loop.post([] {});  // wakes the loop to look at `finished`
  });
  const bool inTime = runUntil([&] { return finished.load(); });
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
  writeAll(pipeFds[1], "pointer 1 1\nwait 0.3\npointer 2 2");
  ::close(pipeFds[1]);
  ASSERT_TRUE(runUntil([&] { return has("pointer: 1"); }));
  const auto start = std::chrono::steady_clock::now();
  const int client = connectTo(socketPath);
  writeAll(client, "pointer 9 9\n");
  ASSERT_TRUE(runUntil([&] { return has("pointer: 2"); }));
  EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(250));
  EXPECT_EQ(lines, (std::vector<std::string>{"pointer: 1", "pointer: 9", "pointer: 2"}));
  ::close(client);
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
    const int fd = connectTo(socketPath);
    writeAll(fd, "pointer 8 8\n");
    ::_exit(fd >= 0 && readToEnd(fd).empty() ? 0 : 3);
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
