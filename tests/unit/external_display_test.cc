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

// The program launched in hidden mode with the screens and the setting as given.
struct Desk {
  Desk(bool switchOn, std::vector<Screen> screens) {
    fake.processes.respond = [this](const ProcessRequest& request) {
      const std::string line = testing::FakeProcessRunner::lineOf(request);
      auto result = testing::FakeProcessRunner::output(line.ends_with(" autohide") ? "1" : "1000");
      if (dockRefuses && line.starts_with("osascript")) result.exitStatus = 1;
      return result;
    };
    fake.screens.list = std::move(screens);
    if (switchOn) fake.settings.setBool("externalDisplay.showsDock", true);
    delegate->applicationDidFinishLaunching();
  }
  void plug(std::vector<Screen> screens) { fake.screens.change(std::move(screens)); }
  void wait(double seconds) { fake.timers.advance(seconds); }
  // With the pointer resting on the Dock's edge, one notch toward it.
  void reveal() {
    fake.screens.pointer = {700, 2};
    fake.scrollMonitor.deliver({.scrollingDeltaY = 1});
  }
  void refuseSwitches(bool refuse) {
    fake.appleScript.executeReportsError =
        refuse ? std::optional<std::int64_t>(-2700) : std::nullopt;
    dockRefuses = refuse;
  }
  // "show" or "hide" for each switch of the Dock's autohide, taken or not.
  std::vector<std::string> switches() const {
    std::vector<std::string> out;
    for (const std::string& entry : fake.timeline.matching({"execute"}))
      out.emplace_back(entry.ends_with("true") ? "hide" : "show");
    return out;
  }
  bool iconSaysHidden() const {
    return fake.timeline.matching({"tooltip"}).back().ends_with("非表示中");
  }

  testing::FakePlatform fake;
  bool dockRefuses = false;
  std::shared_ptr<AppDelegate> delegate = AppDelegate::create(
      std::make_unique<Dock>(), std::make_unique<MenuBarBoot>(CommandLine::plainLaunch));
};

TEST(ExternalDisplay, TheDockFollowsTheDisplayOnlyWhereTheRuleSays) {
  struct Row {
    const char* name;
    bool switchOn = true;
    std::vector<Screen> atLaunch = {kLaptop};
    std::function<void(Desk&)> then = {};
    std::vector<std::string> switches = {};  // of the Dock's autohide, in order
    bool endsHidden = false;
    std::size_t linesLogged = 0;
  };
  const auto connect = [](Desk& d) { d.plug({kLaptop, kMonitor}), d.wait(1.0); };
  const auto disconnect = [](Desk& d) { d.plug({kLaptop}), d.wait(1.0); };
  const auto toggleSetting = [](Desk& d) { d.delegate->toggleExternalDisplay(); };
  const auto userToggle = [](Desk& d) { d.delegate->menuToggle(); };
  const auto script = [](Desk& d, const char* url) { d.delegate->applicationOpenURLs({url}); };
  for (const Row& row : std::vector<Row>{
           {.name = "a display plugged in shows the Dock once the screens are still",
     .then = connect,
     .switches = {"show"}},
           {.name = "a display plugged in and out within the settle time switches nothing",
           .then =
                [](Desk& d) {
                  d.plug({kLaptop, kMonitor}), d.wait(0.999), d.plug({kLaptop}), d.wait(1);
                },
           .endsHidden = true},
           {.name = "a burst that ends unplugged switches nothing: each change restarts the wait",
           .then =
                [](Desk& d) {
                  d.plug({kLaptop, kMonitor}), d.wait(0.5), d.plug({kLaptop}), d.wait(0.4);
                  d.plug({kLaptop, kMonitor}), d.wait(0.9), d.plug({kLaptop}), d.wait(1);
                },
           .endsHidden = true},
           {.name = "the display that showed the Dock hides it when it goes",
           .then = [&](Desk& d) { connect(d), disconnect(d); },
           .switches = {"show", "hide"},
           .endsHidden = true},
           {.name = "a user's switch in between leaves the mode to the user",
           .then = [&](Desk& d) { connect(d), userToggle(d), userToggle(d), disconnect(d); },
           .switches = {"show", "hide", "show"}},
           {.name = "so does a script's",
           .then =
                [&](Desk& d) {
                  connect(d), script(d, "velmoryn://hide"), script(d, "velmoryn://show"),
                      disconnect(d);
                },
           .switches = {"show", "hide", "show"}},
           {.name = "a new resolution with the display in leaves the user's choice alone",
           .then =
                [&](Desk& d) {
                  connect(d), userToggle(d);
                  d.plug({kLaptop,
                          {.frame = {1440, 0, 1920, 1080}, .visibleFrame = {1440, 0, 1920, 1055}}});
                  d.wait(1);
                },
           .switches = {"show", "hide"},
           .endsHidden = true},
           {.name = "the launch with a display connected shows the Dock at once",
           .atLaunch = {kLaptop, kMonitor},
           .then = [](Desk&) {},
           .switches = {"show"}},
           {.name = "with the setting off the display changes nothing",
           .switchOn = false,
           .then = connect,
           .endsHidden = true},
           {.name = "switching on with a display connected shows the Dock at once",
           .switchOn = false,
           .then = [&](Desk& d) { connect(d), toggleSetting(d); },
           .switches = {"show"}},
           {.name = "switching off and on forgets that the display showed the Dock",
           .then = [&](Desk& d) { connect(d), toggleSetting(d), toggleSetting(d), disconnect(d); },
           .switches = {"show"}},
           {.name = "a reveal in progress ends first, and the display then owns the mode",
           .then = [&](Desk& d) { d.reveal(), connect(d), d.wait(5), disconnect(d); },
           .switches = {"show", "show", "hide"},
           .endsHidden = true},
           {.name = "no screens count as none external; a closed lid's display counts",
           .then = [](Desk& d) { d.plug({}), d.wait(1), d.plug({kMonitor}), d.wait(1); },
           .switches = {"show"}},
           {.name = "a failed switch changes neither the mode nor the cause",
           .then =
                [&](Desk& d) {
                  connect(d), d.refuseSwitches(true), disconnect(d);
                  d.refuseSwitches(false), connect(d), disconnect(d);
                },
           .switches = {"show", "hide", "hide"},
           .endsHidden = true,
           .linesLogged = 1},
           {.name = "a display's switch that waited for a running one is dropped once off",
           .then =
                [&](Desk& d) {
                  script(d, "velmoryn://show");
                  d.fake.appleScript.duringExecution = [&] { connect(d), toggleSetting(d); };
                  userToggle(d);
                },
           .switches = {"show", "hide"},
           .endsHidden = true},
           {.name = "a quit while the screens settle leaves the restored Dock alone",
           .then =
                [](Desk& d) {
                  d.plug({kLaptop, kMonitor}), d.delegate->applicationWillTerminate(), d.wait(1);
                },
           .endsHidden = true},
       }) {
    Desk desk(row.switchOn, row.atLaunch);
    row.then(desk);
    EXPECT_EQ(desk.switches(), row.switches) << row.name;
    EXPECT_EQ(desk.iconSaysHidden(), row.endsHidden) << row.name;
    EXPECT_EQ(desk.fake.log.lines.size(), row.linesLogged) << row.name;
    // A still desktop wakes nothing.
    EXPECT_EQ(desk.fake.timers.liveTimers(), 0U) << row.name;
  }
}

}  // namespace
}  // namespace velmoryn
