// The Dock that follows an external display, on the fakes: which switches the
// screens cause, and when.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/app_delegate.h"
#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

const Screen kLaptop{
    .frame = {0, 0, 1440, 900}, .visibleFrame = {0, 70, 1440, 805}, .builtIn = true};
const Screen kMonitor{.frame = {1440, 0, 2560, 1440}, .visibleFrame = {1440, 0, 2560, 1415}};

// The program launched in hidden mode on the screens given, with the setting as given.
struct Desk {
  Desk(bool switchOn, std::vector<Screen> screens) {
    fake.processes.respond = [this](const ProcessRequest& request) {
      const std::string line = testing::FakeProcessRunner::lineOf(request);
      auto result = testing::FakeProcessRunner::output(line.ends_with(" autohide") ? "1" : "1000");
      if (refusing && line.starts_with("osascript")) result.exitStatus = 1;
      return result;
    };
    fake.screens.list = std::move(screens);
    if (switchOn) fake.settings.setBool("externalDisplay.showsDock", true);
    delegate->applicationDidFinishLaunching();
  }
  void plug(std::vector<Screen> screens, double thenWait) {
    fake.screens.change(std::move(screens));
    fake.timers.advance(thenWait);
  }
  void connect() { plug({kLaptop, kMonitor}, 1.0); }
  void disconnect() { plug({kLaptop}, 1.0); }
  void userToggle() { delegate->menuToggle(); }
  void script(const char* url) { delegate->applicationOpenURLs({url}); }
  void toggleSetting() { delegate->toggleExternalDisplay(); }
  // The Dock takes no switch: the script and its fallback fail.
  void refuse(bool refused) {
    fake.appleScript.executeReportsError =
        refused ? std::optional<std::int64_t>(-2700) : std::nullopt;
    refusing = refused;
  }
  // With the pointer resting on the Dock's edge, one notch toward it.
  void reveal() {
    fake.screens.pointer = {700, 2};
    fake.scrollMonitor.deliver({.scrollingDeltaY = 1});
  }
  // "show" or "hide" for each switch of the Dock's autohide tried, taken or not.
  std::vector<std::string> switches() const {
    std::vector<std::string> out;
    for (const std::string& entry : fake.timeline.matching({"execute"}))
      out.emplace_back(entry.ends_with("true") ? "hide" : "show");
    return out;
  }

  testing::FakePlatform fake;
  bool refusing = false;
  std::shared_ptr<AppDelegate> delegate = AppDelegate::create(
      std::make_unique<Dock>(), std::make_unique<MenuBarBoot>(CommandLine::plainLaunch));
};

using Step = std::function<void(Desk&)>;

Step plug(std::vector<Screen> screens, double thenWait) {
  return [screens, thenWait](Desk& desk) { desk.plug(screens, thenWait); };
}
Step script(const char* url) {
  return [url](Desk& desk) { desk.script(url); };
}
Step refuse(bool refused) {
  return [refused](Desk& desk) { desk.refuse(refused); };
}
const Step connect = &Desk::connect;
const Step disconnect = &Desk::disconnect;
const Step userToggle = &Desk::userToggle;
const Step toggleSetting = &Desk::toggleSetting;
const Step reveal = &Desk::reveal;
// The screens change and the program quits before they settle.
const Step quitWhileSettling = [](Desk& desk) {
  desk.fake.screens.change({kLaptop, kMonitor});
  desk.delegate->applicationWillTerminate();
};
// While a user's switch waits for its script, a display arrives and the setting goes off.
const Step connectAndSwitchOffDuringAUserSwitch = [](Desk& desk) {
  desk.fake.appleScript.duringExecution = [&desk] {
    desk.connect();
    desk.toggleSetting();
  };
  desk.userToggle();
};

TEST(ExternalDisplay, TheDockFollowsTheDisplayOnlyWhereTheRuleSays) {
  struct Row {
    const char* name;
    bool switchOn = true;
    std::vector<Screen> atLaunch = {kLaptop};
    std::vector<Step> steps = {};
    std::vector<std::string> switches = {};  // of the Dock's autohide, in order
    bool endsHidden = false;
    std::size_t linesLogged = 0;
  };
  const Screen otherResolution{.frame = {1440, 0, 1920, 1080},
                               .visibleFrame = {1440, 0, 1920, 1055}};
  const Row rows[] = {
      {.name = "a burst that ends unplugged switches nothing: each change restarts the wait",
       .steps = {plug({kLaptop, kMonitor}, 0.5), plug({kLaptop}, 0.4),
                 plug({kLaptop, kMonitor}, 0.999), disconnect},
       .endsHidden = true},
      {.name = "a user's switch in between leaves the mode to the user",
       .steps = {connect, userToggle, userToggle, disconnect},
       .switches = {"show", "hide", "show"}},
      {.name = "so does a script's",
       .steps = {connect, script("velmoryn://hide"), script("velmoryn://show"), disconnect},
       .switches = {"show", "hide", "show"}},
      {.name = "a new resolution with the display in leaves the user's choice alone",
       .steps = {connect, userToggle, plug({kLaptop, otherResolution}, 1.0)},
       .switches = {"show", "hide"},
       .endsHidden = true},
      {.name = "the launch with a display connected shows the Dock at once",
       .atLaunch = {kLaptop, kMonitor},
       .switches = {"show"}},
      {.name = "with the setting off the display changes nothing",
       .switchOn = false,
       .steps = {connect},
       .endsHidden = true},
      {.name = "switching on with a display connected shows the Dock at once",
       .switchOn = false,
       .steps = {connect, toggleSetting},
       .switches = {"show"}},
      {.name = "switching off and on forgets that the display showed the Dock",
       .steps = {connect, toggleSetting, toggleSetting, disconnect},
       .switches = {"show"}},
      {.name = "a reveal in progress ends first, and the display then owns the mode",
       .steps = {reveal, connect, disconnect},
       .switches = {"show", "show", "hide"},
       .endsHidden = true},
      {.name = "no screens count as none external; a closed lid's display counts",
       .steps = {plug({}, 1.0), plug({kMonitor}, 1.0)},
       .switches = {"show"}},
      {.name = "a failed switch changes neither the mode nor the cause",
       .steps = {connect, refuse(true), disconnect, refuse(false), connect, disconnect},
       .switches = {"show", "hide", "hide"},
       .endsHidden = true,
       .linesLogged = 1},
      {.name = "a display's switch that waited for a running one is dropped once off",
       .steps = {script("velmoryn://show"), connectAndSwitchOffDuringAUserSwitch},
       .switches = {"show", "hide"},
       .endsHidden = true},
      {.name = "a quit while the screens settle leaves the restored Dock alone",
       .steps = {quitWhileSettling, plug({kLaptop, kMonitor}, 1.0)},
       .endsHidden = true},
  };
  for (const Row& row : rows) {
    Desk desk(row.switchOn, row.atLaunch);
    for (const Step& step : row.steps) step(desk);
    EXPECT_EQ(desk.switches(), row.switches) << row.name;
    EXPECT_EQ(desk.fake.timeline.matching({"tooltip"}).back().ends_with("非表示中"), row.endsHidden)
        << row.name;
    EXPECT_EQ(desk.fake.log.lines.size(), row.linesLogged) << row.name;
    // A still desktop wakes nothing.
    EXPECT_EQ(desk.fake.timers.liveTimers(), 0U) << row.name;
  }
}

}  // namespace
}  // namespace velmoryn
