// The process entry against the fakes: random argument lists and random
// answers of the login-item service. Whatever the arguments, a run either
// starts the program or ends the process after exactly one line, with status
// 0 or 1 (the scripting verbs, which end it too, are fuzzed on their own;
// "--version" prints the version and nothing else); the status it prints is
// the service's own after the operation; the marker changes only through a
// successful "--login on" or "--login off"; and only a plain launch takes the
// instance lock.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/entry_point.h"
#include "app/url_command.h"
#include "boot/menu_bar_boot.h"
#include "fakes/fake_platform.h"
#include "fuzz_check.h"

namespace {

using velmoryn::LoginItemError;
using velmoryn::SettingsValue;

// Words that steer the two command lines, and near misses of them.
const char* const kWords[] = {
    "--login",   "on", "off", "status", "--register-login",   "--unregister-login",
    "--Login",   "ON", "Off", "STATUS", "--register-login=1", " --login",
    "--login ",  "",   "-",   "--",     "--unregister-Login", "on ",
    "--version", "-v", "-V",  "--v",    "--register-login\n", "--Version"};

std::optional<LoginItemError> maybeError(FuzzedDataProvider& in) {
  if (!in.ConsumeBool()) return std::nullopt;
  return LoginItemError{in.ConsumeRandomLengthString(16), in.ConsumeRandomLengthString(32),
                        in.ConsumeIntegralInRange<std::int64_t>(0, 13)};
}

std::int64_t status(FuzzedDataProvider& in) {
  if (in.ConsumeBool()) return in.ConsumeIntegralInRange<std::int64_t>(0, 3);
  return in.ConsumeIntegral<std::int64_t>();
}

bool has(const std::vector<std::string>& args, const char* option) {
  return std::find(args.begin(), args.end(), option) != args.end();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  velmoryn::testing::FakePlatform fake;
  auto& items = fake.loginItems;
  items.currentStatus = status(in);
  items.statusAfterRegister = status(in);
  items.registerError = maybeError(in);
  items.unregisterError = maybeError(in);
  constexpr const char* kMarker = "menuBarBoot.loginRegistered";
  if (in.ConsumeBool()) fake.settings.values[kMarker] = in.ConsumeBool();
  const auto markerBefore = fake.settings.object(kMarker);

  const int count = in.ConsumeIntegralInRange(0, 6);
  for (int k = 0; k < count; ++k) {
    fake.process.args.push_back(in.ConsumeBool() ? std::string(in.PickValueInArray(kWords))
                                                 : in.ConsumeRandomLengthString(24));
  }
  const auto& args = fake.process.args;

  std::optional<int> exitStatus;
  try {
    FUZZ_CHECK(velmoryn::runEntryPoint(fake) == 0, "a returning entry point returns 0");
  } catch (const velmoryn::testing::ProcessExit& exit) {
    exitStatus = exit.status;
  }
  velmoryn::delegate.reset();
  velmoryn::app = nullptr;

  const auto& printed = fake.process.printed;
  if (std::find(args.begin() + 1, args.end(), "--version") != args.end()) {
    FUZZ_CHECK(exitStatus == 0 && printed == std::vector<std::string>{"Velmoryn " VELMORYN_VERSION},
               "--version prints the version alone and exits 0");
    return 0;
  }
  const bool entryOption = has(args, "--register-login") || has(args, "--unregister-login");
  const bool oneShot = entryOption || has(args, "--login") || velmoryn::scriptVerbFrom(args);
  FUZZ_CHECK(fake.timeline.matching({"lock"}).empty() == oneShot,
             "only a plain launch takes the instance lock");
  if (!entryOption && !has(args, "--login") && velmoryn::scriptVerbFrom(args)) {
    // The scripting verbs have a fuzzer of their own; here they only end the process.
    FUZZ_CHECK(exitStatus.has_value(), "a script verb ends the process");
    return 0;
  }
  FUZZ_CHECK(exitStatus.has_value() == (entryOption || has(args, "--login")),
             "exactly the login options end the process");
  FUZZ_CHECK(printed.size() == (exitStatus ? 1u : 0u), "one line exactly when the process ends");
  FUZZ_CHECK(!exitStatus || *exitStatus == 0 || *exitStatus == 1, "exit status 0 or 1");
  if (!exitStatus) return 0;

  const std::string& line = printed.front();
  const std::string statusLine =
      entryOption ? "status: " + std::to_string(items.currentStatus) + " (1=enabled)"
                  : std::string(velmoryn::MenuBarBoot::statusText(items.currentStatus));
  const bool failed = line.starts_with(entryOption ? "error: " : "登録に失敗しました: ") ||
                      line.starts_with("解除に失敗しました: ") ||
                      line == "使い方: --login on|off|status";
  FUZZ_CHECK(failed || line == statusLine, "a status line gives the status after the operation");
  FUZZ_CHECK(!failed || *exitStatus == 1, "a failure exits 1");
  if (entryOption)
    FUZZ_CHECK(failed == (*exitStatus == 1), "the entry options exit 1 only on failure");
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
