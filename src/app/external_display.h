// Shows the Dock while an external display is connected, when the user has
// switched this on, and hides it again when the display that showed it goes.
// Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <utility>

#include "platform/timers.h"

namespace velmoryn {

class ExternalDisplay : public std::enable_shared_from_this<ExternalDisplay> {
 public:
  // What the owner lends: its mode, a switch of it, and its one-at-a-time
  // runner of switches, which also runs the user's.
  struct Owner {
    std::function<bool()> isHidden;
    // Brings the program to the mode as a user's switch does (a reveal ends
    // first); false when the Dock did not take it.
    std::function<bool(bool hidden)> switchTo;
    std::function<void(std::function<void()>)> runSwitch;
  };

  // The screens' handler and the settle timer refer to the object weakly, so
  // it must be owned by a shared pointer.
  static std::shared_ptr<ExternalDisplay> create(Owner owner) {
    return std::shared_ptr<ExternalDisplay>(new ExternalDisplay(std::move(owner)));
  }

  // Listens to the screens and, with the setting on, applies the rule to the
  // screens as they are now.
  void start();
  // Stops listening and settling; the Dock is left as it is.
  void stop();
  // The setting; off while nothing is stored.
  bool isEnabled() const;
  // Switching on applies the rule at once; switching off changes nothing on
  // the Dock and forgets that a display showed it.
  void toggleEnabled();
  // The user chose a mode: a display that goes no longer hides the Dock.
  void userSwitched() { displayShowedDock = false; }

 private:
  // Screens come and go in bursts (sleep, wake, lid, resolution): the rule
  // waits until they have been still this long.
  static constexpr double settleTime = 1.0;

  explicit ExternalDisplay(Owner owner) : owner(std::move(owner)) {}

  void screensChanged();
  void settled();
  void cancelSettling();
  // The rule for `connected`, run as a switch among the user's.
  void apply();

  Owner owner;
  // Exists only while the screens settle, so a still desktop wakes nothing.
  std::shared_ptr<RepeatingTimer> settleTimer;
  bool connected = false;
  bool displayShowedDock = false;
};

}  // namespace velmoryn
