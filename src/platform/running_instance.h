// The program's instance that is already running, as a one-shot command-line
// run reaches it. Main thread, before any event loop exists.
#pragma once

#include <string>

namespace velmoryn {

struct UrlDelivery {
  enum class Outcome {
    delivered,   // the running program took the URL
    notRunning,  // no instance runs
    noAnswer,    // an instance runs but did not take the URL within the time limit
    failed,      // it could not be reached; `reason` says why
  };
  Outcome outcome = Outcome::failed;
  std::string reason;
};

class RunningInstance {
 public:
  virtual ~RunningInstance() = default;
  // Hands the URL to the running instance and waits at most `timeLimit`
  // seconds for it to take it. Never starts an instance.
  virtual UrlDelivery openURL(const std::string& url, double timeLimit) = 0;
};

}  // namespace velmoryn
