#include "app/app_delegate.h"

// Placeholder bodies.
namespace velmoryn {
void AppDelegate::applicationDidFinishLaunching() {}
void AppDelegate::applicationWillTerminate() {}
void AppDelegate::statusClicked() {}
void AppDelegate::menuToggle() {}
void AppDelegate::toggleSwipeReveal() {}
void AppDelegate::toggleLogin() {}
void AppDelegate::quit() {}
bool AppDelegate::isSwipeRevealEnabled() const { return true; }
void AppDelegate::installSignalHandlers() {}
void AppDelegate::shutdownRestore() {}
void AppDelegate::toggle() {}
void AppDelegate::showMenu() {}
Menu AppDelegate::buildMenu() { return {}; }
void AppDelegate::updateIcon() {}
}  // namespace velmoryn
