// The command line for scripts: --hide, --show and --toggle hand their URL to
// the running program, --status reads the Dock's mode. Each prints at most one
// line on standard output; the caller ends the process with the status. Main thread, before any
// event loop exists.
#pragma once

#include "app/url_command.h"

namespace velmoryn {

// How long the running program has to take a URL.
inline constexpr double kScriptAnswerLimit = 1.0;

inline constexpr const char* kNotRunningLine = "Velmorynは起動していません";
inline constexpr const char* kNoAnswerLine =
    "Velmorynが1秒以内に応答しませんでした。この操作はあとで実行されることがあります";

// Exit statuses: the verbs 0 when delivered, else 1; --status 0 hidden,
// 1 shown, 2 when the tool failed.
int runScriptVerb(ScriptVerb verb);

}  // namespace velmoryn
