#include "app/url_command.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/app_delegate.h"
#include "app/entry_point.h"
#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

using ::testing::ElementsAre;
using testing::FakePlatform;

constexpr const char* kHide = "true";
constexpr const char* kShow = "false";

TEST(UrlCommandTest, AcceptsTheThreeActionsAndRefusesEverythingElse) {
  EXPECT_EQ(parseUrlCommand("velmoryn://show"), UrlCommand::show);
  EXPECT_EQ(parseUrlCommand("velmoryn://toggle"), UrlCommand::toggle);
  EXPECT_EQ(parseUrlCommand("VelMoryn://HIDE/"), UrlCommand::hide);  // case and one slash
  for (const std::string url :
       {"velmoryn://hide/now", "velmoryn://hide//", "velmoryn://hide?x=1", "velmoryn://hide#top",
        "velmoryn:hide", "velmoryn:///hide", "velmoryn://me@hide", "velmoryn://hide:80",
        "other://hide", "velmorynx://hide", "velmoryn://hid", "velmoryn://", ""})
    EXPECT_EQ(parseUrlCommand(url), std::nullopt) << url;
  EXPECT_EQ(parseUrlCommand(std::string("velmoryn://hide\0", 16)), std::nullopt);
  // The log shows one short line of printable ASCII, an escape never cut in two.
  EXPECT_EQ(urlForLog("a\nb\xe3"), "a%0Ab%E3");
  EXPECT_EQ(urlForLog(std::string(98, 'a') + "\n"), std::string(98, 'a') + "...");
}

TEST(UrlCommandTest, ScriptVerbsAreExactAndGiveWayToTheLoginOption) {
  using Args = std::vector<std::string>;
  const std::vector<std::pair<Args, std::optional<ScriptVerb>>> cases = {
      {{"--hide", "--hide"}, ScriptVerb::hide},
      {{"x", "--status"}, ScriptVerb::status},
      {{"--hide", "--show"}, {}},
      {{"--toggle", "--login", "on"}, {}},
      {{"--login", "--status"}, {}},
      {{"--Hide"}, {}},
      {{"--hide=1"}, {}},
  };
  for (auto [args, expected] : cases) {
    args.insert(args.begin(), "Velmoryn");
    EXPECT_EQ(scriptVerbFrom(args), expected) << ::testing::PrintToString(args);
  }
}

// The verbs through the entry point: the URL handed on, the line printed, the exit status.
TEST(UrlCommandTest, ScriptVerbsPrintOneLineAndExitWithTheirStatus) {
  using Outcome = UrlDelivery::Outcome;
  struct Case {
    std::string verb;
    Outcome delivery;
    ProcessResult autohideRead;
    std::vector<std::string> printed;
    int status;
  };
  const ProcessResult read1{true, false, 0, "1\n"}, missing{true, false, 1, ""};
  const std::vector<Case> cases = {
      {"--hide", Outcome::delivered, {}, {}, 0},
      {"--toggle", Outcome::notRunning, {}, {"Velmorynは起動していません"}, 1},
      {"--show", Outcome::noAnswer, {}, {"Velmorynが1秒以内に応答しませんでした"}, 1},
      {"--status", {}, read1, {"Dock非表示中"}, 0},
      {"--status", {}, missing, {"Dock表示中"}, 1},
      {"--status", {}, {}, {"error: /usr/bin/defaults could not be started"}, 2},
  };
  for (const Case& c : cases) {
    FakePlatform fake;
    fake.process.args.push_back(c.verb);
    fake.runningInstance.answer = {c.delivery, {}};
    fake.processes.respond = [&c](const ProcessRequest&) { return c.autohideRead; };
    try {
      runEntryPoint();
      ADD_FAILURE() << c.verb << " did not end the process";
    } catch (const testing::ProcessExit& exit) {
      EXPECT_EQ(exit.status, c.status) << c.verb;
    }
    EXPECT_EQ(fake.process.printed, c.printed) << c.verb;
    EXPECT_TRUE(fake.timeline.matching({"accessory", "run"}).empty())
        << c.verb << ": no application is started";
    if (c.verb == "--status") continue;  // reads the Dock itself, needs no running program
    EXPECT_THAT(fake.runningInstance.sent, ElementsAre("velmoryn://" + c.verb.substr(2)));
    EXPECT_EQ(fake.runningInstance.lastTimeLimit, 1.0);
  }
}

// A delegate on fakes with the Dock's autohide reading as given; URLs may come before launch.
struct Program {
  Program(std::string autohide, std::vector<std::string> urlsBeforeLaunch = {}) {
    fake.processes.respond = [autohide](const ProcessRequest& request) {
      return testing::FakeProcessRunner::output(request.args.back() == "autohide" ? autohide
                                                                                  : "1000");
    };
    fake.screens.list = {Screen{Rect{0, 0, 1440, 900}, Rect{0, 70, 1440, 805}}};
    delegate->applicationOpenURLs(urlsBeforeLaunch);
    delegate->applicationDidFinishLaunching();
  }
  // Each switch of the Dock's autohide, "true" or "false", in order.
  std::vector<std::string> switches() const {
    std::vector<std::string> seen;
    for (const auto& entry : fake.timeline.matching({"execute "}))
      seen.push_back(entry.substr(entry.rfind(' ') + 1));
    return seen;
  }
  FakePlatform fake;
  std::shared_ptr<AppDelegate> delegate = AppDelegate::create();
};

TEST(UrlActionTest, EachUrlBringsTheModeAskedForAndRunsNothingWhenItIsThereAlready) {
  struct Case {
    const char* autohide;
    bool reveal;  // with the pointer on the Dock's edge, one notch of the wheel lifts it
    std::vector<std::string> urls;
    std::vector<std::string> switches;  // from the reveal on
    const char* mode;
  };
  const std::vector<Case> cases = {
      {"0", false, {"velmoryn://hide", "velmoryn://hide"}, {kHide}, "非表示中"},
      {"0", false, {"velmoryn://show"}, {}, "表示中"},
      {"1", false, {"velmoryn://show", "velmoryn://toggle"}, {kShow, kHide}, "非表示中"},
      {"1", true, {"velmoryn://hide"}, {kShow, kHide}, "非表示中"},
      {"1", true, {"velmoryn://show"}, {kShow, kShow}, "表示中"},
  };
  for (const Case& c : cases) {
    const std::string name = ::testing::PrintToString(c.urls) + (c.reveal ? " in a reveal" : "");
    Program program(c.autohide);
    if (c.reveal) {
      program.fake.screens.pointer = {700, 2};
      program.fake.scrollMonitor.deliver(ScrollEvent{.scrollingDeltaY = 1.0});
    }
    const std::size_t toolRuns = program.fake.processes.requests().size();

    program.delegate->applicationOpenURLs(c.urls);

    EXPECT_EQ(program.switches(), c.switches) << name;
    EXPECT_EQ(program.fake.processes.requests().size(), toolRuns) << name << ": no defaults run";
    EXPECT_EQ(program.fake.statusBar.item->toolTip, std::string("Velmoryn / Dock") + c.mode)
        << name;
  }
}

TEST(UrlActionTest, AnUnknownUrlChangesNothingAndLogsOneShortenedLine) {
  Program program("0");
  program.delegate->applicationOpenURLs({"velmoryn://hide?" + std::string(300, 'q')});
  EXPECT_TRUE(program.switches().empty());
  EXPECT_THAT(program.fake.log.lines,
              ElementsAre("Velmoryn: 不明なURLを無視しました: velmoryn://hide?" +
                          std::string(84, 'q') + "..."));
}

TEST(UrlActionTest, AUrlDuringLaunchRunsOnceTheLaunchSequenceHasFinished) {
  Program program("0", {"velmoryn://hide"});
  EXPECT_EQ(program.switches(), std::vector<std::string>{kHide});
  // The launch showed the mode it adopted before the URL changed it.
  EXPECT_THAT(program.fake.timeline.matching({"tooltip "}),
              ::testing::IsSupersetOf({"tooltip Velmoryn / Dock表示中"}));
  EXPECT_EQ(program.fake.statusBar.item->toolTip, "Velmoryn / Dock非表示中");
}

}  // namespace
}  // namespace velmoryn
