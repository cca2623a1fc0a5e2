// What the command line asks of the program, decided once, before anything
// else is looked at, and without side effects so that any argument list can
// be fuzzed. Any thread.
#pragma once

#include <string>
#include <vector>

namespace velmoryn {

enum class CommandLine {
  plainLaunch,      // none of the options below: the program starts
  version,          // "--version", which wins over every other option
  registerLogin,    // "--register-login"
  unregisterLogin,  // "--unregister-login", which wins over "--register-login"
  // "--login" and the word after the first one (none means status); a launch
  // that answers it at its first step.
  loginOn,
  loginOff,
  loginStatus,
  loginUsage,
  // The script verbs; "--login" wins over them, and two different ones are a
  // plain launch.
  hide,
  show,
  toggle,
  status,
};

// The arguments with the program's path at index 0. Options are compared
// exactly; one the program does not know is a plain launch (macOS and
// developer tools pass options of their own).
CommandLine parseCommandLine(const std::vector<std::string>& args);

// Whether the run is the menu-bar application: a plain launch or "--login".
bool isLaunch(CommandLine asked);

}  // namespace velmoryn
