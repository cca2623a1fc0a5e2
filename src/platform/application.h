// The shared application object, its delegate, and the process around it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmoryn {

class ApplicationDelegate {
 public:
  virtual ~ApplicationDelegate() = default;
  virtual void applicationDidFinishLaunching() = 0;
  virtual void applicationWillTerminate() = 0;
  // URLs of the program's scheme that the system asks it to open, in order;
  // may come before the launch notification.
  virtual void applicationOpenURLs(const std::vector<std::string>& urls) = 0;
};

enum class EventType : std::uint32_t { leftMouseUp = 2, rightMouseUp = 4, other = 0 };

inline constexpr std::uint64_t kControlModifierFlag = 0x40000;

struct CurrentEvent {
  EventType type = EventType::other;
  std::uint64_t modifierFlags = 0;
};

class Application {
 public:
  virtual ~Application() = default;
  virtual void setActivationPolicyAccessory() = 0;
  // The application refers to its delegate weakly: the caller keeps it alive.
  virtual void setDelegate(ApplicationDelegate* delegate) = 0;
  // From now on requests from outside reach the program (URLs; on the
  // simulated desktop, its control channel); those that come before the
  // launch has finished wait for it. Only the one copy that runs calls it.
  virtual void acceptRequests() = 0;
  // Runs the main event loop; sends the launch notification first.
  virtual void run() = 0;
  // Sends applicationWillTerminate to the delegate, then ends the process.
  [[noreturn]] virtual void terminate() = 0;
  virtual std::optional<CurrentEvent> currentEvent() = 0;
};

// What the process offers beyond the application object.
class ProcessEnvironment {
 public:
  virtual ~ProcessEnvironment() = default;
  // All elements, the program path at index 0 included.
  virtual std::vector<std::string> arguments() = 0;
  // Writes the text and a single newline to standard output.
  virtual void printLine(const std::string& text) = 0;
  [[noreturn]] virtual void exit(int status) = 0;
};

}  // namespace velmoryn
