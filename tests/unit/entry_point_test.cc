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
using testing::FakePlatform;
using ::testing::IsEmpty;
using testing::ProcessExit;

class EntryPointTest : public ::testing::Test {
 protected:
  ~EntryPointTest() override {
    delegate.reset();
    app = nullptr;
  }

  void arguments(std::vector<std::string> extra) {
    fake.process.args = {"/Applications/Velmoryn.app/Contents/MacOS/Velmoryn"};
    fake.process.args.insert(fake.process.args.end(), extra.begin(), extra.end());
  }

  // The exit status, whether the process ended or the entry point returned.
  std::optional<int> run() {
    try {
      return runEntryPoint();
    } catch (const ProcessExit& exit) {
      ended = true;
      return exit.status;
    }
  }

  FakePlatform fake;
  bool ended = false;
};

const LoginItemError kDenied{
    "Operation not permitted",
    "Error Domain=SMAppServiceErrorDomain Code=1 \"Operation not permitted\" "
    "UserInfo={NSLocalizedFailureReason=Operation not permitted}"};

TEST_F(EntryPointTest, RegisterPrintsTheStatusReadAfterTheOperationAndExitsZero) {
  fake.loginItems.statusAfterRegister = kLoginItemRequiresApproval;
  arguments({"--register-login"});

  EXPECT_EQ(run(), 0);

  EXPECT_TRUE(ended);
  EXPECT_THAT(fake.loginItems.calls, ElementsAre("register", "status"));
  EXPECT_THAT(fake.process.printed, ElementsAre("status: 2 (1=enabled)"));
  EXPECT_THAT(fake.application.log, IsEmpty());
  EXPECT_EQ(app, nullptr);
  EXPECT_EQ(delegate, nullptr);
  EXPECT_THAT(fake.settings.operations, IsEmpty());
}

TEST_F(EntryPointTest, UnregisterPrintsTheNewStatusAndExitsZero) {
  fake.loginItems.currentStatus = kLoginItemEnabled;
  arguments({"--unregister-login"});

  EXPECT_EQ(run(), 0);

  EXPECT_THAT(fake.loginItems.calls, ElementsAre("unregister", "status"));
  EXPECT_THAT(fake.process.printed, ElementsAre("status: 0 (1=enabled)"));
}

TEST_F(EntryPointTest, WithBothOptionsOnlyUnregisterIsPerformed) {
  for (auto args :
       std::vector<std::vector<std::string>>{{"--register-login", "--unregister-login"},
                                             {"--unregister-login", "--register-login"}}) {
    fake.loginItems.calls.clear();
    fake.loginItems.currentStatus = kLoginItemEnabled;
    arguments(args);

    EXPECT_EQ(run(), 0);
    EXPECT_THAT(fake.loginItems.calls, ElementsAre("unregister", "status")) << args[0];
  }
}

TEST_F(EntryPointTest, AFailurePrintsOnlyTheFullErrorAndExitsOne) {
  fake.loginItems.registerError = kDenied;
  arguments({"--register-login"});

  EXPECT_EQ(run(), 1);

  EXPECT_TRUE(ended);
  EXPECT_THAT(fake.process.printed, ElementsAre("error: " + kDenied.description));
  EXPECT_THAT(fake.loginItems.calls, ElementsAre("register"));
  EXPECT_THAT(fake.log.lines, IsEmpty());
}

TEST_F(EntryPointTest, AFailedUnregisterAlsoExitsOne) {
  fake.loginItems.unregisterError = kDenied;
  arguments({"--unregister-login"});

  EXPECT_EQ(run(), 1);
  EXPECT_THAT(fake.process.printed, ElementsAre("error: " + kDenied.description));
}

TEST_F(EntryPointTest, TheOptionsCountAnywhereAndTheLoginOptionIsNeverLookedAt) {
  arguments({"--login", "off", "--register-login"});

  EXPECT_EQ(run(), 0);

  EXPECT_THAT(fake.loginItems.calls, ElementsAre("register", "status"));
  EXPECT_THAT(fake.process.printed, ElementsAre("status: 1 (1=enabled)"));
  EXPECT_THAT(fake.settings.operations, IsEmpty());
}

TEST_F(EntryPointTest, WithoutEitherOptionTheApplicationStartsAsAnAccessory) {
  EXPECT_EQ(run(), 0);

  EXPECT_FALSE(ended);
  EXPECT_THAT(fake.application.log, ElementsAre("accessory", "delegate", "run"));
  EXPECT_EQ(app, &fake.application);
  ASSERT_NE(delegate, nullptr);
  EXPECT_EQ(fake.application.delegate, delegate.get());
  // The run loop's launch notification reached the delegate.
  EXPECT_NE(fake.statusBar.item, nullptr);
  EXPECT_THAT(fake.process.printed, IsEmpty());
}

TEST_F(EntryPointTest, OptionsThatOnlyLookAlikeStartTheApplication) {
  arguments({"--Register-Login", "--register-login=1", "register-login", "--unregister-login ",
             "-unregister-login"});

  EXPECT_EQ(run(), 0);

  EXPECT_FALSE(ended);
  EXPECT_THAT(fake.application.log, ElementsAre("accessory", "delegate", "run"));
  EXPECT_THAT(fake.loginItems.calls, ::testing::Not(::testing::Contains("unregister")));
}

TEST_F(EntryPointTest, ALoginOptionWithoutTheEntryOptionsIsAnsweredAfterLaunch) {
  fake.loginItems.currentStatus = kLoginItemEnabled;
  arguments({"--REGISTER-LOGIN", "--login", "status"});

  EXPECT_EQ(run(), 0);

  EXPECT_TRUE(ended);
  EXPECT_THAT(fake.application.log, ElementsAre("accessory", "delegate", "run"));
  EXPECT_THAT(fake.process.printed, ElementsAre("登録済み（ログイン時に起動します）"));
  EXPECT_EQ(fake.statusBar.item, nullptr);
}

}  // namespace
}  // namespace velmoryn
