// The program's running instance, found by bundle identifier. Main thread,
// before any event loop exists.
#pragma once

#include "platform/running_instance.h"

namespace velmoryn {

class MacRunningInstance : public RunningInstance {
 public:
  // Opens the URL in the running instance through Launch Services and waits
  // for Launch Services to report that it was handed over.
  UrlDelivery openURL(const std::string& url, double timeLimit) override;
};

}  // namespace velmoryn
