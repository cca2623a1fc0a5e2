// The shared NSApplication, its delegate bridge, and the process around it.
// Main thread only.
#pragma once

#include <memory>

#include "platform/application.h"

namespace velmoryn {

class MacApplication : public Application {
 public:
  MacApplication();
  ~MacApplication() override;

  void acceptRequests() override;
  void setActivationPolicyAccessory() override;
  void setDelegate(ApplicationDelegate* delegate) override;
  void run() override;
  [[noreturn]] void terminate() override;
  std::optional<CurrentEvent> currentEvent() override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl;
};

class MacProcessEnvironment : public ProcessEnvironment {
 public:
  std::vector<std::string> arguments() override;
  void printLine(const std::string& text) override;
  [[noreturn]] void exit(int status) override;
};

}  // namespace velmoryn
