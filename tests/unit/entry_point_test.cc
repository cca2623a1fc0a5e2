// The command line of both login paths, through the process entry: the
// entry point's "--register-login" and "--unregister-login", answered before
// the application starts, and "--login on|off|status", answered at launch.
#include "app/entry_point.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

using ::testing::ElementsAre;

constexpr const char* kNotRegistered = "print 未登録（ログイン時に起動しません）";
constexpr const char* kEnabled = "print 登録済み（ログイン時に起動します）";
constexpr const char* kApproval =
    "print 要許可（システム設定 > 一般 > ログイン項目 で有効にしてください）";
constexpr const char* kNotFound = "print 未登録（/Applications に入れてから実行してください）";
constexpr const char* kUsage = "print 使い方: --login on|off|status";
constexpr const char* kMarker = "menuBarBoot.loginRegistered";
const LoginItemError kDenied{"Operation not permitted",
                             "Error Domain=SMAppServiceErrorDomain Code=1"};

struct Row {
  std::vector<std::string> args;
  std::int64_t status;  // of the login item before
  // The login service's calls, the marker's writes and the process's output, in order.
  std::vector<std::string> seen;
  std::optional<bool> marker;  // afterwards
  bool fails = false;          // the service refuses to register and to unregister
  std::int64_t statusAfterRegister = kLoginItemEnabled;
};

Row row(std::vector<std::string> args, std::int64_t status, std::vector<std::string> seen,
        std::optional<bool> marker = {}, bool fails = false,
        std::int64_t statusAfterRegister = kLoginItemEnabled) {
  return Row{std::move(args), status, std::move(seen), marker, fails, statusAfterRegister};
}

void PrintTo(const Row& row, std::ostream* out) {
  for (const auto& arg : row.args) *out << '"' << arg << "\" ";
  *out << "with the item's status " << row.status;
}

class LoginCommandLine : public ::testing::TestWithParam<Row> {};

TEST_P(LoginCommandLine, AnswersWithOneLineAndItsExitStatus) {
  const Row& row = GetParam();
  testing::FakePlatform fake;
  fake.process.args.insert(fake.process.args.end(), row.args.begin(), row.args.end());
  fake.loginItems.currentStatus = row.status;
  fake.loginItems.statusAfterRegister = row.statusAfterRegister;
  if (row.fails) fake.loginItems.registerError = fake.loginItems.unregisterError = kDenied;

  try {
    runEntryPoint();
    ADD_FAILURE() << "the process did not end";
  } catch (const testing::ProcessExit&) {
  }
  delegate.reset();
  app = nullptr;

  EXPECT_EQ(fake.timeline.matching({"login", "set menuBarBoot", "print", "exit"}), row.seen);
  const auto marker = fake.settings.object(kMarker);
  EXPECT_EQ(marker ? std::optional(std::get<bool>(*marker)) : std::nullopt, row.marker);
}

const std::string kSet = std::string("set ") + kMarker;

INSTANTIATE_TEST_SUITE_P(
    EntryOptions, LoginCommandLine,
    ::testing::Values(
        // The status is read after the operation.
        row({"--register-login"}, 0,
            {"login register", "login status", "print status: 2 (1=enabled)", "exit 0"}, {}, false,
            kLoginItemRequiresApproval),
        row({"--unregister-login"}, 1,
            {"login unregister", "login status", "print status: 0 (1=enabled)", "exit 0"}),
        // Both given, in either order: only unregister.
        row({"--register-login", "--unregister-login"}, 1,
            {"login unregister", "login status", "print status: 0 (1=enabled)", "exit 0"}),
        row({"--unregister-login", "--register-login"}, 1,
            {"login unregister", "login status", "print status: 0 (1=enabled)", "exit 0"}),
        // Anywhere among the arguments; "--login" is then never looked at.
        row({"--login", "off", "--register-login"}, 0,
            {"login register", "login status", "print status: 1 (1=enabled)", "exit 0"}),
        row({"--register-login"}, 0,
            {"login register", "print error: " + kDenied.description, "exit 1"}, {}, true),
        row({"--unregister-login"}, 1,
            {"login unregister", "print error: " + kDenied.description, "exit 1"}, {}, true),
        // Look-alikes start the program, which answers "--login" at launch.
        row({"--REGISTER-LOGIN", "--register-login=1", "-unregister-login", "--unregister-login ",
             "--login", "status"},
            1, {"login status", kEnabled, "login status", "exit 0"})));

INSTANTIATE_TEST_SUITE_P(
    LoginOption, LoginCommandLine,
    ::testing::Values(
        // The status command exits 0 only for an enabled item.
        row({"--login", "status"}, 0, {"login status", kNotRegistered, "login status", "exit 1"}),
        row({"--login", "status"}, 2, {"login status", kApproval, "login status", "exit 1"}),
        row({"--login", "status"}, 3, {"login status", kNotFound, "login status", "exit 1"}),
        row({"--login", "status"}, 99, {"login status", "print 不明", "login status", "exit 1"}),
        row({"--verbose", "--login"}, 1, {"login status", kEnabled, "login status", "exit 0"}),
        row({"--login", "status", "--login", "off"}, 1,
            {"login status", kEnabled, "login status", "exit 0"}),
        // On and off store the marker before the line; exit 0 means the operation worked.
        row({"--login", "on"}, 0, {"login register", kSet, "login status", kApproval, "exit 0"},
            true, false, kLoginItemRequiresApproval),
        row({"--login", "on"}, 1,
            {"login register", "login status", kSet, "login status", kEnabled, "exit 0"}, true),
        row({"--login", "off"}, 1,
            {"login unregister", kSet, "login status", kNotRegistered, "exit 0"}, false),
        row({"--login", "off"}, 0,
            {"login unregister", "login status", kSet, "login status", kNotRegistered, "exit 0"},
            false),
        row({"--login", "on"}, 0,
            {"login register", "print 登録に失敗しました: Operation not permitted", "exit 1"}, {},
            true),
        row({"--login", "off"}, 1,
            {"login unregister", "print 解除に失敗しました: Operation not permitted", "exit 1"}, {},
            true),
        row({"--login", "ON"}, 0, {kUsage, "exit 1"}), row({"--login", ""}, 0, {kUsage, "exit 1"}),
        row({"--login", "--login", "on"}, 0, {kUsage, "exit 1"})));

TEST(EntryPoint, WithoutALoginOptionTheApplicationStartsAsAnAccessory) {
  testing::FakePlatform fake;
  fake.process.args.insert(fake.process.args.end(), {"--Login", "on", "--login=on"});
  EXPECT_EQ(runEntryPoint(), 0);
  EXPECT_EQ(app, &fake.application);
  EXPECT_EQ(fake.application.delegate, delegate.get());
  EXPECT_THAT(fake.timeline.matching({"accessory", "delegate", "run", "arguments", "print"}),
              ElementsAre("arguments", "accessory", "delegate", "run", "arguments"));
  EXPECT_NE(fake.statusBar.item, nullptr);
  delegate.reset();
  app = nullptr;
}

}  // namespace
}  // namespace velmoryn
