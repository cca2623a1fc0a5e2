// The control channel of the simulated desktop: command lines from standard
// input and from a Unix socket. Each source runs its commands in order on the
// main thread; `wait` pauses only its own source. Standard input is read by a
// thread of its own with blocking reads (an end of input ends nothing); the
// socket is served by the main loop. Main thread, except where noted.
#pragma once

#include "platform/linux/asio_config_linux.h"

#include <sys/types.h>

#include <cstddef>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <asio/steady_timer.hpp>

#include "platform/linux/run_loop_linux.h"
#include "sim/control_command.h"
#include "sim/simulated_desktop.h"

namespace velmoryn {

// One source of commands. Its reader stops while more than kMostWaitingInput
// of input waits to run (each line counted with a small fixed cost besides
// its bytes), and goes on once half of that has run: a flood, or lines sent
// during a `wait`, stay with the sender instead of in memory.
class CommandSource : public std::enable_shared_from_this<CommandSource> {
 public:
  using Execute = std::function<void(const control::Command&)>;
  static constexpr std::size_t kMostWaitingInput = std::size_t{64} << 10;
  static std::size_t cost(const std::string& line) { return line.size() + sizeof(std::string); }

  CommandSource(RunLoop& loop, Console& console, Execute execute)
      : loop(loop), console(console), execute(std::move(execute)) {}

  void feed(std::string line);
  // Called once every line fed so far has run (not while one still waits).
  void setDrained(std::function<void()> callback) { drained = std::move(callback); }
  // Called with a line's cost each time one leaves the queue to run.
  void setTaken(std::function<void(std::size_t)> callback) { taken = std::move(callback); }
  bool idle() const { return lines.empty() && !paused && running == 0; }
  std::size_t waitingInput() const { return waiting; }

 private:
  void schedule();
  void step();
  void notifyIfDrained();

  RunLoop& loop;     // safe because these live for the whole run
  Console& console;  // safe for the same reason
  Execute execute;
  std::deque<std::string> lines;
  std::size_t waiting = 0;  // the cost of `lines`
  bool scheduled = false;
  bool paused = false;
  int running = 0;  // commands started and not yet returned (a menu nests them)
  std::function<void()> drained;
  std::function<void(std::size_t)> taken;
  std::unique_ptr<asio::steady_timer> waitTimer;
};

// $XDG_RUNTIME_DIR/velmoryn/control.sock when that folder is set and absolute,
// else <data folder>/control.sock.
std::filesystem::path defaultControlSocketPath(const std::filesystem::path& dataFolder);

// At most kMostConnections clients at a time: one more is told
// "error: too many connections (at most N)" and closed, so that clients never
// use up the descriptors the program needs (the Dock's restore runs tools
// through pipes). Output held back for clients that do not read is bounded
// per client and in all: a client whose backlog outgrows its share of
// kAllOutboxes (at most kLargestOutbox) is dropped.
class ControlChannel {
 public:
  static constexpr std::size_t kMostConnections = 32;
  static constexpr std::size_t kLargestOutbox = std::size_t{1} << 20;
  static constexpr std::size_t kAllOutboxes = std::size_t{4} << 20;

  ControlChannel(RunLoop& loop, Console& console, CommandSource::Execute execute);
  // Teardown at exit; a throw from the sockets here would be a broken
  // invariant, and ending the process through std::terminate is right then.
  ~ControlChannel();  // NOLINT(bugprone-exception-escape)
  ControlChannel(const ControlChannel&) = delete;
  ControlChannel& operator=(const ControlChannel&) = delete;

  // Starts the thread that reads commands from the descriptor.
  void readFrom(int fd);

  // Listens on the socket: its folder is made private (0700, ours), a stale
  // socket is replaced, the socket gets mode 0600 and is removed when the
  // process exits. Connections from other users are refused. Empty on
  // success, otherwise why not.
  std::optional<std::string> listen(const std::filesystem::path& socketPath);

 private:
  struct Server;
  RunLoop& loop;     // safe because these live for the whole run
  Console& console;  // safe for the same reason
  CommandSource::Execute execute;
  std::shared_ptr<Server> server;
  int listenerId = 0;
};

}  // namespace velmoryn
