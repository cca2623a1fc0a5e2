// The whole program's delegate on the fakes, and what a user, a script or the
// system does to it, each as a step.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/app_delegate.h"
#include "fakes/fake_platform.h"

namespace velmoryn::testing {

inline const std::string kScript =
    "tell application \"System Events\" to tell dock preferences to ";
inline const std::string kReadAutohide = "defaults read com.apple.dock autohide";
// The computer's own panel, the Dock at its bottom.
inline const Screen kLaptop{
    .frame = {0, 0, 1440, 900}, .visibleFrame = {0, 70, 1440, 805}, .builtIn = true};

// The user's Dock as found: autohide as given, a short delay, on the laptop's panel.
struct App {
  explicit App(bool dockHidden = false) {
    dock[kReadAutohide] = dockHidden ? "1" : "0";
    dock[kReadAutohide + "-delay"] = "0.5";
    fake.processes.respond = [this](const ProcessRequest& request) {
      const std::string line = FakeProcessRunner::lineOf(request);
      auto result = FakeProcessRunner::output(dock.contains(line) ? dock[line] : "");
      if (failing.contains(line)) result.exitStatus = 1;
      return result;
    };
    fake.screens.list = {kLaptop};
    fake.screens.pointer = {700, 300};
  }
  void launch() {
    fake.application.delegate = delegate.get();
    delegate->applicationDidFinishLaunching();
  }
  // A step runs as AppKit would run it, then the main queue; an end of the
  // process ends only the step.
  void run(const std::function<void(App&)>& step) {
    try {
      step(*this);
      fake.mainQueue.drain();
    } catch (const ProcessExit&) {
    }
  }

  FakePlatform fake;
  std::map<std::string, std::string> dock;  // what each tool run prints
  std::set<std::string> failing;            // tool runs that exit with status 1
  std::shared_ptr<AppDelegate> delegate = AppDelegate::create(
      std::make_unique<Dock>(), std::make_unique<MenuBarBoot>(CommandLine::plainLaunch));
};

using Step = std::function<void(App&)>;

inline Step clickWith(std::optional<CurrentEvent> event) {
  return [event](App& app) {
    app.fake.application.event = event;
    app.fake.statusBar.item->click();
  };
}
inline const Step click = clickWith(CurrentEvent{EventType::leftMouseUp, 0});
inline const Step rightClick = clickWith(CurrentEvent{EventType::rightMouseUp, 0});
// The menu's items, by their place.
enum MenuEntry : std::size_t {
  swipeSwitch = 3,
  externalDisplaySwitch = 4,
  loginSwitch = 5,
  quit = 7,
};
// Opens the menu and chooses the item.
inline Step choose(std::size_t item) {
  return [item](App& app) {
    app.fake.statusBar.item->choose = item;
    rightClick(app);
  };
}
inline const Step toggleFromMenu = [](App& app) { app.delegate->menuToggle(); };
inline Step openURL(const std::string& url) {
  return [url](App& app) { app.delegate->applicationOpenURLs({url}); };
}
// With the pointer resting on the Dock's edge, one notch toward it.
inline const Step liftAtEdge = [](App& app) {
  app.fake.screens.pointer = {700, 2};
  app.fake.scrollMonitor.deliver({.scrollingDeltaY = 1});
};
// The user has refused the program control of System Events: hiding fails.
inline const Step refuseAutomation = [](App& app) {
  app.fake.appleScript.executeReportsError = -1743;
  app.failing.insert("osascript -e " + kScript + "set autohide to true");
};

}  // namespace velmoryn::testing
