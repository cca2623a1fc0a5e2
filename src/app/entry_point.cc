#include "app/entry_point.h"

#include <algorithm>
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

}  // namespace

std::optional<std::string> versionLine(const std::vector<std::string>& args) {
  if (args.empty() || std::find(args.begin() + 1, args.end(), "--version") == args.end()) {
    return std::nullopt;
  }
  return std::string("Velmoryn ") + VELMORYN_VERSION;
}

int runEntryPoint() {
  const std::vector<std::string> args = platform().process->arguments();
  if (const auto line = versionLine(args)) {
    platform().process->printLine(*line);
    platform().process->exit(0);
    return 0;  // not reached
  }
  const bool unregister = contains(args, "--unregister-login");
  if (unregister || contains(args, "--register-login")) {
    runLoginCommand(unregister);
    return 0;  // not reached: the command ends the process
  }
  if (const auto verb = scriptVerbFrom(args)) {
    platform().process->exit(runScriptVerb(*verb));
    return 0;  // not reached
  }

  app = platform().application;
  app->setActivationPolicyAccessory();
  delegate = AppDelegate::create();
  app->setDelegate(delegate.get());
  app->run();
  return 0;
}

}  // namespace velmoryn
