// The command line for scripts: --hide, --show and --toggle hand their URL to
// the running program, --status reads the Dock's mode. Each prints at most one
// line on standard output and gives the exit status; the caller ends the
// process with it. Main thread, before any event loop exists.
#pragma once

#include "app/url_command.h"
#include "dock/dock.h"

namespace velmoryn {

// 0 when the running program took the URL, else 1 after a line that says why.
int sendToRunningProgram(UrlCommand command);

// 0 hidden, 1 shown, 2 when the tool failed.
int answerStatus(const Dock& dock);

}  // namespace velmoryn
