// The process entry: the one-shot runs (the version, the login options, the
// script verbs), or the menu-bar application, of which one copy runs at a
// time. Main thread, before any event loop exists.
#pragma once

#include <memory>

#include "app/app_delegate.h"
#include "platform/application.h"
#include "platform/platform_factory.h"

namespace velmoryn {

// Set once by the entry point, held for the life of the process. The holder
// of the delegate is never destroyed: at exit no static destructor may reach
// the status item, the hot key or the signal sources (AppKit, Carbon and
// dispatch), and the end of the process removes them all the same.
extern Application* app;
extern std::shared_ptr<AppDelegate>& delegate;

// Installs the essential services and reads the command line; a one-shot run
// then gets only the services it needs, answers on standard output and ends
// the process. A launch ("--login" included) gets every service; a plain one
// first takes the instance lock and ends at once, with status 0 and one log
// line, when another copy holds it. Runs the application and returns the exit
// status should its loop ever return.
int runEntryPoint(PlatformServices& services);

}  // namespace velmoryn
