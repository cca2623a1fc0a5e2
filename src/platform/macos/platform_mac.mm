// Builds every macOS adapter once; they live until the process ends. Their
// constructors touch nothing (AppKit, the preferences and the lock file are
// reached on first use), so they are built together and every run gets them all.
#include "platform/platform_factory.h"

#import <Foundation/Foundation.h>

#include <string>

#include "platform/macos/apple_script_mac.h"
#include "platform/macos/application_mac.h"
#include "platform/macos/clock_mac.h"
#include "platform/macos/hot_key_service_mac.h"
#include "platform/macos/log_mac.h"
#include "platform/macos/login_items_mac.h"
#include "platform/macos/queues_mac.h"
#include "platform/macos/running_instance_mac.h"
#include "platform/macos/screens_mac.h"
#include "platform/macos/scroll_monitor_mac.h"
#include "platform/macos/settings_store_mac.h"
#include "platform/macos/signals_mac.h"
#include "platform/macos/status_bar_mac.h"
#include "platform/macos/string_bridge.h"
#include "platform/macos/timers_mac.h"
#include "platform/posix/posix_instance_lock.h"
#include "platform/posix/posix_process_runner.h"

namespace velmoryn {
namespace {

// ~/Library/Application Support/Velmoryn/instance.lock; without a home folder
// no path, which the lock reports as a failure rather than using a shared folder.
std::string instanceLockPath() {
  @autoreleasepool {
    const std::string home = mac::fromNSString(NSHomeDirectory());
    if (home.empty()) return {};
    return home + "/Library/Application Support/Velmoryn/instance.lock";
  }
}

class MacServices : public PlatformServices {
 public:
  MacServices() : instanceLock(instanceLockPath()) {
    essential.log = &log;
    essential.process = &process;
    essential.instanceLock = &instanceLock;

    platformServices.processes = &processes;
    platformServices.settings = &settings;
    platformServices.loginItems = &loginItems;
    platformServices.appleScript = &appleScript;
    platformServices.clock = &clock;
    platformServices.mainQueue = &mainQueue;
    platformServices.utilityQueue = &utilityQueue;
    platformServices.timers = &timers;
    platformServices.signals = &signals;
    platformServices.screens = &screens;
    platformServices.scrollMonitor = &scrollMonitor;
    platformServices.statusBar = &statusBar;
    platformServices.hotKeys = &hotKeys;
    platformServices.log = &log;
    platformServices.application = &application;
    platformServices.process = &process;
    platformServices.runningInstance = &runningInstance;
    platformServices.instanceLock = &instanceLock;
  }

  const Platform& essentials() override { return essential; }
  const Platform& services(PlatformNeed) override { return platformServices; }

 private:
  PosixProcessRunner processes;
  MacSettingsStore settings;
  MacLoginItems loginItems;
  MacAppleScriptFactory appleScript;
  MacClock clock;
  MacMainQueue mainQueue;
  MacUtilityQueue utilityQueue;
  MacTimers timers;
  MacSignals signals;
  MacScreens screens;
  MacScrollMonitor scrollMonitor;
  MacStatusBar statusBar;
  MacHotKeyService hotKeys;
  MacLog log;
  MacApplication application;
  MacProcessEnvironment process;
  MacRunningInstance runningInstance;
  PosixInstanceLock instanceLock;
  Platform essential;
  Platform platformServices;
};

}  // namespace

// The arguments are read from NSProcessInfo, which has them already.
PlatformServices& makePlatformServices(int, char**) {
  static auto* services = new MacServices;
  return *services;
}

}  // namespace velmoryn
