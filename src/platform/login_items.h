// The system's login-item service for the running application. The program
// fetches its state afresh for every use. Main thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velmoryn {

// Status values as the system reports them.
enum LoginItemStatus : std::int64_t {
  kLoginItemNotRegistered = 0,
  kLoginItemEnabled = 1,
  kLoginItemRequiresApproval = 2,
  kLoginItemNotFound = 3,
};

// Error codes of the login-item service that only say the item already is
// as asked.
inline constexpr std::int64_t kLoginItemErrorJobNotFound = 6;         // unregister, not registered
inline constexpr std::int64_t kLoginItemErrorAlreadyRegistered = 12;  // register, registered

struct LoginItemError {
  std::string localizedDescription;  // one line for a person
  std::string description;           // full text with domain and code
  std::int64_t code = 0;
};

class LoginItemService {
 public:
  virtual ~LoginItemService() = default;
  virtual std::int64_t status() = 0;
  // Empty on success.
  virtual std::optional<LoginItemError> registerApp() = 0;
  virtual std::optional<LoginItemError> unregisterApp() = 0;
  // Opens the system's settings pane where the user approves login items.
  virtual void openSystemSettingsLoginItems() = 0;
};

}  // namespace velmoryn
