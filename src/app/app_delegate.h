// The one application delegate: launch, the status item and its menu, the
// toggle, signals and the restore of the user's Dock settings on the way out.
// Main thread only: notifications, actions, hot-key work items and signal
// handlers all arrive there.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/external_display.h"
#include "boot/menu_bar_boot.h"
#include "dock/dock.h"
#include "hotkey/hot_key.h"
#include "platform/application.h"
#include "platform/signals.h"
#include "platform/status_bar.h"
#include "reveal/edge_reveal.h"

namespace velmoryn {

class AppDelegate : public ApplicationDelegate, public std::enable_shared_from_this<AppDelegate> {
 public:
  // Closures handed out refer back weakly, so the delegate lives in a shared pointer.
  // Creation does no work: nothing is read, registered or shown before launch.
  static std::shared_ptr<AppDelegate> create(std::unique_ptr<Dock> dock,
                                             std::unique_ptr<MenuBarBoot> boot) {
    return std::shared_ptr<AppDelegate>(new AppDelegate(std::move(dock), std::move(boot)));
  }

  // The launch sequence.
  void applicationDidFinishLaunching() override;
  // The shutdown restore.
  void applicationWillTerminate() override;
  // velmoryn://hide, show and toggle, one after the other; those that come
  // during launch wait until the launch sequence has finished.
  void applicationOpenURLs(const std::vector<std::string>& urls) override;

  // Actions, reachable by these selectors: "statusClicked", "menuToggle",
  // "toggleSwipeReveal", "toggleExternalDisplay", "toggleLogin", "quit".
  void statusClicked();
  void menuToggle();
  void toggleSwipeReveal();
  void toggleExternalDisplay();
  void toggleLogin();
  void quit();

 private:
  // The edge-swipe setting; on while nothing is stored.
  bool isSwipeRevealEnabled() const;
  AppDelegate(std::unique_ptr<Dock> dock, std::unique_ptr<MenuBarBoot> boot)
      : dock(std::move(dock)), boot(std::move(boot)) {}

  void installSignalHandlers();
  void shutdownRestore();
  void toggle();
  // Brings the program to the mode at the user's request; nothing runs when
  // it is there already and no reveal is running.
  void switchTo(bool hidden);
  // False when the Dock did not take the switch.
  bool switchNow(bool hidden);
  ExternalDisplay::Owner displayOwner();
  // Runs one Dock switch at a time. AppKit may deliver a hot-key press, a URL
  // or a scroll while a switch waits for its AppleScript; a switch asked for
  // then runs after the running one has finished, in order, and decides on
  // the state that one left.
  void runSwitch(std::function<void()> work);
  void openURL(const std::string& url);
  void showMenu();
  Menu buildMenu();
  void updateIcon();

  // Before the reveal, which watches the Dock's edge for as long as it lives.
  const std::unique_ptr<Dock> dock;
  const std::unique_ptr<MenuBarBoot> boot;
  std::unique_ptr<StatusItem> statusItem;
  std::shared_ptr<HotKey> hotKey;
  const std::shared_ptr<EdgeReveal> edgeReveal = EdgeReveal::create(*dock);
  const std::shared_ptr<ExternalDisplay> externalDisplay = ExternalDisplay::create(displayOwner());
  bool hiddenState = false;
  bool restored = false;
  bool launched = false;
  bool switching = false;
  std::deque<std::function<void()>> pendingSwitches;
  std::vector<std::string> urlsDuringLaunch;
  std::vector<std::unique_ptr<SignalSource>> signalSources;
};

}  // namespace velmoryn
