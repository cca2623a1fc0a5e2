// The lock that lets one copy of the program launch at a time for a user. It
// is the kernel's, so it ends with the process that holds it, however that
// process ends. Main thread, before anything else is touched.
#pragma once

#include <string>

namespace velmoryn {

struct InstanceLockResult {
  enum class Outcome {
    held,           // this process holds it, for the rest of its life
    heldByAnother,  // another copy of the program holds it
    failed,         // it could not be taken; `reason` says why
  };
  Outcome outcome = Outcome::failed;
  std::string reason;
};

class InstanceLock {
 public:
  virtual ~InstanceLock() = default;
  // Takes the lock without waiting. Once held it is never given back.
  virtual InstanceLockResult acquire() = 0;
};

}  // namespace velmoryn
