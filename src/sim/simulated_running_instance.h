// Reaches the running program through its control socket, with the checks the
// socket itself makes: a socket file of ours, in a folder of ours, served by a
// process of ours. Main thread, before any event loop exists.
#pragma once

#include <filesystem>

#include "platform/running_instance.h"

namespace velmoryn {

class SimulatedRunningInstance : public RunningInstance {
 public:
  explicit SimulatedRunningInstance(std::filesystem::path socketPath)
      : socketPath(std::move(socketPath)) {}
  // Sends "url URL" and waits for the program's "url: URL" reply.
  UrlDelivery openURL(const std::string& url, double timeLimit) override;

 private:
  std::filesystem::path socketPath;
};

}  // namespace velmoryn
