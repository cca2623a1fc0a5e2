// Main thread.
#include "platform/posix/posix_instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>

namespace velmoryn {
namespace {

using Outcome = InstanceLockResult::Outcome;

InstanceLockResult failure(const std::string& step, const std::filesystem::path& path, int code) {
  return {Outcome::failed, step + " " + path.string() + ": " + std::strerror(code)};
}

// Each missing folder on the way, private to the user; existing ones are left as they are.
std::optional<InstanceLockResult> makeFolders(const std::filesystem::path& folder) {
  std::filesystem::path partial;
  for (const auto& part : folder) {
    partial /= part;
    struct stat existing {};
    if (::stat(partial.c_str(), &existing) == 0) continue;
    if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST)
      return failure("cannot make the folder", partial, errno);
  }
  return std::nullopt;
}

}  // namespace

InstanceLockResult PosixInstanceLock::acquire() {
  if (fd >= 0) return {Outcome::held, {}};
  if (auto failed = makeFolders(file.parent_path())) return *failed;

  // No link is followed: the lock is a plain file of this user's own.
  int opened = -1;
  do {
    opened = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  } while (opened < 0 && errno == EINTR);
  if (opened < 0) return failure("cannot open", file, errno);

  int locked = -1;
  do {
    locked = ::flock(opened, LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    const int code = errno;
    ::close(opened);
    if (code == EWOULDBLOCK) return {Outcome::heldByAnother, {}};
    return failure("cannot lock", file, code);
  }
  fd = opened;
  return {Outcome::held, {}};
}

}  // namespace velmoryn
