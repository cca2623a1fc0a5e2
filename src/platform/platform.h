// Every service of the operating system that the program uses. The entry point
// installs the real adapters once; unit tests install fakes.
#pragma once

#include "platform/apple_script.h"
#include "platform/application.h"
#include "platform/clock.h"
#include "platform/hot_key_service.h"
#include "platform/instance_lock.h"
#include "platform/log.h"
#include "platform/login_items.h"
#include "platform/process_runner.h"
#include "platform/queues.h"
#include "platform/running_instance.h"
#include "platform/screens.h"
#include "platform/scroll_monitor.h"
#include "platform/settings_store.h"
#include "platform/signals.h"
#include "platform/status_bar.h"
#include "platform/timers.h"

namespace velmoryn {

struct Platform {
  ProcessRunner* processes = nullptr;
  SettingsStore* settings = nullptr;
  LoginItemService* loginItems = nullptr;
  AppleScriptFactory* appleScript = nullptr;
  Clock* clock = nullptr;
  Queue* mainQueue = nullptr;
  Queue* utilityQueue = nullptr;
  TimerService* timers = nullptr;
  SignalService* signals = nullptr;
  ScreenService* screens = nullptr;
  ScrollMonitorService* scrollMonitor = nullptr;
  StatusBar* statusBar = nullptr;
  HotKeyService* hotKeys = nullptr;
  Log* log = nullptr;
  Application* application = nullptr;
  ProcessEnvironment* process = nullptr;
  RunningInstance* runningInstance = nullptr;
  InstanceLock* instanceLock = nullptr;
};

// Installed once before anything else runs; the services outlive every user.
void installPlatform(const Platform& services);
const Platform& platform();

}  // namespace velmoryn
