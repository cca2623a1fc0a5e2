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
using ::testing::ElementsAreArray;
using testing::FakePlatform;
using testing::ProcessExit;

constexpr const char* kHide =
    "execute tell application \"System Events\" to tell dock "
    "preferences to set autohide to true";
constexpr const char* kShow =
    "execute tell application \"System Events\" to tell dock "
    "preferences to set autohide to false";

TEST(UrlCommandTest, AcceptsTheThreeActionsAndRefusesEverythingElse) {
  const std::vector<std::pair<std::string, std::optional<UrlCommand>>> cases = {
      {"velmoryn://hide", UrlCommand::hide},
      {"velmoryn://show", UrlCommand::show},
      {"velmoryn://toggle", UrlCommand::toggle},
      {"VelMoryn://HIDE/", UrlCommand::hide},
      {"velmoryn://hide/now", {}},
      {"velmoryn://hide//", {}},
      {"velmoryn://hide?x=1", {}},
      {"velmoryn://hide#top", {}},
      {"velmoryn:hide", {}},
      {"velmoryn:///hide", {}},
      {"velmoryn://me@hide", {}},
      {"velmoryn://hide:80", {}},
      {"other://hide", {}},
      {"velmorynx://hide", {}},
      {"velmoryn://hid", {}},
      {"velmoryn://", {}},
      {"", {}},
      {std::string("velmoryn://hide\0", 16), {}},
  };
  for (const auto& [url, expected] : cases) EXPECT_EQ(parseUrlCommand(url), expected) << url;
  for (auto command : {UrlCommand::hide, UrlCommand::show, UrlCommand::toggle})
    EXPECT_EQ(parseUrlCommand(urlFor(command)), command);
}

TEST(UrlCommandTest, TheLoggedUrlIsOneShortPrintableLineWithEscapesKeptWhole) {
  EXPECT_EQ(urlForLog("a\nb\xe3"), "a%0Ab%E3");
  EXPECT_EQ(urlForLog(std::string(98, 'a') + "\n"), std::string(98, 'a') + "...");
  EXPECT_EQ(urlForLog(std::string(5000, 'x')), std::string(100, 'x') + "...");
}

TEST(UrlCommandTest, ScriptVerbsAreExactAndGiveWayToTheLoginOption) {
  using Args = std::vector<std::string>;
  const std::vector<std::pair<Args, std::optional<ScriptVerb>>> cases = {
      {{"--hide"}, ScriptVerb::hide},
      {{"--show"}, ScriptVerb::show},
      {{"--toggle"}, ScriptVerb::toggle},
      {{"x", "--status"}, ScriptVerb::status},
      {{"--hide", "--hide"}, ScriptVerb::hide},
      {{"--hide", "--show"}, {}},
      {{"--toggle", "--login", "on"}, {}},
      {{"--login", "--status"}, {}},
      {{"--Hide"}, {}},
      {{"--hide=1"}, {}},
      {{}, {}},
  };
  for (auto [args, expected] : cases) {
    args.insert(args.begin(), "/Applications/Velmoryn.app/Contents/MacOS/Velmoryn");
    EXPECT_EQ(scriptVerbFrom(args), expected) << ::testing::PrintToString(args);
  }
}

// The verbs through the real entry point: what is printed and the exit status.
TEST(UrlCommandTest, ScriptVerbsPrintOneLineAndExitWithTheirStatus) {
  using Outcome = UrlDelivery::Outcome;
  struct Case {
    std::string verb;
    Outcome delivery;
    ProcessResult autohideRead;
    std::vector<std::string> printed;
    int status;
  };
  const ProcessResult missing{true, false, 1, ""}, unstartable{false, false, -1, ""};
  const std::vector<Case> cases = {
      {"--hide", Outcome::delivered, {}, {}, 0},
      {"--toggle", Outcome::notRunning, {}, {"Velmorynは起動していません"}, 1},
      {"--show", Outcome::noAnswer, {}, {"Velmorynが1秒以内に応答しませんでした"}, 1},
      {"--status", Outcome::delivered, {true, false, 0, "1\n"}, {"Dock非表示中"}, 0},
      {"--status", Outcome::delivered, {true, false, 0, "0"}, {"Dock表示中"}, 1},
      {"--status", Outcome::delivered, missing, {"Dock表示中"}, 1},
      {"--status",
       Outcome::delivered,
       unstartable,
       {"error: /usr/bin/defaults could not be started"},
       2},
  };
  for (const Case& c : cases) {
    FakePlatform fake;
    fake.process.args.push_back(c.verb);
    fake.runningInstance.answer = {c.delivery, {}};
    fake.processes.respond = [&c](const ProcessRequest&) { return c.autohideRead; };
    std::optional<int> status;
    try {
      runEntryPoint();
    } catch (const ProcessExit& exit) {
      status = exit.status;
    }
    EXPECT_EQ(status, c.status) << c.verb;
    EXPECT_EQ(fake.process.printed, c.printed) << c.verb;
    EXPECT_TRUE(fake.application.log.empty()) << c.verb << ": no application is started";
    const std::vector<std::string> sent = fake.runningInstance.sent;
    EXPECT_EQ(sent.size(), c.verb == "--status" ? 0u : 1u) << c.verb;
    if (!sent.empty()) {
      EXPECT_EQ(sent[0], "velmoryn://" + c.verb.substr(2));
      EXPECT_EQ(fake.runningInstance.lastTimeLimit, 1.0);
    }
  }
}

// A launched delegate on fakes, the Dock's autohide reading as given.
struct Launched {
  explicit Launched(std::string autohide, bool openBeforeLaunch = false) {
    fake.processes.respond = [autohide](const ProcessRequest& request) {
      const bool readsAutohide = request.args.size() == 3 && request.args[2] == "autohide";
      return testing::FakeProcessRunner::output(readsAutohide ? autohide : "1000");
    };
    fake.screens.list = {Screen{Rect{0, 0, 1440, 900}, Rect{0, 70, 1440, 805}}};
    if (openBeforeLaunch) delegate->applicationOpenURLs({"velmoryn://hide"});
    delegate->applicationDidFinishLaunching();
  }

  std::vector<std::string> scripts() const {
    std::vector<std::string> executed;
    for (const auto& entry : fake.appleScript.log)
      if (entry.starts_with("execute ")) executed.push_back(entry);
    return executed;
  }

  // With the pointer on the Dock's edge, one notch of the wheel lifts the hidden Dock.
  void reveal() {
    fake.screens.pointer = {700, 2};
    ScrollEvent notch;
    notch.scrollingDeltaY = 1.0;
    fake.scrollMonitor.deliver(notch);
  }

  FakePlatform fake;
  std::shared_ptr<AppDelegate> delegate = AppDelegate::create();
};

TEST(UrlActionTest, EachUrlBringsTheModeAskedForAndRunsNothingWhenItIsThereAlready) {
  struct Case {
    const char* name;
    const char* autohide;
    bool reveal;
    std::vector<std::string> urls;
    std::vector<std::string> scripts;  // from the reveal on
    const char* mode;
  };
  const std::vector<Case> cases = {
      {"hide, twice", "0", false, {"velmoryn://hide", "velmoryn://hide"}, {kHide}, "非表示中"},
      {"show while shown", "0", false, {"velmoryn://show"}, {}, "表示中"},
      {"show, then toggle",
       "1",
       false,
       {"velmoryn://show", "velmoryn://toggle"},
       {kShow, kHide},
       "非表示中"},
      {"hide during a reveal", "1", true, {"velmoryn://hide"}, {kShow, kHide}, "非表示中"},
      {"show during a reveal", "1", true, {"velmoryn://show"}, {kShow, kShow}, "表示中"},
  };
  for (const Case& c : cases) {
    Launched program(c.autohide);
    if (c.reveal) program.reveal();
    const std::size_t toolRuns = program.fake.processes.requests().size();

    program.delegate->applicationOpenURLs(c.urls);

    EXPECT_THAT(program.scripts(), ElementsAreArray(c.scripts)) << c.name;
    EXPECT_EQ(program.fake.processes.requests().size(), toolRuns) << c.name << ": no defaults run";
    EXPECT_EQ(program.fake.statusBar.item->toolTip, std::string("Velmoryn / Dock") + c.mode)
        << c.name;
    EXPECT_TRUE(program.fake.log.lines.empty()) << c.name;
  }
}

TEST(UrlActionTest, AnUnknownUrlChangesNothingAndLogsOneShortenedLine) {
  Launched program("0");
  program.delegate->applicationOpenURLs({"velmoryn://hide?" + std::string(300, 'q')});
  EXPECT_TRUE(program.scripts().empty());
  EXPECT_THAT(program.fake.log.lines,
              ElementsAre("Velmoryn: 不明なURLを無視しました: velmoryn://hide?" +
                          std::string(84, 'q') + "..."));
}

TEST(UrlActionTest, AUrlDuringLaunchRunsOnceTheLaunchSequenceHasFinished) {
  Launched program("0", /*openBeforeLaunch=*/true);
  EXPECT_THAT(program.scripts(), ElementsAre(kHide));
  // The launch showed the mode it adopted before the URL changed it.
  std::vector<std::string> toolTips;
  for (const auto& entry : program.fake.statusBar.item->log)
    if (entry.starts_with("tooltip ")) toolTips.push_back(entry);
  EXPECT_THAT(toolTips,
              ElementsAre("tooltip Velmoryn / Dock表示中", "tooltip Velmoryn / Dock非表示中"));
}

}  // namespace
}  // namespace velmoryn
