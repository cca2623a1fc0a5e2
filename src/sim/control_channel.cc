// Main thread, except the reader thread of readFrom() and Console's listener.
#include "sim/control_channel.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include <asio/local/stream_protocol.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>

#include "platform/linux/files_linux.h"
#include "platform/posix/unique_fd.h"

namespace velmoryn {

namespace fs = std::filesystem;

// Lines.

namespace {

// Cuts a byte stream into lines. A line longer than the language allows is
// handed on cut short, one byte over the limit, so the parser refuses it, and
// the rest of it up to the next line break is dropped.
class LineSplitter {
 public:
  void push(std::string_view bytes, const std::function<void(std::string)>& line);
  // The last line when the stream ended without a line break.
  void finish(const std::function<void(std::string)>& line);

 private:
  std::string partial;
  bool skipping = false;
};

void LineSplitter::push(std::string_view bytes, const std::function<void(std::string)>& line) {
  for (char c : bytes) {
    if (c == '\n') {
      if (skipping) {
        skipping = false;
      } else {
        if (!partial.empty() && partial.back() == '\r') partial.pop_back();
        line(std::move(partial));
      }
      partial.clear();
      continue;
    }
    if (skipping) continue;
    partial += c;
    if (partial.size() > control::kLongestLine) {
      line(std::move(partial));
      partial.clear();
      skipping = true;
    }
  }
}

void LineSplitter::finish(const std::function<void(std::string)>& line) {
  if (!skipping && !partial.empty()) line(std::move(partial));
  partial.clear();
  skipping = false;
}

}  // namespace

// One source.

void CommandSource::feed(std::string line) {
  waiting += cost(line);
  lines.push_back(std::move(line));
  schedule();
}

void CommandSource::schedule() {
  if (scheduled || paused || lines.empty()) return;
  scheduled = true;
  loop.post([self = shared_from_this()] {
    self->scheduled = false;
    self->step();
  });
}

void CommandSource::step() {
  if (!paused && !lines.empty()) {
    const std::string line = std::move(lines.front());
    lines.pop_front();
    waiting -= cost(line);
    if (taken) taken(cost(line));
    auto parsed = control::parseCommand(line);
    if (auto* error = std::get_if<control::ParseError>(&parsed)) {
      console.printLine("error: " + error->message);
    } else {
      const auto& command = std::get<control::Command>(parsed);
      if (auto* wait = std::get_if<control::Wait>(&command)) {
        paused = true;
        if (!waitTimer) waitTimer = std::make_unique<asio::steady_timer>(loop.context());
        waitTimer->expires_after(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(wait->seconds)));
        waitTimer->async_wait([self = shared_from_this()](const asio::error_code&) {
          self->loop.queueCommonMode([self] {
            self->paused = false;
            self->schedule();
            self->notifyIfDrained();
          });
        });
        return;
      }
      if (!std::holds_alternative<control::Nothing>(command)) {
        // The next line is queued first, so that a command that opens a menu
        // does not hold back the `choose` that closes it.
        schedule();
        ++running;
        execute(command);
        --running;
      }
    }
  }
  schedule();
  notifyIfDrained();
}

void CommandSource::notifyIfDrained() {
  if (idle() && drained) drained();
}

// The socket's place and its removal at exit.

fs::path defaultControlSocketPath(const fs::path& dataFolder) {
  if (auto runtime = files::userRuntimeDir()) return *runtime / "velmoryn" / "control.sock";
  return dataFolder / "control.sock";
}

namespace {

struct SocketAtExit {
  std::string path;
  dev_t device = 0;
  ino_t inode = 0;
  bool active = false;
};
SocketAtExit gSocketAtExit;

// Removes our socket, and only ours, when the process ends through exit().
void removeSocketAtExit() {
  if (!gSocketAtExit.active) return;
  struct stat now {};
  if (::lstat(gSocketAtExit.path.c_str(), &now) == 0 && now.st_dev == gSocketAtExit.device &&
      now.st_ino == gSocketAtExit.inode) {
    ::unlink(gSocketAtExit.path.c_str());
  }
  gSocketAtExit.active = false;
}

std::string describeErrno(const std::string& what, const fs::path& path, int code) {
  return what + " " + path.string() + ": " + std::strerror(code);
}

// True when a program accepts connections on the socket file.
bool someoneListens(const fs::path& path) {
  const UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.valid()) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  return ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

using Protocol = asio::local::stream_protocol;

}  // namespace

// The socket.

struct ControlChannel::Server : std::enable_shared_from_this<Server> {
  class Connection : public std::enable_shared_from_this<Connection> {
   public:
    Connection(Server& server, Protocol::socket socket)
        : server(server), socket(std::move(socket)) {}

    void start(const CommandSource::Execute& execute) {
      source = std::make_shared<CommandSource>(server.loop, server.console, execute);
      std::weak_ptr<Connection> weak = weak_from_this();
      source->setTaken([weak](std::size_t) {
        auto self = weak.lock();
        if (!self || self->closed || !self->throttled) return;
        if (self->source->waitingInput() > CommandSource::kMostWaitingInput / 2) return;
        self->throttled = false;
        self->read();
      });
      read();
    }

    void send(const std::string& line) {
      if (closed) return;
      if (sending.size() + outbox.size() + line.size() + 1 > server.outboxShare()) return close();
      outbox += line;
      outbox += '\n';
      if (!writing) writeNext();
    }

    void close() {
      if (closed) return;
      closed = true;
      asio::error_code ignored;
      socket.close(ignored);
      outbox = std::string();  // `sending` stays until its write's handler has run
      server.forget(this);
    }

   private:
    void read() {
      socket.async_read_some(
          asio::buffer(buffer),
          [self = shared_from_this()](const asio::error_code& error, std::size_t count) {
            if (self->closed) return;
            auto feed = [&self](std::string line) { self->source->feed(std::move(line)); };
            if (error) {
              // The client has said all it will; it still hears the outcome of
              // its commands, then the connection ends.
              self->splitter.finish(feed);
              self->finishWhenDrained();
              return;
            }
            self->splitter.push(std::string_view(self->buffer.data(), count), feed);
            // The client waits, and its lines with it, until half of them have run.
            self->throttled = self->source->waitingInput() > CommandSource::kMostWaitingInput;
            if (!self->throttled) self->read();
          });
    }

    void finishWhenDrained() {
      std::weak_ptr<Connection> weak = weak_from_this();
      auto finish = [weak, &io = server.loop.context()] {
        // Posted, so that lines already on their way to the client go first.
        asio::post(io, [weak] {
          if (auto self = weak.lock()) self->closeAfterWrites();
        });
      };
      if (source->idle()) {
        finish();
      } else {
        source->setDrained(finish);
      }
    }

    void closeAfterWrites() {
      closing = true;
      if (!writing) close();
    }

    void writeNext() {
      writing = true;
      sending.swap(outbox);
      asio::async_write(socket, asio::buffer(sending),
                        [self = shared_from_this()](const asio::error_code& error, std::size_t) {
                          self->writing = false;
                          self->sending = std::string();
                          if (self->closed) return;
                          if (error) return self->close();
                          if (!self->outbox.empty()) return self->writeNext();
                          if (self->closing) self->close();
                        });
    }

    Server& server;  // safe because the server outlives its connections' handlers
    Protocol::socket socket;
    std::array<char, 4096> buffer{};
    LineSplitter splitter;
    std::shared_ptr<CommandSource> source;
    std::string sending;  // lines being written
    std::string outbox;   // lines to write next
    bool throttled = false;
    bool writing = false;
    bool closing = false;
    bool closed = false;
  };

  Server(RunLoop& loop, Console& console, CommandSource::Execute execute)
      : loop(loop),
        console(console),
        execute(std::move(execute)),
        acceptor(loop.context()),
        retry(loop.context()) {}

  void accept() {
    acceptor.async_accept(
        [self = shared_from_this()](const asio::error_code& error, Protocol::socket socket) {
          if (self->stopped) return;
          if (error) {
            // Out of descriptors, say: try again in a while rather than at once.
            self->retry.expires_after(std::chrono::seconds(1));
            self->retry.async_wait([self](const asio::error_code& waited) {
              if (!waited && !self->stopped) self->accept();
            });
            return;
          }
          self->admit(std::move(socket));
          self->accept();
        });
  }

  void admit(Protocol::socket socket) {
    ucred peer{};
    socklen_t length = sizeof peer;
    if (::getsockopt(socket.native_handle(), SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 ||
        peer.uid != ::geteuid()) {
      console.printLine("control: refused a connection from user " + std::to_string(peer.uid));
      return;  // closing the socket ends the connection
    }
    if (connections.size() >= kMostConnections) {
      // The socket is new, so this short line fits its buffer at once.
      const std::string tooMany =
          "error: too many connections (at most " + std::to_string(kMostConnections) + ")\n";
      ::send(socket.native_handle(), tooMany.data(), tooMany.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
      return;  // closing the socket ends the connection
    }
    auto connection = std::make_shared<Connection>(*this, std::move(socket));
    connections.push_back(connection);
    connection->start(execute);
  }

  void broadcast(const std::string& line) {
    // A copy: a failing send drops its connection from the list.
    const auto current = connections;
    for (const auto& connection : current) connection->send(line);
  }

  // Each client's part of the output held back for all of them together.
  std::size_t outboxShare() const {
    return std::min(kLargestOutbox, kAllOutboxes / std::max<std::size_t>(connections.size(), 1));
  }

  void forget(Connection* gone) {
    std::erase_if(connections, [gone](const auto& c) { return c.get() == gone; });
  }

  void stop() {
    stopped = true;
    asio::error_code ignored;
    acceptor.close(ignored);
    retry.cancel();
    const auto current = connections;
    for (const auto& connection : current) connection->close();
  }

  RunLoop& loop;     // safe because these live for the whole run
  Console& console;  // safe for the same reason
  CommandSource::Execute execute;
  Protocol::acceptor acceptor;
  asio::steady_timer retry;
  std::vector<std::shared_ptr<Connection>> connections;
  bool stopped = false;
};

ControlChannel::ControlChannel(RunLoop& loop, Console& console, CommandSource::Execute execute)
    : loop(loop), console(console), execute(std::move(execute)) {}

ControlChannel::~ControlChannel() {  // NOLINT(bugprone-exception-escape): see the header
  if (!server) return;
  console.removeListener(listenerId);
  server->stop();
  removeSocketAtExit();
}

namespace {

// The input the reader thread has passed on and the main thread has not yet
// run, so that the reader can wait instead of reading on without bound.
struct WaitingInput {
  std::mutex mutex;
  std::condition_variable ran;
  std::size_t waiting = 0;
};

}  // namespace

void ControlChannel::readFrom(int fd) {
  auto source = std::make_shared<CommandSource>(loop, console, execute);
  auto input = std::make_shared<WaitingInput>();
  source->setTaken([input](std::size_t cost) {
    {
      std::lock_guard lock(input->mutex);
      input->waiting -= cost;
    }
    input->ran.notify_one();
  });
  // Detached: it sleeps in read() and ends with the input or the process.
  std::thread([&loop = loop, source, input, fd]() mutable {
    LineSplitter splitter;
    auto forward = [&loop, &source, &input](std::string line) {
      {
        std::lock_guard lock(input->mutex);
        input->waiting += CommandSource::cost(line);
      }
      loop.post([source, line = std::move(line)]() mutable { source->feed(std::move(line)); });
    };
    std::array<char, 4096> buffer{};
    for (;;) {
      {
        // The writer waits, and its lines with it, until half of them have run.
        std::unique_lock lock(input->mutex);
        if (input->waiting > CommandSource::kMostWaitingInput) {
          input->ran.wait(lock,
                          [&] { return input->waiting <= CommandSource::kMostWaitingInput / 2; });
        }
      }
      const ssize_t count = ::read(fd, buffer.data(), buffer.size());
      if (count < 0 && errno == EINTR) continue;
      if (count <= 0) break;
      splitter.push(std::string_view(buffer.data(), static_cast<std::size_t>(count)), forward);
    }
    splitter.finish(forward);
    // The source and its timer belong to the main thread: let go of them there.
    loop.post([source = std::move(source)] {});
  }).detach();
}

std::optional<std::string> ControlChannel::listen(const fs::path& socketPath) {
  if (server) return "already listening";
  if (socketPath.string().size() >= sizeof(sockaddr_un{}.sun_path))
    return "the socket path is too long: " + socketPath.string();
  if (auto failure = files::makePrivateFolder(socketPath.parent_path())) return failure;

  struct stat existing {};
  if (::lstat(socketPath.c_str(), &existing) == 0) {
    if (!S_ISSOCK(existing.st_mode)) return socketPath.string() + " exists and is not a socket";
    if (someoneListens(socketPath)) return "another program listens on " + socketPath.string();
    if (::unlink(socketPath.c_str()) != 0)
      return describeErrno("cannot remove the stale socket", socketPath, errno);
  }

  auto made = std::make_shared<Server>(loop, console, execute);
  asio::error_code error;
  made->acceptor.open(Protocol(), error);
  if (!error) made->acceptor.bind(Protocol::endpoint(socketPath.string()), error);
  if (error) return "cannot listen on " + socketPath.string() + ": " + error.message();
  // The folder already keeps others out; the mode says the same of the file.
  ::chmod(socketPath.c_str(), 0600);
  struct stat bound {};
  if (::lstat(socketPath.c_str(), &bound) == 0) {
    static const bool registered = std::atexit(removeSocketAtExit) == 0;
    (void)registered;
    gSocketAtExit = SocketAtExit{socketPath.string(), bound.st_dev, bound.st_ino, true};
  }
  made->acceptor.listen(Protocol::acceptor::max_listen_connections, error);
  if (error) {
    removeSocketAtExit();
    return "cannot listen on " + socketPath.string() + ": " + error.message();
  }

  server = made;
  std::weak_ptr<Server> weak = server;
  listenerId = console.addListener([weak, &io = loop.context()](const std::string& line) {
    asio::post(io, [weak, line] {
      if (auto alive = weak.lock()) alive->broadcast(line);
    });
  });
  server->accept();
  return std::nullopt;
}

}  // namespace velmoryn
