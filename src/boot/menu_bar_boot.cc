#include "boot/menu_bar_boot.h"

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "text/texts.h"

namespace velmoryn {
namespace {

// A fixed text that must end in the autosave name: the status bar looks the
// position up under this key.
constexpr const char* kPositionKey = "NSStatusItem Preferred Position Velmoryn";
constexpr std::int64_t kSeedPosition = 300;
// Present (true or false) once the program has registered or unregistered the
// login item itself; from then on it never registers on its own.
constexpr const char* kLoginRegisteredKey = "menuBarBoot.loginRegistered";

using Outcome = LoginItemResult::Outcome;

// Ends the process after one line on standard output.
void finish(const std::string& line, int status) {
  platform().process->printLine(line);
  platform().process->exit(status);
}

std::string statusText(std::int64_t status) {
  switch (status) {
    case kLoginItemNotRegistered:
      return text::kLoginNotRegistered;
    case kLoginItemEnabled:
      return text::kLoginEnabled;
    case kLoginItemRequiresApproval:
      return text::kLoginRequiresApproval;
    case kLoginItemNotFound:
      return text::kLoginNotFound;
    default:
      return text::kLoginUnknown;
  }
}

}  // namespace

LoginItemResult MenuBarBoot::changeLoginItem(bool registered) {
  LoginItemService& service = *platform().loginItems;
  LoginItemResult result = registered ? service.registerApp() : service.unregisterApp();
  if (result.outcome != Outcome::alreadyAsAsked) return result;
  const std::int64_t status = service.status();
  const bool isRegistered = status == kLoginItemEnabled || status == kLoginItemRequiresApproval;
  result.outcome = isRegistered == registered ? Outcome::done : Outcome::failed;
  return result;
}

void MenuBarBoot::seedPosition() {
  SettingsStore& store = *platform().settings;
  if (store.object(kPositionKey)) return;
  store.setInteger(kPositionKey, kSeedPosition);
}

void MenuBarBoot::ensureRegistered() {
  SettingsStore& store = *platform().settings;
  // A stored false (the user unregistered) stops this as surely as true.
  if (store.object(kLoginRegisteredKey)) return;
  // An item the user has switched off is registered all the same: only they can allow it.
  const LoginItemResult result = changeLoginItem(true);
  if (result.outcome == Outcome::failed) {
    platform().log->write(
        text::fill(text::kAutoRegisterFailed, result.reason.localizedDescription));
    return;
  }
  store.setBool(kLoginRegisteredKey, true);
}

void MenuBarBoot::handleLoginArguments() {
  LoginItemService& service = *platform().loginItems;
  switch (asked) {
    case CommandLine::loginStatus:
      platform().process->printLine(statusText(service.status()));
      // Read again: only an item that is enabled now counts as success.
      platform().process->exit(service.status() == kLoginItemEnabled ? 0 : 1);
      return;
    case CommandLine::loginOn:
    case CommandLine::loginOff: {
      const bool on = asked == CommandLine::loginOn;
      const LoginItemResult result = changeLoginItem(on);
      if (result.outcome == Outcome::failed) {
        const char* failed = on ? text::kLoginOnFailed : text::kLoginOffFailed;
        finish(text::fill(failed, result.reason.localizedDescription), 1);
        return;
      }
      // The marker goes in before the line, so it is there whatever happens to the output.
      platform().settings->setBool(kLoginRegisteredKey, on);
      finish(statusText(service.status()), 0);
      return;
    }
    case CommandLine::loginUsage:
      finish(text::kLoginUsage, 1);
      return;
    default:
      return;
  }
}

}  // namespace velmoryn
