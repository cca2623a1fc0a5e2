// An exclusive advisory lock (flock) on one file or folder, held until the
// object goes: the one lock of every adapter. The lock belongs to the open
// file description, so two threads of one process exclude each other as two
// processes do, and the kernel drops it with its process, however that ends.
// Any thread; one owner at a time.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "platform/posix/unique_fd.h"

namespace velmoryn {

class FileLock {
 public:
  enum class Outcome {
    held,    // this object holds the lock
    busy,    // another holder kept it for the whole patience
    failed,  // it could not be taken; `reason` says why
  };

  // Holds nothing.
  FileLock() = default;
  // Opens `path` with `openFlags` (close-on-exec; `mode` for a file it
  // creates) and locks it. A lock held elsewhere is waited for at most
  // `patience`, pausing between tries, and not at all when that is zero: a
  // process that keeps the lock must never stop this one.
  FileLock(const std::filesystem::path& path, int openFlags, mode_t mode,
           std::chrono::milliseconds patience);

  Outcome outcome() const { return state; }
  // "cannot open PATH: ERROR" or "cannot lock PATH: ERROR"; empty unless failed.
  std::string reason() const;

 private:
  std::filesystem::path file;
  Outcome state = Outcome::failed;
  const char* failedStep = nullptr;  // "open" or "lock" once a step has failed
  int failedCode = 0;                // its errno
  UniqueFd fd;                       // closing releases the lock
};

}  // namespace velmoryn
