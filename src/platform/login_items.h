// The system's login-item service for the running application. The program
// fetches its state afresh for every use. Main thread only.
#pragma once

#include <cstdint>
#include <string>

namespace velmoryn {

// Status values as the system reports them.
enum LoginItemStatus : std::int64_t {
  kLoginItemNotRegistered = 0,
  kLoginItemEnabled = 1,
  kLoginItemRequiresApproval = 2,
  kLoginItemNotFound = 3,
};

// What the system said, in its own words.
struct LoginItemError {
  std::string localizedDescription;  // one line for a person
  std::string description;           // full text with domain and code
};

// How a register or unregister ended, in the program's terms; each adapter
// reads its own system's errors into these.
struct LoginItemResult {
  enum class Outcome {
    done,
    // The system refused because the item already is as asked: registered
    // when registering, not registered when unregistering.
    alreadyAsAsked,
    // Registered, but the user has switched it off: only they can allow it,
    // in the system's settings.
    needsApproval,
    failed,
  };
  Outcome outcome = Outcome::done;
  LoginItemError reason;  // for every outcome but done
};

class LoginItemService {
 public:
  virtual ~LoginItemService() = default;
  virtual std::int64_t status() = 0;
  virtual LoginItemResult registerApp() = 0;
  virtual LoginItemResult unregisterApp() = 0;
  // Opens the system's settings pane where the user approves login items.
  virtual void openSystemSettingsLoginItems() = 0;
};

}  // namespace velmoryn
