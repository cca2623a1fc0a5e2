// The Dock that follows an external display, on the fakes: which switches the
// screens cause, and when.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "unit/delegate_on_fakes.h"

namespace velmoryn {
namespace {

using testing::App;
using testing::kLaptop;
using testing::Step;

const Screen kMonitor{.frame = {1440, 0, 2560, 1440}, .visibleFrame = {1440, 0, 2560, 1415}};

// The screens change, and stay so for `thenWait` seconds.
Step plug(std::vector<Screen> screens, double thenWait) {
  return [screens, thenWait](App& app) {
    app.fake.screens.change(screens);
    app.fake.timers.advance(thenWait);
  };
}
const Step connect = plug({kLaptop, kMonitor}, 1.0);
const Step disconnect = plug({kLaptop}, 1.0);
const Step userToggle = testing::toggleFromMenu;
const Step toggleSetting = [](App& app) { app.delegate->toggleExternalDisplay(); };
const Step allowAutomation = [](App& app) {
  app.fake.appleScript.executeReportsError.reset();
  app.failing.clear();
};
// The screens change and the program quits before they settle.
const Step quitWhileSettling = [](App& app) {
  app.fake.screens.change({kLaptop, kMonitor});
  app.delegate->applicationWillTerminate();
};
// While a user's switch waits for its script, a display arrives and the setting goes off.
const Step connectAndSwitchOffDuringAUserSwitch = [](App& app) {
  app.fake.appleScript.duringExecution = [&app] {
    connect(app);
    toggleSetting(app);
  };
  userToggle(app);
};

TEST(ExternalDisplay, TheDockFollowsTheDisplayOnlyWhereTheRuleSays) {
  using testing::liftAtEdge;
  using testing::openURL;
  using testing::refuseAutomation;
  struct Row {
    const char* name;
    bool switchOn = true;
    std::vector<Screen> atLaunch = {kLaptop};  // the program launches in hidden mode
    std::vector<Step> steps = {};
    std::vector<std::string> switches = {};  // "show" or "hide" for each switch tried, in order
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
       .steps = {connect, openURL("velmoryn://hide"), openURL("velmoryn://show"), disconnect},
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
      {.name = "switching on from the menu with a display connected shows the Dock at once",
       .switchOn = false,
       .steps = {connect, testing::choose(testing::externalDisplaySwitch)},
       .switches = {"show"}},
      {.name = "switching off and on forgets that the display showed the Dock",
       .steps = {connect, toggleSetting, toggleSetting, disconnect},
       .switches = {"show"}},
      {.name = "a reveal in progress ends first, and the display then owns the mode",
       .steps = {liftAtEdge, connect, disconnect},
       .switches = {"show", "show", "hide"},
       .endsHidden = true},
      {.name = "no screens count as none external; a closed lid's display counts",
       .steps = {plug({}, 1.0), plug({kMonitor}, 1.0)},
       .switches = {"show"}},
      {.name = "a failed switch changes neither the mode nor the cause",
       .steps = {connect, refuseAutomation, disconnect, allowAutomation, connect, disconnect},
       .switches = {"show", "hide", "hide"},
       .endsHidden = true,
       .linesLogged = 1},
      {.name = "a display's switch that waited for a running one is dropped once off",
       .steps = {openURL("velmoryn://show"), connectAndSwitchOffDuringAUserSwitch},
       .switches = {"show", "hide"},
       .endsHidden = true},
      {.name = "a quit while the screens settle leaves the restored Dock alone",
       .steps = {quitWhileSettling, plug({kLaptop, kMonitor}, 1.0)},
       .endsHidden = true},
  };
  for (const Row& row : rows) {
    App app(/*dockHidden=*/true);
    app.fake.screens.list = row.atLaunch;
    if (row.switchOn) app.fake.settings.setBool("externalDisplay.showsDock", true);
    app.launch();
    for (const Step& step : row.steps) app.run(step);
    std::vector<std::string> switches;
    for (const std::string& entry : app.fake.timeline.matching({"execute"}))
      switches.emplace_back(entry.ends_with("true") ? "hide" : "show");
    EXPECT_EQ(switches, row.switches) << row.name;
    EXPECT_EQ(app.fake.timeline.matching({"tooltip"}).back().ends_with("非表示中"), row.endsHidden)
        << row.name;
    EXPECT_EQ(app.fake.log.lines.size(), row.linesLogged) << row.name;
    // A still desktop wakes nothing.
    EXPECT_EQ(app.fake.timers.liveTimers(), 0U) << row.name;
  }
}

}  // namespace
}  // namespace velmoryn
