// The process entry: the one-shot runs (login options, script verbs), or the
// menu-bar application, of which one copy runs at a time. Main thread, before
// any event loop exists.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

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

// "--version" anywhere after the program's path: the one line that answers it,
// before any other option.
std::optional<std::string> versionLine(const std::vector<std::string>& args);

inline constexpr const char* kAlreadyRunningLine =
    "Velmoryn: すでに起動しています。この起動は何も変更せずに終了します";

// Installs the essential services, decides, and only then every service.
// "--version" prints its line and ends the process with status 0.
// "--register-login" or "--unregister-login" anywhere among the arguments:
// answers on standard output and ends the process (status 0 on success, 1 on
// failure). "--hide", "--show", "--toggle" or "--status" (without "--login")
// is answered the same way. Otherwise, and with "--login", it is a launch: a
// plain one first takes the instance lock and ends at once, with status 0 and
// one log line, when another copy holds it. Runs the application and returns
// the exit status should its loop ever return.
int runEntryPoint(PlatformServices& services);

}  // namespace velmoryn
