// Stand-ins for /usr/bin/defaults, /usr/bin/osascript and /usr/bin/killall on
// the simulated desktop: one program that acts as the tool its name says. It
// lives in a simulated root as <root>/usr/bin/<tool> (a link to this program)
// and works on that root's "com.apple.dock" domain, printing what the real
// tools print and exiting with their statuses.
//
// Tests only: a file <root>/faults/<tool> makes the stand-in misbehave, and
// <root>/faults/calls.log, when it exists, gets one line per run (see
// "test-only faults" below). Nothing else reads or writes that folder.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/autohide_script.h"
#include "platform/dock_tools.h"
#include "platform/linux/files_linux.h"
#include "platform/posix/unique_fd.h"
#include "sim/dock_domain.h"

namespace {

namespace fs = std::filesystem;
namespace dd = velmoryn::dockdomain;

void out(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
}
void err(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
}

int failWith(const std::string& text) {
  err(text);
  return 1;
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// ---- defaults ---------------------------------------------------------------

int defaultsUsage() {
  return failWith(
      "Command line interface to a user's defaults.\n"
      "Syntax:\n\n"
      "'defaults' followed by one of the following:\n\n"
      "  read     <domain>                        shows all defaults for the given domain\n"
      "  read     <domain> <key>                  shows defaults for the given domain, key\n"
      "  read-type <domain> <key>                 shows the type for the given domain, key\n"
      "  write    <domain> <key> <value>          writes a string as the value for the key\n"
      "  write    <domain> <key> -<type> <value>  type is string, int, float or bool\n"
      "  delete   <domain>                        deletes the domain\n"
      "  delete   <domain> <key>                  deletes the key in the domain\n");
}

std::string missingPair(const std::string& domain, const std::string& key) {
  return "\nThe domain/default pair of (" + domain + ", " + key + ") does not exist\n";
}

// The whole text as a number in the C locale, nothing left over, finite.
std::optional<double> parseFloat(const std::string& text) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::int64_t> parseInt(const std::string& text) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (end != text.c_str() + text.size() || errno == ERANGE) return std::nullopt;
  return static_cast<std::int64_t>(value);
}

std::optional<bool> parseBool(const std::string& text) {
  const std::string word = lower(text);
  if (word == "true" || word == "yes" || word == "1") return true;
  if (word == "false" || word == "no" || word == "0") return false;
  return std::nullopt;
}

// The value of `defaults write DOMAIN KEY ...`, or a message when malformed.
std::optional<dd::Value> parseWriteValue(const std::vector<std::string>& args, std::string& error) {
  if (args.size() == 1 && (args[0].empty() || args[0][0] != '-')) return dd::Value{args[0]};
  if (args.size() != 2) {
    error = "usage";
    return std::nullopt;
  }
  const std::string& type = args[0];
  const std::string& text = args[1];
  if (type == "-string") return dd::Value{text};
  if (type == "-float") {
    if (auto v = parseFloat(text)) return dd::Value{*v};
    error = "defaults: could not read '" + text + "' as a float\n";
  } else if (type == "-int" || type == "-integer") {
    if (auto v = parseInt(text)) return dd::Value{*v};
    error = "defaults: could not read '" + text + "' as an integer\n";
  } else if (type == "-bool" || type == "-boolean") {
    if (auto v = parseBool(text)) return dd::Value{*v};
    error = "defaults: could not read '" + text + "' as a boolean (true, false, yes, no)\n";
  } else {
    error = "defaults: the value type '" + type + "' is not supported here\n";
  }
  return std::nullopt;
}

// A domain that is there but cannot be read tells nothing about its keys:
// the read fails with its own status rather than the 1 of a missing key, so
// that nobody takes the user's values for absent.
constexpr int kUnreadableDomainStatus = 2;

int unreadableDomain(const dd::Loaded& loaded) {
  err("defaults: " + loaded.error + "\n");
  return kUnreadableDomainStatus;
}

int defaultsRead(const fs::path& root, const std::string& domain,
                 const std::optional<std::string>& key) {
  const dd::Loaded loaded = domain == velmoryn::kDockDomain ? dd::load(root) : dd::Loaded{};
  if (loaded.status == dd::LoadStatus::unreadable) return unreadableDomain(loaded);
  if (loaded.status != dd::LoadStatus::ok) {
    return failWith(key ? missingPair(domain, *key) : "\nDomain " + domain + " does not exist\n");
  }
  if (!key) {
    out(dd::defaultsText(loaded.domain) + "\n");
    return 0;
  }
  const auto text = dd::defaultsText(loaded.domain, *key);
  if (!text) return failWith(missingPair(domain, *key));
  out(*text + "\n");
  return 0;
}

int defaultsReadType(const fs::path& root, const std::string& domain, const std::string& key) {
  const dd::Loaded loaded = domain == velmoryn::kDockDomain ? dd::load(root) : dd::Loaded{};
  if (loaded.status == dd::LoadStatus::unreadable) return unreadableDomain(loaded);
  const auto type =
      loaded.status == dd::LoadStatus::ok ? dd::defaultsTypeName(loaded.domain, key) : std::nullopt;
  if (!type) return failWith(missingPair(domain, key));
  out("Type is " + *type + "\n");
  return 0;
}

int onlyTheDock(const std::string& domain) {
  return failWith("defaults: only the " + std::string(velmoryn::kDockDomain) +
                  " domain exists on the simulated desktop, not " + domain + "\n");
}

int defaultsWrite(const fs::path& root, const std::string& domain, const std::string& key,
                  const std::vector<std::string>& valueArgs) {
  std::string error;
  const auto value = parseWriteValue(valueArgs, error);
  if (!value) return error == "usage" ? defaultsUsage() : failWith(error);
  if (domain != velmoryn::kDockDomain) return onlyTheDock(domain);
  const auto outcome = dd::edit(
      root,
      [&](dd::Domain& d, bool, std::string&) {
        d.set(key, *value);
        return dd::EditOutcome::changed;
      },
      error);
  if (outcome == dd::EditOutcome::failed) return failWith("defaults: " + error + "\n");
  return 0;
}

int defaultsDelete(const fs::path& root, const std::string& domain,
                   const std::optional<std::string>& key) {
  const std::string notFound =
      "\nDomain (" + domain + ") not found.\nDefaults have not been changed.\n";
  if (domain != velmoryn::kDockDomain) return failWith(notFound);
  std::string error;
  if (!key) {
    const auto outcome = dd::removeDomain(root, error);
    if (outcome == dd::EditOutcome::failed) return failWith("defaults: " + error + "\n");
    return outcome == dd::EditOutcome::unchanged ? failWith(notFound) : 0;
  }
  bool domainMissing = false;
  const auto outcome = dd::edit(
      root,
      [&](dd::Domain& d, bool existed, std::string&) {
        domainMissing = !existed;
        return d.remove(*key) ? dd::EditOutcome::changed : dd::EditOutcome::unchanged;
      },
      error);
  if (outcome == dd::EditOutcome::failed) return failWith("defaults: " + error + "\n");
  if (outcome == dd::EditOutcome::unchanged) {
    return failWith(domainMissing ? notFound : missingPair(domain, *key));
  }
  return 0;
}

int defaultsMain(const fs::path& root, const std::vector<std::string>& args) {
  if (args.size() < 2) return defaultsUsage();
  const std::string& verb = args[0];
  const std::string& domain = args[1];
  const std::optional<std::string> key =
      args.size() >= 3 ? std::optional<std::string>(args[2]) : std::nullopt;
  if (verb == "read" && args.size() <= 3) return defaultsRead(root, domain, key);
  if (verb == "read-type" && args.size() == 3) return defaultsReadType(root, domain, *key);
  if (verb == "write" && args.size() >= 4) {
    return defaultsWrite(root, domain, *key, {args.begin() + 3, args.end()});
  }
  if (verb == "delete" && args.size() <= 3) return defaultsDelete(root, domain, key);
  return defaultsUsage();
}

// ---- osascript --------------------------------------------------------------

int osascriptMain(const fs::path& root, const std::vector<std::string>& args) {
  std::string script;
  bool any = false;
  for (std::size_t i = 0; i < args.size(); i += 2) {
    if (args[i] != "-e" || i + 1 >= args.size()) {
      return failWith(
          "usage: osascript [-l language] [-e script] [-i] [-s {ehso}] [programfile] "
          "[argument ...]\n");
    }
    if (any) script += "\n";
    script += args[i + 1];
    any = true;
  }
  if (!any) {
    return failWith(
        "usage: osascript [-l language] [-e script] [-i] [-s {ehso}] [programfile] "
        "[argument ...]\n");
  }
  const std::optional<bool> autohide = velmoryn::autohideOfScript(script);
  if (!autohide) {
    return failWith("0:" + std::to_string(script.size()) +
                    ": execution error: System Events got an error: the simulated desktop "
                    "only switches the Dock's autohide. (-1708)\n");
  }
  std::string error;
  const auto outcome = dd::edit(
      root,
      [&](dd::Domain& d, bool, std::string&) {
        d.set("autohide", *autohide);
        return dd::EditOutcome::changed;
      },
      error);
  if (outcome == dd::EditOutcome::failed) {
    return failWith("0:" + std::to_string(script.size()) +
                    ": execution error: System Events got an error: " + error + " (-10000)\n");
  }
  return 0;
}

// ---- killall ----------------------------------------------------------------

int killallMain(const fs::path& root, const std::vector<std::string>& args) {
  bool dock = false;
  bool anyName = false;
  for (const auto& arg : args) {
    if (!arg.empty() && arg[0] == '-') continue;  // a signal or option: every one ends the Dock
    anyName = true;
    if (arg == "Dock") dock = true;
  }
  if (!anyName) {
    return failWith(
        "usage: killall [-delmsvqz] [-help] [-I] [-u user] [-t tty] [-c cmd] [-SIGNAL] "
        "[cmd]...\n");
  }
  if (!dock) return failWith("No matching processes belonging to you were found\n");
  std::string error;
  if (!dd::countRestart(root, error)) return failWith("killall: " + error + "\n");
  return 0;
}

// ---- test-only faults -------------------------------------------------------
//
// <root>/faults/<tool> holds one line: a fault, then optional conditions.
//   hang          never ends (the program's time limit must end it)
//   crash         dies of SIGSEGV before doing anything
//   abort         dies of SIGABRT before doing anything
//   fail          complains on standard error and exits 1, changing nothing
//   garbage       prints bytes that are not UTF-8 and exits 0, changing nothing
//   flood         prints 1 MiB on each stream, then does its work
//   endless       prints on standard output without end
//   slow MS       waits MS milliseconds (fractions allowed), then does its work
// Conditions, in any order after the fault:
//   when VERB     only when the first argument is VERB (e.g. "when write")
//   once          the file is removed when the fault fires, so it fires once
// An unknown fault word leaves the tool working normally.

struct Fault {
  std::string kind;
  double milliseconds = 0;
  std::string onlyVerb;
  bool once = false;
};

std::optional<Fault> readFault(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) return std::nullopt;
  std::istringstream words(line);
  Fault fault;
  if (!(words >> fault.kind)) return std::nullopt;
  std::string word;
  while (words >> word) {
    if (word == "when") {
      words >> fault.onlyVerb;
    } else if (word == "once") {
      fault.once = true;
    } else if (fault.kind == "slow") {
      fault.milliseconds = std::strtod(word.c_str(), nullptr);
    }
  }
  return fault;
}

void sleepMilliseconds(double ms) {
  if (!(ms > 0)) return;
  timespec left{static_cast<time_t>(ms / 1000),
                static_cast<long>(std::fmod(ms, 1000.0) * 1'000'000)};
  while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

// One line per run, appended in one write so that concurrent runs never mix.
void noteCall(const fs::path& faults, const std::string& name,
              const std::vector<std::string>& args) {
  const fs::path log = faults / "calls.log";
  const velmoryn::UniqueFd fd = velmoryn::openFd(log, O_WRONLY | O_APPEND);
  if (!fd.valid()) return;  // only counted when a test asked for it
  std::string line = name;
  for (const auto& arg : args) line += " " + arg;
  line += "\n";
  velmoryn::files::writeAll(fd.get(), line);
}

// Acts on the fault, if any. Returns an exit status when the tool must end
// without doing its work; none when it goes on normally.
std::optional<int> applyFault(const fs::path& root, const std::string& name,
                              const std::vector<std::string>& args) {
  const fs::path faults = root / "faults";
  noteCall(faults, name, args);
  const fs::path file = faults / name;
  const auto fault = readFault(file);
  if (!fault) return std::nullopt;
  if (!fault->onlyVerb.empty() && (args.empty() || args[0] != fault->onlyVerb)) {
    return std::nullopt;
  }
  // Whoever removes the file fires the fault; a run that loses the race does not.
  if (fault->once && ::unlink(file.c_str()) != 0) return std::nullopt;

  if (fault->kind == "hang") {
    for (;;) ::pause();
  }
  if (fault->kind == "crash") {
    ::signal(SIGSEGV, SIG_DFL);
    ::raise(SIGSEGV);
    std::abort();
  }
  if (fault->kind == "abort") std::abort();
  if (fault->kind == "fail") return failWith(name + ": failing as the test asked\n");
  if (fault->kind == "garbage") {
    velmoryn::files::writeAll(STDOUT_FILENO, "\xff\xfe\x80 not a value \xc3\x28\n");
    velmoryn::files::writeAll(STDERR_FILENO, "\x01\x02 noise\n");
    return 0;
  }
  if (fault->kind == "flood") {
    const std::string mebibyte(1 << 20, 'x');
    velmoryn::files::writeAll(STDOUT_FILENO, mebibyte);
    velmoryn::files::writeAll(STDERR_FILENO, mebibyte);
    return std::nullopt;
  }
  if (fault->kind == "endless") {
    const std::string chunk(1 << 16, 'x');
    while (velmoryn::files::writeAll(STDOUT_FILENO, chunk)) {
    }
    return 1;
  }
  if (fault->kind == "slow") sleepMilliseconds(fault->milliseconds);
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string self = argc > 0 && argv[0] != nullptr ? argv[0] : "";
  const std::string name = fs::path(self).filename().string();
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);

  // Each stand-in answers at the real tool's path below the simulated root.
  const struct {
    std::string_view path;
    int (*main)(const fs::path&, const std::vector<std::string>&);
  } standIns[] = {{velmoryn::kDefaultsPath, defaultsMain},
                  {velmoryn::kOsascriptPath, osascriptMain},
                  {velmoryn::kKillallPath, killallMain}};
  const auto standIn = std::ranges::find_if(
      standIns, [&name](const auto& s) { return fs::path(s.path).filename() == name; });
  if (standIn == std::end(standIns)) {
    err("velmoryn-simtool: run me as <root>/usr/bin/defaults, osascript or killall\n");
    return 2;
  }
  const auto tool = standIn->main;
  const std::string_view realPath = standIn->path;
  if (self.size() <= realPath.size() || !self.ends_with(realPath)) {
    err(name + ": cannot tell the simulated root from " + self + "\n");
    return 2;
  }
  const fs::path root = self.substr(0, self.size() - realPath.size());

  if (const auto status = applyFault(root, name, args)) return *status;
  const int status = tool(root, args);
  if (std::fflush(stdout) != 0) return 1;
  return status;
}
