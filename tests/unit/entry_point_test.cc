// The process entry on the fakes: for each kind of run, the services it asks
// for and its calls to the platform up to the application's run, what it
// printed and logged, and how it ended. Which arguments ask for which run is
// command_line_test.cc's; "--login" is answered in the launch (menu_bar_boot_test.cc).
// The texts of a running copy's absence and silence and of the Dock's two
// modes are the end-to-end journeys'.
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
  struct Row {
    const char* name;
    std::vector<std::string> args;   // after the program's path
    std::vector<std::string> calls;  // after reading the arguments, up to the run or the end
    std::string log = {};
    Lock lock = Lock::held;                   // "x" when it fails
    std::int64_t login = kLoginItemEnabled;   // the login item's status
    bool loginFails = false;                  // with the description "E1 no"
    Delivery delivery = Delivery::delivered;  // "x" when it fails
    ProcessResult autohide =
        testing::FakeProcessRunner::output("0");  // as `defaults read` gives it
  };
  const std::string kVerbs = "services runningInstance", kRead = "services processRunner";
  const std::vector<std::string> kLaunch = {
      "lock", "services everything", "accept requests", "accessory", "delegate", "run"};
  const Row rows[] = {
      {.name = "a login command works beside a running copy and prints the status read afterwards",
       .args = {"--unregister-login"},
       .calls = {"services loginItems", "login unregister", "login status",
                 "print status: 0 (1=enabled)", "exit 0"},
       .lock = Lock::heldByAnother},
      {.name = "a failed one prints the service's full description and exits 1",
       .args = {"--register-login"},
       .calls = {"services loginItems", "login register", "print error: E1 no", "exit 1"},
       .loginFails = true},
      {.name = "a verb that cannot reach the copy",
       .args = {"--hide"},
       .calls = {kVerbs, "open velmoryn://hide within 1000 ms",
                 "print Velmorynに伝えられませんでした（x）", "exit 1"},
       .delivery = Delivery::failed},
      {.name = "a missing autohide is shown, as at launch",
       .args = {"--status"},
       .calls = {kRead, "defaults read com.apple.dock autohide", "print Dock表示中", "exit 1"},
       .autohide = {.started = true, .exitStatus = 1, .out = ""}},
      {.name = "any other failure names its cause",
       .args = {"--status"},
       .calls = {kRead, "defaults read com.apple.dock autohide",
                 "print error: /usr/bin/defaults ended with status 1", "exit 2"},
       .autohide = {.started = true, .exitStatus = 1, .out = "0", .outputTooLarge = false}},
      {.name = "a tool that could not start",
       .args = {"--status"},
       .calls = {kRead, "defaults read com.apple.dock autohide",
                 "print error: /usr/bin/defaults could not be started", "exit 2"},
       .autohide = {}},
      {.name = "a tool killed at its time limit",
       .args = {"--status"},
       .calls = {kRead, "defaults read com.apple.dock autohide",
                 "print error: /usr/bin/defaults did not end in time", "exit 2"},
       .autohide = {.started = true, .timedOut = true, .out = ""}},
      {.name = "a tool that printed far too much",
       .args = {"--status"},
       .calls = {kRead, "defaults read com.apple.dock autohide",
                 "print error: /usr/bin/defaults printed far too much", "exit 2"},
       .autohide = {.started = true, .out = "", .outputTooLarge = true}},
      {.name = "the one copy takes requests before its launch", .args = {}, .calls = kLaunch},
      {.name = "a lock that cannot be taken leaves one line and the launch goes on",
       .args = {},
       .calls = kLaunch,
       .log = "Velmoryn: 二重起動を防ぐロックを取れませんでした（x）。このまま起動します",
       .lock = Lock::failed},
      {.name = "the login option launches beside a running copy and takes no requests",
       .args = {"--login", "status"},
       .calls = {"services everything", "accessory", "delegate", "run", "login status",
                 "print 登録済み（ログイン時に起動します）", "login status", "exit 0"},
       .lock = Lock::heldByAnother},
  };
  for (const Row& row : rows) {
    testing::FakePlatform fake;
    fake.process.args.insert(fake.process.args.end(), row.args.begin(), row.args.end());
    fake.instanceLock.answer = {row.lock, "x"};
    fake.loginItems.currentStatus = row.login;
    if (row.loginFails)
      fake.loginItems.registerAnswer = {LoginItemResult::Outcome::failed, {"no", "E1 no"}};
    fake.runningInstance.answer = {row.delivery, "x"};
    fake.processes.respond = [&row](const ProcessRequest&) { return row.autohide; };
    installPlatform(Platform{});  // the entry point installs what each run uses
    try {
      runEntryPoint(fake);
    } catch (const testing::ProcessExit&) {
    }
    delegate.reset();
    app = nullptr;
    std::vector<std::string> calls = fake.timeline.entries();
    auto last =
        std::ranges::find_if(calls, [](const auto& call) { return call.starts_with("exit"); });
    if (last == calls.end()) last = std::ranges::find(calls, "run");
    if (last != calls.end()) calls.erase(last + 1, calls.end());
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), "arguments") << row.name;
    EXPECT_EQ(std::vector<std::string>(calls.begin() + 1, calls.end()), row.calls) << row.name;
    EXPECT_EQ(fake.log.lines, row.log.empty() ? std::vector<std::string>{} : std::vector{row.log})
        << row.name;
  }
}

}  // namespace
}  // namespace velmoryn
