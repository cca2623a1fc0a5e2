#include "app/entry_point.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "app/script_verbs.h"
#include "app/url_command.h"
#include "boot/menu_bar_boot.h"
#include "platform/platform.h"

namespace velmoryn {

Application* app = nullptr;
std::shared_ptr<AppDelegate>& delegate = *new std::shared_ptr<AppDelegate>;

namespace {

bool contains(const std::vector<std::string>& args, const char* option) {
  return std::find(args.begin(), args.end(), option) != args.end();
}

// Registers or unregisters the login item and ends the process. A failure
// ends with status 1 so that scripts can tell it from success.
void runLoginCommand(bool unregister) {
  LoginItemService& service = *platform().loginItems;
  ProcessEnvironment& process = *platform().process;
  const auto error =
      unregister ? MenuBarBoot::unregisterLoginItem() : MenuBarBoot::registerLoginItem();
  if (error) {
    process.printLine("error: " + error->description);
    process.exit(1);
    return;
  }
  // Read afresh: a register can succeed and still need approval.
  process.printLine("status: " + std::to_string(service.status()) + " (1=enabled)");
  process.exit(0);
}

// Ends the process when another copy runs. A lock that cannot be taken for
// another reason must not keep the user from their program: one line, and
// the launch goes on as it did before there was a lock.
void takeInstanceLock() {
  const InstanceLockResult lock = platform().instanceLock->acquire();
  if (lock.outcome == InstanceLockResult::Outcome::held) return;
  if (lock.outcome == InstanceLockResult::Outcome::heldByAnother) {
    platform().log->write(kAlreadyRunningLine);
    platform().process->exit(0);
  }
  platform().log->write("Velmoryn: 二重起動を防ぐロックを取れませんでした（" + lock.reason +
                        "）。このまま起動します");
}

}  // namespace

std::optional<std::string> versionLine(const std::vector<std::string>& args) {
  if (args.empty() || std::find(args.begin() + 1, args.end(), "--version") == args.end()) {
    return std::nullopt;
  }
  return std::string("Velmoryn ") + VELMORYN_VERSION;
}

int runEntryPoint(PlatformServices& services) {
  installPlatform(services.essentials());
  const std::vector<std::string> args = platform().process->arguments();
  if (const auto line = versionLine(args)) {
    platform().process->printLine(*line);
    platform().process->exit(0);
    return 0;  // not reached
  }
  const bool unregister = contains(args, "--unregister-login");
  const bool loginCommand = unregister || contains(args, "--register-login");
  const std::optional<ScriptVerb> verb = loginCommand ? std::nullopt : scriptVerbFrom(args);
  // The one-shot runs work beside a running copy; a launch must be the only one
  // before it touches anything, and "--login" ends early in its launch.
  const bool plainLaunch = !loginCommand && !verb && !contains(args, "--login");
  if (plainLaunch) takeInstanceLock();
  installPlatform(services.services());

  if (loginCommand) {
    runLoginCommand(unregister);
    return 0;  // not reached: the command ends the process
  }
  if (verb) {
    platform().process->exit(runScriptVerb(*verb));
    return 0;  // not reached
  }

  app = platform().application;
  // Before the launch, so a script's verb sent meanwhile waits for it instead
  // of hearing that no copy runs.
  if (plainLaunch) app->acceptRequests();
  app->setActivationPolicyAccessory();
  delegate = AppDelegate::create();
  app->setDelegate(delegate.get());
  app->run();
  return 0;
}

}  // namespace velmoryn
