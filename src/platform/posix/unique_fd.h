// Owns one file descriptor and closes it when it goes, on every path out of
// the code that opened it: the one descriptor owner of every adapter. Any
// thread; one owner at a time.
#pragma once

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <utility>

namespace velmoryn {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  bool valid() const { return fd >= 0; }
  int get() const { return fd; }
  // Hands the descriptor to the caller, who must close it.
  [[nodiscard]] int release() { return std::exchange(fd, -1); }
  // Closes what is held and takes over `next`. A close interrupted by a signal
  // has still released the descriptor on Linux and macOS; retrying could close
  // a descriptor another thread has opened meanwhile.
  void reset(int next = -1) {
    if (fd >= 0) ::close(fd);
    fd = next;
  }

 private:
  int fd = -1;
};

// open() with O_CLOEXEC, retried when a signal interrupts it; invalid with
// errno set when it fails.
inline UniqueFd openFd(const std::filesystem::path& path, int flags, mode_t mode = 0) {
  for (;;) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EINTR) return UniqueFd(fd);
  }
}

}  // namespace velmoryn
