#include "boot/command_line.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

namespace velmoryn {
namespace {

using Arguments = std::span<const std::string>;

constexpr std::array<std::pair<std::string_view, CommandLine>, 4> kVerbs{{
    {"--hide", CommandLine::hide},
    {"--show", CommandLine::show},
    {"--toggle", CommandLine::toggle},
    {"--status", CommandLine::status},
}};

bool contains(Arguments args, std::string_view option) {
  return std::ranges::find(args, option) != args.end();
}

// The one verb among the options, given once or more; none when two differ.
std::optional<CommandLine> onlyVerb(Arguments options) {
  std::optional<CommandLine> found;
  for (const std::string& option : options) {
    for (const auto& [word, verb] : kVerbs) {
      if (option != word) continue;
      if (found && *found != verb) return std::nullopt;
      found = verb;
    }
  }
  return found;
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
  // The program's path is never "--version" nor a verb; the login options
  // have always been looked for among all the arguments.
  const Arguments all(args);
  const Arguments options = all.empty() ? all : all.subspan(1);
  if (contains(options, "--version")) return CommandLine::version;
  if (contains(all, "--unregister-login")) return CommandLine::unregisterLogin;
  if (contains(all, "--register-login")) return CommandLine::registerLogin;
  if (!contains(options, "--login")) {
    if (const auto verb = onlyVerb(options)) return *verb;
  }
  const auto login = std::ranges::find(all, std::string_view("--login"));
  if (login == all.end()) return CommandLine::plainLaunch;
  const auto value = std::next(login);
  if (value == all.end() || *value == "status") return CommandLine::loginStatus;
  if (*value == "on") return CommandLine::loginOn;
  if (*value == "off") return CommandLine::loginOff;
  return CommandLine::loginUsage;
}

bool isLaunch(CommandLine asked) {
  switch (asked) {
    case CommandLine::plainLaunch:
    case CommandLine::loginOn:
    case CommandLine::loginOff:
    case CommandLine::loginStatus:
    case CommandLine::loginUsage:
      return true;
    default:
      return false;
  }
}

}  // namespace velmoryn
