#include "boot/menu_bar_boot.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace velmoryn {
namespace {

// Ends the process after one line on standard output.
void finish(const std::string& line, int status) {
  platform().process->printLine(line);
  platform().process->exit(status);
}

// The error, unless its code only says the item already is as asked and the
// status read afresh confirms it.
std::optional<LoginItemError> unlessAlready(std::optional<LoginItemError> error,
                                            std::int64_t alreadyCode, bool registered) {
  if (!error || error->code != alreadyCode) return error;
  const std::int64_t status = platform().loginItems->status();
  const bool isRegistered = status == kLoginItemEnabled || status == kLoginItemRequiresApproval;
  if (isRegistered == registered) return std::nullopt;
  return error;
}

}  // namespace

std::optional<LoginItemError> MenuBarBoot::registerLoginItem() {
  return unlessAlready(platform().loginItems->registerApp(), kLoginItemErrorAlreadyRegistered,
                       true);
}

std::optional<LoginItemError> MenuBarBoot::unregisterLoginItem() {
  return unlessAlready(platform().loginItems->unregisterApp(), kLoginItemErrorJobNotFound, false);
}

void MenuBarBoot::seedPosition() {
  SettingsStore& store = *platform().settings;
  if (store.object(positionKey)) return;
  store.setInteger(positionKey, seedPositionValue);
}

void MenuBarBoot::ensureRegistered() {
  SettingsStore& store = *platform().settings;
  // A stored false (the user unregistered) stops this as surely as true.
  if (store.object(loginRegisteredKey)) return;
  if (auto error = registerLoginItem()) {
    platform().log->write("Velmoryn: ログイン時起動の登録に失敗しました（" +
                          error->localizedDescription + "）");
    return;
  }
  store.setBool(loginRegisteredKey, true);
}

void MenuBarBoot::handleLoginArguments() {
  const std::vector<std::string> args = platform().process->arguments();
  const auto option = std::find(args.begin(), args.end(), "--login");
  if (option == args.end()) return;
  const std::string value = std::next(option) == args.end() ? "status" : *std::next(option);

  LoginItemService& service = *platform().loginItems;
  SettingsStore& store = *platform().settings;

  if (value == "status") {
    platform().process->printLine(std::string(statusText(service.status())));
    // Read again: only an item that is enabled now counts as success.
    platform().process->exit(service.status() == kLoginItemEnabled ? 0 : 1);
  } else if (value == "on") {
    if (auto error = registerLoginItem()) {
      finish("登録に失敗しました: " + error->localizedDescription, 1);
    } else {
      // The marker goes in before the line, so it is there whatever happens to the output.
      store.setBool(loginRegisteredKey, true);
      finish(std::string(statusText(service.status())), 0);
    }
  } else if (value == "off") {
    if (auto error = unregisterLoginItem()) {
      finish("解除に失敗しました: " + error->localizedDescription, 1);
    } else {
      store.setBool(loginRegisteredKey, false);
      finish(std::string(statusText(service.status())), 0);
    }
  } else {
    finish("使い方: --login on|off|status", 1);
  }
}

std::string_view MenuBarBoot::statusText(std::int64_t status) {
  switch (status) {
    case kLoginItemNotRegistered:
      return "未登録（ログイン時に起動しません）";
    case kLoginItemEnabled:
      return "登録済み（ログイン時に起動します）";
    case kLoginItemRequiresApproval:
      return "要許可（システム設定 > 一般 > ログイン項目 で有効にしてください）";
    case kLoginItemNotFound:
      return "未登録（/Applications に入れてから実行してください）";
    default:
      return "不明";
  }
}

}  // namespace velmoryn
