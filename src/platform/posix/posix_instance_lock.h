// The instance lock as a FileLock on a file of the user's: the kernel drops it
// when the last descriptor goes, so a crash or a SIGKILL frees it at once, and
// no stale PID can keep a new copy out. Main thread.
#pragma once

#include <filesystem>

#include "platform/instance_lock.h"
#include "platform/posix/file_lock.h"

namespace velmoryn {

class PosixInstanceLock : public InstanceLock {
 public:
  // Touches nothing until acquire().
  explicit PosixInstanceLock(std::filesystem::path file) : file(std::move(file)) {}
  PosixInstanceLock(const PosixInstanceLock&) = delete;
  PosixInstanceLock& operator=(const PosixInstanceLock&) = delete;

  // Makes the missing folders (0700) and the file (0600), then takes the lock.
  // The descriptor is close-on-exec and stays open until the process ends.
  InstanceLockResult acquire() override;

 private:
  std::filesystem::path file;
  FileLock lock;  // held from acquire() on, for the rest of the process
};

}  // namespace velmoryn
