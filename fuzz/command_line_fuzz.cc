// The process entry against the fakes: random argument lists and random
// answers of the login-item service, checked against what the command line
// asked for (parseCommandLine, whose rules are command_line_test.cc's): only a
// plain launch takes the instance lock and goes on; "--version" prints the
// version and nothing else; a login command ends the process after exactly
// one line, with status 0 or 1, the status it prints being the service's own
// after the operation; an item already as asked fails only when its status
// disagrees; and the marker changes only when the program itself changed the
// item.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/entry_point.h"
#include "boot/command_line.h"
#include "fakes/fake_platform.h"
#include "fuzz_check.h"

namespace {

using velmoryn::CommandLine;
using velmoryn::LoginItemResult;
using Outcome = LoginItemResult::Outcome;

// Words that steer the command line, and near misses of them.
const char* const kWords[] = {"--login",
                              "on",
                              "off",
                              "status",
                              "--register-login",
                              "--unregister-login",
                              "--Login",
                              "ON",
                              "Off",
                              "STATUS",
                              "--register-login=1",
                              " --login",
                              "--login ",
                              "",
                              "-",
                              "--",
                              "--unregister-Login",
                              "on ",
                              "--version",
                              "-v",
                              "-V",
                              "--v",
                              "--register-login\n",
                              "--Version",
                              "--hide",
                              "--show",
                              "--toggle",
                              "--status",
                              "--Hide"};

std::optional<LoginItemResult> maybeAnswer(FuzzedDataProvider& in) {
  if (!in.ConsumeBool()) return std::nullopt;
  constexpr Outcome kOutcomes[] = {Outcome::done, Outcome::alreadyAsAsked, Outcome::needsApproval,
                                   Outcome::failed};
  const Outcome outcome = in.PickValueInArray(kOutcomes);
  return LoginItemResult{outcome,
                         {in.ConsumeRandomLengthString(16), in.ConsumeRandomLengthString(32)}};
}

std::int64_t status(FuzzedDataProvider& in) {
  if (in.ConsumeBool()) return in.ConsumeIntegralInRange<std::int64_t>(0, 3);
  return in.ConsumeIntegral<std::int64_t>();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  velmoryn::testing::FakePlatform fake;
  auto& items = fake.loginItems;
  items.currentStatus = status(in);
  items.statusAfterRegister = status(in);
  items.registerAnswer = maybeAnswer(in);
  items.unregisterAnswer = maybeAnswer(in);
  constexpr const char* kMarker = "menuBarBoot.loginRegistered";
  if (in.ConsumeBool()) fake.settings.values[kMarker] = in.ConsumeBool();
  const auto markerBefore = fake.settings.object(kMarker);

  const int count = in.ConsumeIntegralInRange(0, 6);
  for (int k = 0; k < count; ++k) {
    fake.process.args.push_back(in.ConsumeBool() ? std::string(in.PickValueInArray(kWords))
                                                 : in.ConsumeRandomLengthString(24));
  }
  const CommandLine asked = velmoryn::parseCommandLine(fake.process.args);

  std::optional<int> exitStatus;
  try {
    FUZZ_CHECK(velmoryn::runEntryPoint(fake) == 0, "a returning entry point returns 0");
  } catch (const velmoryn::testing::ProcessExit& exit) {
    exitStatus = exit.status;
  }
  velmoryn::delegate.reset();
  velmoryn::app = nullptr;

  FUZZ_CHECK(fake.timeline.matching({"lock"}).empty() == (asked != CommandLine::plainLaunch),
             "only a plain launch takes the instance lock");
  FUZZ_CHECK(exitStatus.has_value() == (asked != CommandLine::plainLaunch),
             "every run but a plain launch ends the process");
  const auto& printed = fake.process.printed;
  if (asked == CommandLine::version) {
    FUZZ_CHECK(exitStatus == 0 && printed == std::vector<std::string>{"Velmoryn " VELMORYN_VERSION},
               "--version prints the version alone and exits 0");
  }
  const bool entryOption =
      asked == CommandLine::registerLogin || asked == CommandLine::unregisterLogin;
  const bool loginOption = velmoryn::isLaunch(asked) && asked != CommandLine::plainLaunch;
  if (!entryOption && !loginOption) return 0;  // what the verbs print is the entry point test's

  FUZZ_CHECK(printed.size() == 1, "a login command ends after exactly one line");
  FUZZ_CHECK(*exitStatus == 0 || *exitStatus == 1, "exit status 0 or 1");
  const std::string& line = printed.front();
  const bool failed = line.starts_with(entryOption ? "error: " : "登録に失敗しました: ") ||
                      line.starts_with("解除に失敗しました: ") ||
                      line == "使い方: --login on|off|status";
  FUZZ_CHECK(!failed || *exitStatus == 1, "a failure exits 1");
  if (entryOption) {
    FUZZ_CHECK(failed == (*exitStatus == 1), "the entry options exit 1 only on failure");
    FUZZ_CHECK(failed || line == "status: " + std::to_string(items.currentStatus) + " (1=enabled)",
               "a status line gives the status after the operation");
  }
  const bool registering = asked == CommandLine::registerLogin || asked == CommandLine::loginOn;
  const auto& answer = registering ? items.registerAnswer : items.unregisterAnswer;
  const bool changing =
      entryOption || asked == CommandLine::loginOn || asked == CommandLine::loginOff;
  if (changing && answer && answer->outcome == Outcome::alreadyAsAsked) {
    const bool registered = items.currentStatus == velmoryn::kLoginItemEnabled ||
                            items.currentStatus == velmoryn::kLoginItemRequiresApproval;
    FUZZ_CHECK(failed == (registered != registering),
               "an item already as asked fails only when its status disagrees");
  }
  const auto marker = fake.settings.object(kMarker);
  const bool changedTheItem =
      !fake.timeline.matching({"login register", "login unregister"}).empty();
  if (entryOption || failed || !changedTheItem) {
    FUZZ_CHECK(marker == markerBefore, "the marker changes only through on and off");
  }
  if (marker != markerBefore) {
    FUZZ_CHECK(marker && std::holds_alternative<bool>(*marker), "the marker is a Boolean");
  }
  return 0;
}
