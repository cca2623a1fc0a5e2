#include "app/app_delegate.h"

#include <csignal>
#include <string>
#include <utility>

#include "app/icon.h"
#include "app/switch_failure.h"
#include "app/url_command.h"
#include "platform/platform.h"
#include "text/texts.h"

namespace velmoryn {
namespace {

// On while nothing is stored.
constexpr const char* kSwipeRevealKey = "swipeRevealEnabled";

// The signals after which the user's Dock settings are put back.
constexpr int kTerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};

MenuItemState stateFor(bool on) {
  return on ? MenuItemState::on : MenuItemState::off;
}

// The Dock did not take a switch: the line names the cause.
bool loggedIfFailed(const Dock::AutoHideResult& result) {
  if (result.switched) return false;
  platform().log->write(switchFailureLine(result.scriptError));
  return true;
}

}  // namespace

void AppDelegate::applicationDidFinishLaunching() {
  // Ends the process when started with "--login", before anything is made.
  boot->handleLoginArguments();
  // Before the status item exists, so the status bar finds the position.
  boot->seedPosition();
  boot->ensureRegistered();
  // The user's own settings go on record, on disk, before anything below may change them.
  const DockSettingsBackup::SaveOutcome saved = dock->backup().saveIfNeeded();
  installSignalHandlers();
  // Without a record that outlasts a crash, a restore might never undo the
  // delay: leave the Dock be.
  switch (saved) {
    case DockSettingsBackup::SaveOutcome::onDisk:
      dock->setupHiddenDelay();
      break;
    case DockSettingsBackup::SaveOutcome::notRead:
      platform().log->write(text::kNotRecorded);
      break;
    case DockSettingsBackup::SaveOutcome::notSaved:
      platform().log->write(text::kNotSaved);
      break;
  }
  dock->primeEdge();
  // Adopt the Dock's mode as it is; launch neither hides nor shows it.
  hiddenState = dock->isHidden();

  statusItem = platform().statusBar->statusItem(kVariableStatusItemLength);
  if (statusItem) {
    statusItem->setAutosaveName(std::string(MenuBarBoot::autosaveName));
    if (statusItem->hasButton()) {
      statusItem->setButtonAction(Action{"statusClicked", [weak = weak_from_this()] {
                                           if (auto self = weak.lock()) self->statusClicked();
                                         }});
      // Fire on release of either button, so the click rule can tell them apart.
      statusItem->sendActionOn(kLeftMouseUpMask | kRightMouseUpMask);
    }
  }

  hotKey = HotKey::create([weak = weak_from_this()] {
    if (auto self = weak.lock()) self->toggle();
  });

  edgeReveal->isEnabled = [weak = weak_from_this()] {
    auto self = weak.lock();
    return self && self->isSwipeRevealEnabled();
  };
  edgeReveal->isDockHidden = [weak = weak_from_this()] {
    auto self = weak.lock();
    return self && self->hiddenState;
  };
  // Safe because a switch runs before runSwitch returns to the caller, who holds the delegate.
  edgeReveal->onReveal = [weak = weak_from_this()] {
    auto self = weak.lock();
    if (self) self->runSwitch([delegate = self.get()] { loggedIfFailed(delegate->dock->show()); });
  };
  edgeReveal->onConceal = [weak = weak_from_this()] {
    auto self = weak.lock();
    if (!self) return;
    self->runSwitch([delegate = self.get()] {
      if (delegate->hiddenState) loggedIfFailed(delegate->dock->hide());
    });
  };
  edgeReveal->start();

  updateIcon();
  // After the icon: a display already connected may switch the mode at once.
  externalDisplay->start();

  launched = true;
  applicationOpenURLs(std::exchange(urlsDuringLaunch, {}));
}

void AppDelegate::applicationWillTerminate() {
  shutdownRestore();
}

void AppDelegate::applicationOpenURLs(const std::vector<std::string>& urls) {
  for (const std::string& url : urls) {
    if (launched) {
      openURL(url);
    } else {
      urlsDuringLaunch.push_back(url);
    }
  }
}

void AppDelegate::openURL(const std::string& url) {
  const std::optional<UrlCommand> command = parseUrlCommand(url);
  if (!command) {
    platform().log->write(text::fill(text::kUnknownUrl, urlForLog(url)));
    return;
  }
  switch (*command) {
    case UrlCommand::hide:
      return switchTo(true);
    case UrlCommand::show:
      return switchTo(false);
    case UrlCommand::toggle:
      return toggle();
  }
}

void AppDelegate::installSignalHandlers() {
  SignalService& signals = *platform().signals;
  for (int sig : kTerminationSignals) {
    // Off first, so that from now on the signal only reaches the source.
    signals.ignore(sig);
    auto source = signals.makeSource(sig, [weak = weak_from_this()] {
      if (auto self = weak.lock()) self->shutdownRestore();
      platform().process->exit(0);
    });
    if (!source) {
      // Left ignored: better not to end at all than to end without the restore.
      platform().log->write(text::fill(text::kSignalNotReceived, std::to_string(sig)));
      continue;
    }
    source->resume();
    signalSources.push_back(std::move(source));
  }
}

void AppDelegate::shutdownRestore() {
  // Set before the work, so a second request during it does nothing.
  if (restored) return;
  restored = true;
  edgeReveal->stop();
  // A display that comes or goes now must not undo the restore.
  externalDisplay->stop();
  dock->backup().restore();
  // A record still on file means a value could not be written back: the Dock
  // is not as the user had it until the next orderly end retries.
  if (dock->backup().hasSaved()) {
    platform().log->write(text::kNotRestored);
  }
}

void AppDelegate::statusClicked() {
  const std::optional<CurrentEvent> event = platform().application->currentEvent();
  if (event && (event->type == EventType::rightMouseUp ||
                (event->modifierFlags & kControlModifierFlag) != 0)) {
    showMenu();
    return;
  }
  toggle();
}

void AppDelegate::menuToggle() {
  toggle();
}

// Every switch below runs before runSwitch returns to the caller, who holds
// the delegate: capturing `this` is safe.
void AppDelegate::toggle() {
  runSwitch([this] {
    externalDisplay->userSwitched();
    // During a reveal the Dock is up: it stays up and the program is now in shown mode.
    switchNow(edgeReveal->isRevealing() ? false : !hiddenState);
  });
}

void AppDelegate::switchTo(bool hidden) {
  runSwitch([this, hidden] {
    externalDisplay->userSwitched();
    switchNow(hidden);
  });
}

// Safe because the delegate owns the ExternalDisplay, which calls these only
// from its own operations and from work that runSwitch runs before returning.
ExternalDisplay::Owner AppDelegate::displayOwner() {
  return ExternalDisplay::Owner{
      .isHidden = [this] { return hiddenState; },
      .switchTo = [this](bool hidden) { return switchNow(hidden); },
      .runSwitch = [this](std::function<void()> work) { runSwitch(std::move(work)); }};
}

void AppDelegate::runSwitch(std::function<void()> work) {
  pendingSwitches.push_back(std::move(work));
  if (switching) return;
  switching = true;
  while (!pendingSwitches.empty()) {
    const std::function<void()> next = std::move(pendingSwitches.front());
    pendingSwitches.pop_front();
    next();
  }
  switching = false;
}

bool AppDelegate::switchNow(bool hidden) {
  const bool revealing = edgeReveal->isRevealing();
  if (!revealing && hiddenState == hidden) return true;
  if (revealing) edgeReveal->cancel();
  // The mode, icon and tooltip change only when the Dock has changed.
  if (loggedIfFailed(hidden ? dock->hide() : dock->show())) return false;
  hiddenState = hidden;
  updateIcon();
  return true;
}

void AppDelegate::showMenu() {
  // During a reveal the Dock's autohide is off because of the reveal, not the user.
  if (!edgeReveal->isRevealing()) {
    hiddenState = dock->isHidden();
    updateIcon();
  }
  if (!statusItem) return;
  statusItem->setMenu(buildMenu());
  if (statusItem->hasButton()) statusItem->performClick();
  // Detached again, so the next click reaches statusClicked instead of the menu.
  statusItem->setMenu(std::nullopt);
}

Menu AppDelegate::buildMenu() {
  // Every action holds the delegate weakly, as the platform's target would.
  auto action = [weak = weak_from_this()](const char* selector, void (AppDelegate::*method)()) {
    return Action{selector, [weak, method] {
                    if (auto self = weak.lock()) ((*self).*method)();
                  }};
  };

  Menu menu;

  MenuItem toggleItem;
  toggleItem.title = hiddenState ? text::kMenuShow : text::kMenuHide;
  toggleItem.action = action("menuToggle", &AppDelegate::menuToggle);
  menu.items.push_back(toggleItem);

  menu.items.push_back(MenuItem::separator());

  MenuItem shortcut;
  shortcut.title = text::kMenuShortcut;
  shortcut.enabled = false;
  menu.items.push_back(shortcut);

  MenuItem swipe;
  swipe.title = text::kMenuSwipe;
  swipe.action = action("toggleSwipeReveal", &AppDelegate::toggleSwipeReveal);
  swipe.state = stateFor(isSwipeRevealEnabled());
  swipe.toolTip = text::kMenuSwipeToolTip;
  menu.items.push_back(swipe);

  MenuItem display;
  display.title = text::kMenuExternalDisplay;
  display.action = action("toggleExternalDisplay", &AppDelegate::toggleExternalDisplay);
  display.state = stateFor(externalDisplay->isEnabled());
  menu.items.push_back(display);

  MenuItem login;
  login.title = text::kMenuLogin;
  login.action = action("toggleLogin", &AppDelegate::toggleLogin);
  login.state = stateFor(platform().loginItems->status() == kLoginItemEnabled);
  menu.items.push_back(login);

  menu.items.push_back(MenuItem::separator());

  MenuItem quitItem;
  quitItem.title = text::kMenuQuit;
  quitItem.action = action("quit", &AppDelegate::quit);
  quitItem.keyEquivalent = "q";
  menu.items.push_back(quitItem);

  return menu;
}

void AppDelegate::toggleSwipeReveal() {
  platform().settings->setBool(kSwipeRevealKey, !isSwipeRevealEnabled());
  if (!isSwipeRevealEnabled() && edgeReveal->isRevealing()) {
    edgeReveal->cancel();
    runSwitch([this] {
      if (hiddenState) loggedIfFailed(dock->hide());
    });
  }
}

void AppDelegate::toggleExternalDisplay() {
  externalDisplay->toggleEnabled();
}

bool AppDelegate::isSwipeRevealEnabled() const {
  const SettingsStore& store = *platform().settings;
  if (!store.object(kSwipeRevealKey)) return true;
  return store.boolForKey(kSwipeRevealKey);
}

void AppDelegate::toggleLogin() {
  LoginItemService& service = *platform().loginItems;
  const bool registering = service.status() != kLoginItemEnabled;
  const LoginItemResult result = MenuBarBoot::changeLoginItem(registering);
  using Outcome = LoginItemResult::Outcome;
  if (result.outcome == Outcome::failed) {
    platform().log->write(text::fill(text::kLoginChangeFailed, result.reason.description));
    return;
  }
  // Registered but not yet approved, or switched off by the user: show them
  // where to allow it.
  if (registering && (result.outcome == Outcome::needsApproval ||
                      service.status() == kLoginItemRequiresApproval)) {
    service.openSystemSettingsLoginItems();
  }
}

void AppDelegate::quit() {
  platform().application->terminate();
}

void AppDelegate::updateIcon() {
  if (!statusItem || !statusItem->hasButton()) return;
  const std::string said = hiddenState ? text::kToolTipHidden : text::kToolTipShown;
  statusItem->setButtonImage(Icon::image(hiddenState));
  // VoiceOver reads the image's description; the tooltip names program and mode.
  statusItem->setButtonImageDescription(said);
  statusItem->setButtonToolTip(said);
}

}  // namespace velmoryn
