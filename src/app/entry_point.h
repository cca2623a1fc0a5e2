// The process entry: the two login options, or the menu-bar application.
// Main thread, before any event loop exists.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/app_delegate.h"
#include "platform/application.h"

namespace velmoryn {

// Set once by the entry point, held for the life of the process. The holder
// of the delegate is never destroyed: at exit no static destructor may reach
// the status item, the hot key or the signal sources (AppKit, Carbon and
// dispatch), and the end of the process removes them all the same.
extern Application* app;
extern std::shared_ptr<AppDelegate>& delegate;

// "--version" anywhere after the program's path: the one line that answers it,
// before any other option. Needs no platform, so main asks before building one.
std::optional<std::string> versionLine(const std::vector<std::string>& args);

// Uses the installed platform. "--version" prints its line and ends the
// process with status 0. "--register-login" or "--unregister-login"
// anywhere among the arguments: answers on standard output and ends the
// process (status 0 on success, 1 on failure). "--hide", "--show", "--toggle"
// or "--status" (without "--login") is answered the same way. Otherwise runs the application
// and returns the exit status should its loop ever return.
int runEntryPoint();

}  // namespace velmoryn
