// The process entry on the fakes: for each kind of run, the services it asks
// for and its calls to the platform up to the application's run, what it
// printed and logged, and how it ended. Which arguments ask for which run is
// command_line_test.cc; "--login" is answered in the launch (menu_bar_boot_test.cc).
#include "app/entry_point.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

TEST(EntryPoint, EachRunBuildsOnlyWhatItNeedsAndEndsAsItShould) {
  using Delivery = UrlDelivery::Outcome;
  using Lock = InstanceLockResult::Outcome;
  using Login = LoginItemResult::Outcome;
  struct Row {
    const char* name;
    std::vector<std::string> args;   // after the program's path
    std::vector<std::string> calls;  // to the platform, up to the application's run
    std::vector<std::string> log = {};
    Lock lock = Lock::held;
    std::int64_t loginStatus = kLoginItemNotRegistered;
    std::optional<LoginItemResult> loginAnswer = {};
    Delivery delivery = Delivery::delivered;
    ProcessResult autohide =
        testing::FakeProcessRunner::output("0");  // as `defaults read` gives it
  };
  const std::string kRead = "defaults read com.apple.dock autohide";
  const std::vector<std::string> kLaunch = {
      "arguments", "lock", "services everything", "accept requests", "accessory",
      "delegate",  "run"};
  const std::string kRunning = "Velmoryn: すでに起動しています。この起動は何も変更せずに終了します";
  const Row rows[] = {
      {.name = "the version is printed before anything is built",
       .args = {"--version", "--hide"},
       .calls = {"arguments", "print Velmoryn " VELMORYN_VERSION, "exit 0"}},
      {.name = "the login command works beside a running copy and prints the status read after it",
       .args = {"--unregister-login"},
       .calls = {"arguments", "services loginItems", "login unregister", "login status",
                 "print status: 0 (1=enabled)", "exit 0"},
       .lock = Lock::heldByAnother,
       .loginStatus = kLoginItemEnabled},
      {.name = "an item already as asked is no failure",
       .args = {"--unregister-login"},
       .calls = {"arguments", "services loginItems", "login unregister", "login status",
                 "login status", "print status: 0 (1=enabled)", "exit 0"}},
      {.name = "a failure prints the service's full description and exits 1",
       .args = {"--register-login"},
       .calls = {"arguments", "services loginItems", "login register", "print error: E1 no",
                 "exit 1"},
       .loginAnswer = LoginItemResult{Login::failed, {"no", "E1 no"}}},
      {.name = "a verb works beside a running copy and gives it a second to take the URL",
       .args = {"--hide"},
       .calls = {"arguments", "services runningInstance", "open velmoryn://hide within 1s",
                 "exit 0"},
       .lock = Lock::heldByAnother},
      {.name = "a verb with no copy running says so",
       .args = {"--toggle"},
       .calls = {"arguments", "services runningInstance", "open velmoryn://toggle within 1s",
                 "print Velmorynは起動していません", "exit 1"},
       .delivery = Delivery::notRunning},
      {.name = "a verb with no answer in time says it may still be carried out",
       .args = {"--show"},
       .calls =
           {"arguments", "services runningInstance", "open velmoryn://show within 1s",
            "print Velmorynが1秒以内に応答しませんでした。この操作はあとで実行されることがあります",
            "exit 1"},
       .delivery = Delivery::noAnswer},
      {.name = "a verb that cannot reach the copy says why",
       .args = {"--hide"},
       .calls = {"arguments", "services runningInstance", "open velmoryn://hide within 1s",
                 "print Velmorynに伝えられませんでした（x）", "exit 1"},
       .delivery = Delivery::failed},
      {.name = "the status of a Dock whose autohide reads 1 is hidden",
       .args = {"--status"},
       .calls = {"arguments", "services processRunner", kRead, "print Dock非表示中", "exit 0"},
       .autohide = testing::FakeProcessRunner::output("1")},
      {.name = "a missing autohide is shown, as at launch",
       .args = {"--status"},
       .calls = {"arguments", "services processRunner", kRead, "print Dock表示中", "exit 1"},
       .autohide = {.started = true, .exitStatus = 1, .out = ""}},
      {.name = "any other failure names its cause",
       .args = {"--status"},
       .calls = {"arguments", "services processRunner", kRead,
                 "print error: /usr/bin/defaults ended with status 1", "exit 2"},
       .autohide = {.started = true, .exitStatus = 1, .out = "0", .outputTooLarge = false}},
      {.name = "a tool that could not start",
       .args = {"--status"},
       .calls = {"arguments", "services processRunner", kRead,
                 "print error: /usr/bin/defaults could not be started", "exit 2"},
       .autohide = {}},
      {.name = "a tool killed at its time limit",
       .args = {"--status"},
       .calls = {"arguments", "services processRunner", kRead,
                 "print error: /usr/bin/defaults did not end in time", "exit 2"},
       .autohide = {.started = true, .timedOut = true, .out = ""}},
      {.name = "a tool that printed far too much",
       .args = {"--status"},
       .calls = {"arguments", "services processRunner", kRead,
                 "print error: /usr/bin/defaults printed far too much", "exit 2"},
       .autohide = {.started = true, .out = "", .outputTooLarge = true}},
      {.name = "beside a running copy a launch ends at once and touches nothing",
       .args = {},
       .calls = {"arguments", "lock", "exit 0"},
       .log = {kRunning},
       .lock = Lock::heldByAnother},
      {.name = "a mistyped option is a plain launch and ends the same way",
       .args = {"--hdie"},
       .calls = {"arguments", "lock", "exit 0"},
       .log = {kRunning},
       .lock = Lock::heldByAnother},
      {.name = "the one copy takes requests before its launch", .args = {}, .calls = kLaunch},
      {.name = "a lock that cannot be taken leaves one line and the launch goes on",
       .args = {},
       .calls = kLaunch,
       .log = {"Velmoryn: 二重起動を防ぐロックを取れませんでした（x）。このまま起動します"},
       .lock = Lock::failed},
      {.name = "the login option launches beside a running copy and takes no requests",
       .args = {"--login", "status"},
       .calls = {"arguments", "services everything", "accessory", "delegate", "run"},
       .lock = Lock::heldByAnother},
  };
  for (const Row& row : rows) {
    testing::FakePlatform fake;
    fake.process.args.insert(fake.process.args.end(), row.args.begin(), row.args.end());
    fake.instanceLock.answer = {row.lock, "x"};
    fake.loginItems.currentStatus = row.loginStatus;
    fake.loginItems.registerAnswer = fake.loginItems.unregisterAnswer = row.loginAnswer;
    fake.runningInstance.answer = {row.delivery, "x"};
    fake.processes.respond = [&row](const ProcessRequest&) { return row.autohide; };
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

}  // namespace
}  // namespace velmoryn
