#include "app/entry_point.h"

#include <memory>
#include <string>

#include "app/script_verbs.h"
#include "boot/command_line.h"
#include "boot/menu_bar_boot.h"
#include "dock/dock.h"
#include "platform/platform.h"
#include "text/texts.h"

namespace velmoryn {

Application* app = nullptr;
std::shared_ptr<AppDelegate>& delegate = *new std::shared_ptr<AppDelegate>;

namespace {

// Registers or unregisters the login item. A failure ends with status 1 so
// that scripts can tell it from success.
int answerLoginCommand(bool registered) {
  ProcessEnvironment& process = *platform().process;
  const LoginItemResult result = MenuBarBoot::changeLoginItem(registered);
  if (result.outcome == LoginItemResult::Outcome::failed) {
    process.printLine(text::fill(text::kLoginCommandError, result.reason.description));
    return 1;
  }
  // Read afresh: a register can succeed and still need approval.
  const std::string status = std::to_string(platform().loginItems->status());
  process.printLine(text::fill(text::kLoginCommandStatus, status));
  return 0;
}

// Ends the process when another copy runs. A lock that cannot be taken for
// another reason must not keep the user from their program: one line, and
// the launch goes on as it did before there was a lock.
void takeInstanceLock() {
  const InstanceLockResult lock = platform().instanceLock->acquire();
  if (lock.outcome == InstanceLockResult::Outcome::held) return;
  if (lock.outcome == InstanceLockResult::Outcome::heldByAnother) {
    platform().log->write(text::kAlreadyRunning);
    platform().process->exit(0);
  }
  platform().log->write(text::fill(text::kLockNotTaken, lock.reason));
}

int send(PlatformServices& services, UrlCommand command) {
  installPlatform(services.services(PlatformNeed::runningInstance));
  return sendToRunningProgram(command);
}

// The exit status of a run that is no launch; each works beside a running copy.
int answerOneShot(PlatformServices& services, CommandLine asked) {
  switch (asked) {
    case CommandLine::version:
      platform().process->printLine(text::fill(text::kVersion, std::string(VELMORYN_VERSION)));
      return 0;
    case CommandLine::registerLogin:
    case CommandLine::unregisterLogin:
      installPlatform(services.services(PlatformNeed::loginItems));
      return answerLoginCommand(asked == CommandLine::registerLogin);
    case CommandLine::hide:
      return send(services, UrlCommand::hide);
    case CommandLine::show:
      return send(services, UrlCommand::show);
    case CommandLine::toggle:
      return send(services, UrlCommand::toggle);
    case CommandLine::status:
      installPlatform(services.services(PlatformNeed::processRunner));
      return answerStatus(Dock());
    default:
      return 0;  // a launch is no one-shot run
  }
}

}  // namespace

int runEntryPoint(PlatformServices& services) {
  installPlatform(services.essentials());
  const CommandLine asked = parseCommandLine(platform().process->arguments());
  if (!isLaunch(asked)) {
    platform().process->exit(answerOneShot(services, asked));
    return 0;  // not reached
  }

  // A launch must be the only one before it touches anything; "--login" ends
  // early in its launch and works beside a running copy.
  const bool plainLaunch = asked == CommandLine::plainLaunch;
  if (plainLaunch) takeInstanceLock();
  installPlatform(services.services(PlatformNeed::everything));
  app = platform().application;
  // Before the launch, so a script's verb sent meanwhile waits for it instead
  // of hearing that no copy runs.
  if (plainLaunch) app->acceptRequests();
  app->setActivationPolicyAccessory();
  delegate = AppDelegate::create(std::make_unique<Dock>(), std::make_unique<MenuBarBoot>(asked));
  app->setDelegate(delegate.get());
  app->run();
  return 0;
}

}  // namespace velmoryn
