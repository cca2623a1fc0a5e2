// The application object and the process of the simulated desktop. Main
// thread only.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/application.h"
#include "platform/linux/run_loop_linux.h"
#include "sim/console.h"
#include "sim/event_state.h"

namespace velmoryn {

class SimulatedApplication : public Application {
 public:
  // `startRequests` opens the control channel; it runs once, on acceptRequests().
  SimulatedApplication(RunLoop& loop, Console& console, EventState& events,
                       std::function<void()> startRequests)
      : loop(loop), console(console), events(events), startRequests(std::move(startRequests)) {}
  // The channel's commands run on the main loop, which turns only after the
  // launch: those that come earlier wait in the socket's backlog and the queue.
  void acceptRequests() override {
    if (accepting || !startRequests) return;
    accepting = true;
    startRequests();  // kept: it holds the channel, which lives as long as the process
  }
  // The simulated desktop has no Dock icons of applications to leave out.
  void setActivationPolicyAccessory() override {}
  void setDelegate(ApplicationDelegate* newDelegate) override { delegate = newDelegate; }
  void run() override;
  [[noreturn]] void terminate() override;
  std::optional<CurrentEvent> currentEvent() override { return events.current; }
  // Delivers URLs to the delegate, as the system's open-URLs callback does.
  void openURLs(const std::vector<std::string>& urls) {
    if (delegate) delegate->applicationOpenURLs(urls);
  }

 private:
  RunLoop& loop;       // safe because these live for the whole run
  Console& console;    // safe for the same reason
  EventState& events;  // safe for the same reason
  std::function<void()> startRequests;
  ApplicationDelegate* delegate = nullptr;  // weak: the entry point keeps it
  bool accepting = false;
};

class SimulatedProcessEnvironment : public ProcessEnvironment {
 public:
  SimulatedProcessEnvironment(int argc, char** argv, Console& console);
  std::vector<std::string> arguments() override { return args; }
  void printLine(const std::string& text) override { console.printLine(text); }
  [[noreturn]] void exit(int status) override;

 private:
  std::vector<std::string> args;
  Console& console;  // safe because it lives for the whole run
};

}  // namespace velmoryn
