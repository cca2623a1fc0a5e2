// Main thread, before any event loop exists.
#include "sim/simulated_running_instance.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>

#include "platform/posix/unique_fd.h"

namespace velmoryn {
namespace {

using Clock = std::chrono::steady_clock;
using Outcome = UrlDelivery::Outcome;

UrlDelivery failed(std::string reason) {
  return {Outcome::failed, std::move(reason)};
}

// Milliseconds left until the deadline, never below 0.
int millisecondsUntil(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// The socket and its folder must be ours, as the program made them.
std::optional<std::string> foreignOwner(const std::filesystem::path& socketPath) {
  struct stat folder {};
  if (::lstat(socketPath.parent_path().c_str(), &folder) == 0 &&
      (!S_ISDIR(folder.st_mode) || folder.st_uid != ::geteuid()))
    return socketPath.parent_path().string() + " is not a folder of this user";
  struct stat socket {};
  if (::lstat(socketPath.c_str(), &socket) == 0 &&
      (!S_ISSOCK(socket.st_mode) || socket.st_uid != ::geteuid()))
    return socketPath.string() + " is not a socket of this user";
  return std::nullopt;
}

}  // namespace

UrlDelivery SimulatedRunningInstance::openURL(const std::string& url, double timeLimit) {
  const Clock::time_point deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                        std::chrono::duration<double>(timeLimit));
  // The line must reach the program as one word it reads back unchanged.
  if (url.find_first_of("\"\\ \t\r\n") != std::string::npos || url.size() > 1024)
    return failed("the URL cannot be sent");
  if (auto owner = foreignOwner(socketPath)) return failed(*owner);

  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd.valid()) return failed(std::string("socket: ") + std::strerror(errno));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath.string().size() >= sizeof address.sun_path) return {Outcome::notRunning, {}};
  std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    // No socket, or a socket left behind that nobody serves.
    if (errno == ENOENT || errno == ECONNREFUSED || errno == ENOTDIR)
      return {Outcome::notRunning, {}};
    // A full backlog: the program is there but does not take connections.
    if (errno == EAGAIN) return {Outcome::noAnswer, {}};
    return failed("connect " + socketPath.string() + ": " + std::strerror(errno));
  }
  ucred peer{};
  socklen_t length = sizeof peer;
  if (::getsockopt(fd.get(), SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 ||
      peer.uid != ::geteuid())
    return failed(socketPath.string() + " is served by another user");

  // MSG_NOSIGNAL: a program that has closed the connection must not end this one.
  const std::string command = "url " + url + "\n";
  const ssize_t sent = ::send(fd.get(), command.data(), command.size(), MSG_NOSIGNAL);
  if (sent < 0 && errno == EAGAIN) return {Outcome::noAnswer, {}};
  // A program that refused the connection has said why before closing it.
  std::optional<std::string> sendError;
  if (sent < 0) sendError = std::string("send: ") + std::strerror(errno);
  if (sent >= 0 && static_cast<std::size_t>(sent) < command.size()) return {Outcome::noAnswer, {}};
  ::shutdown(fd.get(), SHUT_WR);

  // Every line the program prints reaches each client; ours is the reply.
  const std::string reply = "url: " + url;
  std::string received;
  for (;;) {
    pollfd ready{fd.get(), POLLIN, 0};
    const int polled = ::poll(&ready, 1, millisecondsUntil(deadline));
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) return {Outcome::noAnswer, {}};
    char buffer[4096];
    const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
    if (count < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (count <= 0)
      return failed(sendError.value_or("the program closed the connection without a reply"));
    received.append(buffer, static_cast<std::size_t>(count));
    for (std::size_t end; (end = received.find('\n')) != std::string::npos;) {
      const std::string line = received.substr(0, end);
      received.erase(0, end + 1);
      if (line == reply) return {Outcome::delivered, {}};
      if (line.starts_with("error: ")) return failed(line);
    }
  }
}

}  // namespace velmoryn
