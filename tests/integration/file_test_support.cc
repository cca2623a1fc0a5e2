// The file calls the writers make, heard by replacing the C library's own.
#include "integration/file_test_support.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <optional>
#include <utility>

namespace {

std::optional<std::vector<std::string>> heard;  // while a test listens

}  // namespace

extern "C" int fsync(int fd) {
  if (heard) {
    const auto path = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd));
    heard->push_back("fsync " + path.string());
  }
  return static_cast<int>(::syscall(SYS_fsync, fd));
}

extern "C" int rename(const char* from, const char* to) noexcept {
  if (heard) heard->push_back(std::string("rename ") + from + " " + to);
  if (velmoryn::testing::renamesAreLost) return ::unlink(from);
  return ::renameat(AT_FDCWD, from, AT_FDCWD, to);
}

namespace velmoryn::testing {

bool renamesAreLost = false;

std::vector<std::string> fileCallsDuring(const std::function<void()>& change) {
  heard.emplace();
  change();
  return *std::exchange(heard, std::nullopt);
}

}  // namespace velmoryn::testing
