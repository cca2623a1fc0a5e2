// The process entry's command line: "--register-login" and "--unregister-login"
// and the script verbs before the application starts, "--login on|off|status"
// at its launch; the position seeded at launch; the script verbs and the URL
// log line (which URLs parse is the fuzzer's, fuzz/url_command_fuzz.cc).
#include "app/entry_point.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/url_command.h"

#include "boot/menu_bar_boot.h"
#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

using Outcome = UrlDelivery::Outcome;

struct Row {
  std::string args;     // "~" marks how the platform answers or what is stored
  std::int64_t status;  // of the login item before
  std::string seen;
};

// The application started ("app"), the service's changes, the position and
// the marker written ("set"), the URL handed on, the output (a status text as
// "#STATUS"), the end, then the marker stored and the log.
std::string run(const Row& row) {
  testing::FakePlatform fake;
  auto& items = fake.loginItems;
  items.currentStatus = row.status;
  ProcessResult read{true, false, 0, ""};  // of the Dock's autohide
  std::istringstream in(row.args);
  for (std::string arg; in >> arg;) {
    if (arg == "~fails") items.registerError = items.unregisterError = {{"no", "E1"}};
    if (arg == "~approval") items.statusAfterRegister = kLoginItemRequiresApproval;
    if (arg.starts_with("~outcome")) fake.runningInstance.answer = {Outcome(arg[8] - '0'), "x"};
    if (arg.starts_with("~read")) read = {arg != "~readNone", false, arg[5] - '0', arg.substr(6)};
    if (arg.starts_with("~marker"))
      fake.settings.values[MenuBarBoot::loginRegisteredKey] = arg[7] > '0';
    if (arg[0] != '~') fake.process.args.push_back(arg);
  }
  fake.processes.respond = [&read](const ProcessRequest&) { return read; };
  try {
    runEntryPoint(fake);
  } catch (const testing::ProcessExit&) {
  }
  delegate.reset();
  app = nullptr;
  std::string seen;
  for (const auto& url : fake.runningInstance.sent)
    seen += "sent " + url + " in " + ::testing::PrintToString(fake.runningInstance.lastTimeLimit) +
            "s; ";
  for (auto entry : fake.timeline.matching(
           {"accessory", "login r", "login u", "set NS", "set menu", "print", "exit"})) {
    for (std::int64_t status : {0, 1, 2, 3, 99})
      if (entry == "print " + std::string(MenuBarBoot::statusText(status)))
        entry = "print #" + std::to_string(status);
    seen += entry == "accessory" ? "app; " : entry.starts_with("set") ? "set; " : entry + "; ";
  }
  const auto marker = fake.settings.object(MenuBarBoot::loginRegisteredKey);
  if (marker) seen += std::get<bool>(*marker) ? "marker on; " : "marker off; ";
  for (const auto& line : fake.log.lines) seen += "log " + line + "; ";
  return seen.substr(0, seen.size() - 2);
}

void PrintTo(const Row& row, std::ostream* out) {
  *out << row.args << ", status " << row.status;
}

class CommandLine : public ::testing::TestWithParam<Row> {};
TEST_P(CommandLine, AnswersWithOneLineAndItsExitStatus) {
  EXPECT_EQ(run(GetParam()), GetParam().seen);
}

INSTANTIATE_TEST_SUITE_P(
    EntryPoint, CommandLine,
    ::testing::Values(
        // The version wins over every other option and starts nothing.
        Row{"--register-login --version --hide", 0, "print Velmoryn " VELMORYN_VERSION "; exit 0"},
        // Unregister wins, in either order; the error shown is the service's description.
        Row{"--register-login --unregister-login", 1,
            "login unregister; print status: 0 (1=enabled); exit 0"},
        Row{"--unregister-login --register-login", 1,
            "login unregister; print status: 0 (1=enabled); exit 0"},
        Row{"--register-login ~fails", 0, "login register; print error: E1; exit 1"},
        // Only an enabled item gives status 0; "--login" alone asks for the status.
        Row{"--login status", 2, "app; print #2; exit 1"},
        Row{"--verbose --login", 1, "app; print #1; exit 0"},
        // Anything else starts the program as an accessory, which registers the
        // item once: a marker stored, even false, stops it; a failure stores none.
        Row{"--Login on", 1, "app; set; login register; set; marker on"},
        Row{"~marker0", 0, "app; set; marker off"}, Row{"~marker1", 0, "app; set; marker on"},
        Row{"~fails", 0,
            "app; set; login register; log Velmoryn: ログイン時起動の登録に失敗しました（no）"},
        // The marker goes in before the line; an item already as asked counts as success;
        // a failure shows the localized description.
        Row{"--login on ~approval", 0, "app; login register; set; print #2; exit 0; marker on"},
        Row{"--login on", 1, "app; login register; set; print #1; exit 0; marker on"},
        Row{"--login off", 0, "app; login unregister; set; print #0; exit 0; marker off"},
        Row{"--login on ~fails", 0, "app; login register; print 登録に失敗しました: no; exit 1"},
        Row{"--login ON", 0, "app; print 使い方: --login on|off|status; exit 1"},
        Row{"--login --login on", 0, "app; print 使い方: --login on|off|status; exit 1"},
        // The verbs hand their URL on, or read the Dock's autohide, and start nothing.
        Row{"--hide", 0, "sent velmoryn://hide in 1s; exit 0"},
        Row{"--toggle ~outcome1", 0,
            "sent velmoryn://toggle in 1s; print Velmorynは起動していません; exit 1"},
        Row{"--show ~outcome2", 0,
            "sent velmoryn://show in 1s; print "
            "Velmorynが1秒以内に応答しませんでした。この操作はあとで実行されることがあります; exit "
            "1"},
        Row{"--hide ~outcome3", 0,
            "sent velmoryn://hide in 1s; print Velmorynに伝えられませんでした（x）; exit 1"},
        Row{"--status ~read01", 0, "print Dock非表示中; exit 0"},
        Row{"--status ~read1", 0, "print Dock表示中; exit 1"},
        Row{"--status ~read1x", 0, "print error: /usr/bin/defaults ended with status 1; exit 2"},
        Row{"--status ~readNone", 0,
            "print error: /usr/bin/defaults could not be started; exit 2"}));

// A plain launch, whatever its options, takes the lock before anything else is
// touched; the one-shot runs work beside a running copy.
TEST(EntryPoint, OneCopyLaunchesAtATime) {
  using Outcome = InstanceLockResult::Outcome;
  struct Row {
    const char* name;
    std::vector<std::string> args;
    InstanceLockResult lock;
    std::vector<std::string> calls;  // to the platform, up to the application's run
    std::vector<std::string> log;
  };
  const InstanceLockResult held{Outcome::held, ""}, taken{Outcome::heldByAnother, ""},
      broken{Outcome::failed, "cannot open /x: Permission denied"};
  const std::vector<std::string> launch = {"arguments", "lock",     "services", "accept requests",
                                           "accessory", "delegate", "run"};
  for (const Row& row : std::vector<Row>{
           {.name = "beside a running copy a launch ends at once and touches nothing",
     .args = {},
     .lock = taken,
     .calls = {"arguments", "lock", "exit 0"},
     .log = {kAlreadyRunningLine}},
           {.name = "a mistyped option is a plain launch and ends the same way",
           .args = {"--hdie"},
           .lock = taken,
           .calls = {"arguments", "lock", "exit 0"},
           .log = {kAlreadyRunningLine}},
           {.name = "the one copy takes requests before its launch",
           .args = {},
           .lock = held,
           .calls = launch,
           .log = {}},
           {.name = "a lock that cannot be taken leaves one line and the launch goes on",
           .args = {},
           .lock = broken,
           .calls = launch,
           .log = {"Velmoryn: 二重起動を防ぐロックを取れませんでした（cannot open /x: Permission "
                   "denied）。このまま起動します"}},
           {.name = "a script verb works beside a running copy",
           .args = {"--hide"},
           .lock = taken,
           .calls = {"arguments", "services", "exit 0"},
           .log = {}},
           {.name = "the login option works beside a running copy and takes no requests",
           .args = {"--login", "status"},
           .lock = taken,
           .calls = {"arguments", "services", "accessory", "delegate", "run"},
           .log = {}},
           {.name = "the login command works beside a running copy",
           .args = {"--unregister-login"},
           .lock = taken,
           .calls = {"arguments", "services", "login unregister", "login status", "login status",
                     "print status: 0 (1=enabled)", "exit 0"},
           .log = {}}}) {
    testing::FakePlatform fake;
    fake.process.args.insert(fake.process.args.end(), row.args.begin(), row.args.end());
    fake.instanceLock.answer = row.lock;
    try {
      runEntryPoint(fake);
    } catch (const testing::ProcessExit&) {
    }
    delegate.reset();
    app = nullptr;
    std::vector<std::string> calls = fake.timeline.entries();
    if (auto run = std::find(calls.begin(), calls.end(), "run"); run != calls.end())
      calls.erase(run + 1, calls.end());
    EXPECT_EQ(calls, row.calls) << row.name;
    EXPECT_EQ(fake.log.lines, row.log) << row.name;
  }
}

TEST(EntryPoint, TheStatusTexts) {
  std::string texts;
  for (std::int64_t status : {0, 1, 2, 3, 99})
    texts += std::string(MenuBarBoot::statusText(status)) + "\n";
  EXPECT_EQ(texts,
            "未登録（ログイン時に起動しません）\n登録済み（ログイン時に起動します）\n"
            "要許可（システム設定 > 一般 > ログイン項目 で有効にしてください）\n"
            "未登録（/Applications に入れてから実行してください）\n不明\n");
}

TEST(MenuBarBoot, ThePositionIsSeededWithTheInteger300OnlyWhileNoneIsStored) {
  for (const std::optional<SettingsValue>& stored :
       {std::optional<SettingsValue>(), {std::int64_t{0}}, {87.5}}) {
    testing::FakePlatform fake;
    if (stored) fake.settings.values[MenuBarBoot::positionKey] = *stored;
    MenuBarBoot::seedPosition();
    EXPECT_EQ(fake.settings.values,
              (std::map<std::string, SettingsValue>{
                  {MenuBarBoot::positionKey, stored.value_or(std::int64_t{300})}}));
  }
}

TEST(UrlCommandTest, TheLogShowsOneShortLineWithEveryEscapeWhole) {
  EXPECT_EQ(urlForLog("a\nb\xe3\x7f"), "a%0Ab%E3%7F");
  EXPECT_EQ(urlForLog(std::string(98, 'a') + "\n"), std::string(98, 'a') + "...");
}

TEST(UrlCommandTest, ScriptVerbsAreExactAndAgree) {
  using Args = std::vector<std::string>;
  for (const auto& [args, verb] : std::vector<std::pair<Args, std::optional<ScriptVerb>>>{
           {{"x", "--hide", "--hide"}, ScriptVerb::hide},
           {{"x", "x", "--status"}, ScriptVerb::status},
           {{"--show", "--hide"}, ScriptVerb::hide},  // the program's own path is no verb
           {{"x", "--hide", "--show"}, {}},
           {{"x", "--Hide", "--hide=1"}, {}}})
    EXPECT_EQ(scriptVerbFrom(args), verb) << ::testing::PrintToString(args);
}

}  // namespace
}  // namespace velmoryn
