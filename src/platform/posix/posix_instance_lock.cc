// Main thread.
#include "platform/posix/posix_instance_lock.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
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
  if (lock.outcome() == FileLock::Outcome::held) return {Outcome::held, {}};
  if (auto failed = makeFolders(file.parent_path())) return *failed;
  // No link is followed: the lock is a plain file of this user's own. Never
  // waited for: a copy that holds it runs, and this launch ends.
  lock = FileLock(file, O_RDWR | O_CREAT | O_NOFOLLOW, 0600, std::chrono::milliseconds(0));
  switch (lock.outcome()) {
    case FileLock::Outcome::held:
      return {Outcome::held, {}};
    case FileLock::Outcome::busy:
      return {Outcome::heldByAnother, {}};
    case FileLock::Outcome::failed:
      break;
  }
  return {Outcome::failed, lock.reason()};
}

}  // namespace velmoryn
