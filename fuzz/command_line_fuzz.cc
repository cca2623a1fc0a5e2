// The command line against the fakes: random argument lists and random
// answers of the login-item service. Every run either returns or ends the
// process with status 0 or 1, prints at most one line, and that line is the
// one a small model of the two login command lines predicts.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/entry_point.h"
#include "boot/menu_bar_boot.h"
#include "fakes/fake_platform.h"
#include "fuzz_check.h"

namespace {

using velmoryn::LoginItemError;
using velmoryn::SettingsValue;
using velmoryn::testing::FakePlatform;
using velmoryn::testing::ProcessExit;

constexpr const char* kMarker = "menuBarBoot.loginRegistered";

// Words that steer the two parsers, and near misses of them.
const char* const kWords[] = {
    "--login",           "on", "off", "status", "--register-login",   "--unregister-login",
    "--Login",           "ON", "Off", "STATUS", "--register-login=1", " --login",
    "--login ",          "",   "-",   "--",     "--unregister-Login", "on ",
    "--register-login\n"};

std::string word(FuzzedDataProvider& in) {
  if (in.ConsumeBool()) return std::string(in.PickValueInArray(kWords));
  return in.ConsumeRandomLengthString(24);
}

std::optional<LoginItemError> maybeError(FuzzedDataProvider& in) {
  if (!in.ConsumeBool()) return std::nullopt;
  return LoginItemError{in.ConsumeRandomLengthString(16), in.ConsumeRandomLengthString(32)};
}

std::int64_t status(FuzzedDataProvider& in) {
  if (in.ConsumeBool()) return in.ConsumeIntegralInRange<std::int64_t>(0, 3);
  return in.ConsumeIntegral<std::int64_t>();
}

// The status texts, written out again here rather than taken from the code.
std::string statusText(std::int64_t value) {
  switch (value) {
    case 0:
      return "未登録（ログイン時に起動しません）";
    case 1:
      return "登録済み（ログイン時に起動します）";
    case 2:
      return "要許可（システム設定 > 一般 > ログイン項目 で有効にしてください）";
    case 3:
      return "未登録（/Applications に入れてから実行してください）";
    default:
      return "不明";
  }
}

struct Outcome {
  std::optional<int> exitStatus;  // none: the call returned
  std::optional<std::string> line;
  std::optional<std::optional<bool>> marker;  // none: not predicted
};

bool has(const std::vector<std::string>& args, const char* option) {
  return std::find(args.begin(), args.end(), option) != args.end();
}

// "--login on|off|status", answered at launch.
Outcome predictLogin(const std::vector<std::string>& args,
                     const velmoryn::testing::FakeLoginItems& items, std::optional<bool> marker) {
  const auto option = std::find(args.begin(), args.end(), "--login");
  if (option == args.end()) return {std::nullopt, std::nullopt, std::nullopt};
  const std::string value = option + 1 == args.end() ? "status" : *(option + 1);
  if (value == "status")
    return {items.currentStatus == 1 ? 0 : 1, statusText(items.currentStatus), marker};
  if (value == "on") {
    if (items.registerError)
      return {1, "登録に失敗しました: " + items.registerError->localizedDescription, marker};
    return {0, statusText(items.statusAfterRegister), std::optional<bool>(true)};
  }
  if (value == "off") {
    if (items.unregisterError)
      return {1, "解除に失敗しました: " + items.unregisterError->localizedDescription, marker};
    return {0, statusText(0), std::optional<bool>(false)};
  }
  return {1, "使い方: --login on|off|status", marker};
}

// "--register-login" and "--unregister-login", answered before the application
// starts; a failure ends with status 1 so that scripts can tell it apart.
std::optional<Outcome> predictEntry(const std::vector<std::string>& args,
                                    const velmoryn::testing::FakeLoginItems& items,
                                    std::optional<bool> marker) {
  const bool unregister = has(args, "--unregister-login");
  if (!unregister && !has(args, "--register-login")) return std::nullopt;
  const auto& error = unregister ? items.unregisterError : items.registerError;
  if (error) return Outcome{1, "error: " + error->description, marker};
  const std::int64_t after = unregister ? 0 : items.statusAfterRegister;
  return Outcome{0, "status: " + std::to_string(after) + " (1=enabled)", marker};
}

std::optional<bool> markerOf(const velmoryn::testing::FakeSettingsStore& settings) {
  auto found = settings.values.find(kMarker);
  if (found == settings.values.end()) return std::nullopt;
  const bool* value = std::get_if<bool>(&found->second);
  FUZZ_CHECK(value != nullptr, "the marker is a Boolean");
  return *value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  FakePlatform fake;
  fake.loginItems.currentStatus = status(in);
  fake.loginItems.statusAfterRegister = status(in);
  fake.loginItems.registerError = maybeError(in);
  fake.loginItems.unregisterError = maybeError(in);
  if (in.ConsumeBool()) fake.settings.values[kMarker] = in.ConsumeBool();
  const bool throughEntry = in.ConsumeBool();

  std::vector<std::string> args{"/Applications/Velmoryn.app/Contents/MacOS/Velmoryn"};
  const int count = in.ConsumeIntegralInRange(0, 6);
  for (int k = 0; k < count; ++k) args.push_back(word(in));
  fake.process.args = args;

  const std::optional<bool> markerBefore = markerOf(fake.settings);
  std::optional<Outcome> expected =
      throughEntry ? predictEntry(args, fake.loginItems, markerBefore) : std::nullopt;
  if (!expected) expected = predictLogin(args, fake.loginItems, markerBefore);

  std::optional<int> exitStatus;
  try {
    if (throughEntry) {
      FUZZ_CHECK(velmoryn::runEntryPoint() == 0, "a returning entry point returns 0");
    } else {
      velmoryn::MenuBarBoot::handleLoginArguments();
    }
  } catch (const ProcessExit& exit) {
    exitStatus = exit.status;
  }
  // The application the entry point may have started ends with this run.
  velmoryn::delegate.reset();
  velmoryn::app = nullptr;

  const auto& printed = fake.process.printed;
  // For checking what a seed does: VELMORYN_FUZZ_TRACE=1 ./command_line_fuzz SEED
  if (std::getenv("VELMORYN_FUZZ_TRACE")) {
    for (const auto& arg : args) std::fprintf(stderr, "[%s] ", arg.c_str());
    std::fprintf(stderr, "-> %s exit %d\n", printed.empty() ? "(nothing)" : printed.front().c_str(),
                 exitStatus.value_or(-1));
  }
  FUZZ_CHECK(printed.size() <= 1, "at most one line");
  FUZZ_CHECK(!exitStatus || *exitStatus == 0 || *exitStatus == 1, "exit status 0 or 1");
  FUZZ_CHECK(exitStatus.has_value() == !printed.empty(), "a line exactly when the process ends");
  FUZZ_CHECK(exitStatus == expected->exitStatus, "the predicted exit status");
  if (expected->line) {
    FUZZ_CHECK(printed.size() == 1 && printed.front() == *expected->line, "the predicted line");
  }
  if (expected->exitStatus && expected->marker)
    FUZZ_CHECK(markerOf(fake.settings) == *expected->marker, "the predicted marker");
  return 0;
}
