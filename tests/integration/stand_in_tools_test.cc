// The stand-in tools and the simulated Dock as real processes on one root: output, status, domain.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "file_test_support.h"
#include "platform/autohide_script.h"
#include "platform/posix/posix_process_runner.h"
#include "sim/dock_domain.h"
#include "sim/simulated_apple_script.h"
#include "sim/simulated_dock.h"
#include "sim/simulated_tool_runner.h"

namespace velmoryn {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

std::string missing(const std::string& key) {
  return "\nThe domain/default pair of (com.apple.dock, " + key + ") does not exist\n";
}

struct Call {
  std::string line;  // for the shell; "script WORD": the in-process AppleScript ending in WORD
  int status = 0;
  std::string out = "";
  std::string err = "";  // a part of what it printed on standard error
  Lines dock = {};       // what the Dock reported afterwards
};

class StandInTools : public ::testing::Test {
 protected:
  StandInTools() { dock.ensureInstalled(); }

  // /bin/sh with the tools as commands, $D the domain, $L the autohide script less its last
  // word; standard error goes to `err`.
  ProcessResult shell(const std::string& line, std::string* err = nullptr) {
    const std::string prelude = "R='" + root.path.string() + "'; D=com.apple.dock; L='" +
                                std::string(kAutohideScriptLine) + "'; exec 2>\"$R/err\"; " +
                                "defaults() { \"$R/usr/bin/defaults\" \"$@\"; }; " +
                                "osascript() { \"$R/usr/bin/osascript\" \"$@\"; }; " +
                                "killall() { \"$R/usr/bin/killall\" \"$@\"; }; ";
    ProcessResult result = runner.run({"/bin/sh", {"-c", prelude + line}, true});
    if (err) *err = testing::readFile(root.path / "err");
    return result;
  }

  testing::TemporaryFolder root;
  SimulatedDock dock{root.path, VELMORYN_BINARY_DIR};
  PosixProcessRunner runner;
};

// In order on one root: a failed run changes nothing, unnamed keys survive, damage is kept,
// and neither a FIFO in the domain's place nor a lock that another process keeps is waited on.
TEST_F(StandInTools, PrintExitAndChangeTheDomainAsTheRealToolsAndTheDockReportsEachChange) {
  Lines reported;
  dock.setChangeListener([&](const std::string& line) { reported.push_back(line); });
  SimulatedAppleScriptFactory scripts(dock);
  const std::string k = "defaults read $D k; defaults read-type $D k";
  const std::string seeded = "{\n    autohide = 0;\n    tilesize = 48;\n    mineffect = genie;\n";
  const Lines damaged = {"dock: autohide removed", "dock: orientation removed"};
  const Call calls[] = {
      {.line = "defaults read $D autohide-delay", .status = 1, .err = missing("autohide-delay")},
      {.line = "defaults write $D k -float 1e3; " + k, .out = "1000\nType is float\n"},
      {.line = "defaults write $D k -bool YES; " + k, .out = "1\nType is boolean\n"},
      {.line = "defaults write $D k -boolean no; " + k, .out = "0\nType is boolean\n"},
      {.line = "defaults write $D k -integer -5; " + k, .out = "-5\nType is integer\n"},
      {.line = "defaults write $D k 'hello world'; " + k, .out = "hello world\nType is string\n"},
      {.line = "defaults write $D k -string -1; " + k, .out = "-1\nType is string\n"},
      {.line = "defaults write $D k -float ' 1'",
       .status = 1,
       .err = "could not read ' 1' as a float"},
      {.line = "defaults write $D k -float nan", .status = 1, .err = "as a float"},
      {.line = "defaults write $D k -float 1x", .status = 1, .err = "as a float"},
      {.line = "defaults write $D k -int 1.5", .status = 1, .err = "as an integer"},
      {.line = "defaults write $D k -bool tru", .status = 1, .err = "as a boolean"},
      {.line = "defaults write $D k -float", .status = 1, .err = "Command line interface"},
      {.line = "defaults write $D k -array x", .status = 1, .err = "'-array' is not supported"},
      {.line = "defaults delete $D k"},
      {.line = "defaults delete $D k", .status = 1, .err = missing("k")},
      {.line =
           "flock \"$R/Library/Preferences/$D.plist.lock\" \"$R/usr/bin/defaults\" write $D k 1",
       .status = 1,
       .err = "another process has held it"},
      {.line = "defaults write $D orientation left", .dock = {"dock: orientation left"}},
      {.line = "defaults write $D autohide-delay -float .5", .dock = {"dock: autohide-delay 0.5"}},
      {.line = "defaults delete $D autohide-delay", .dock = {"dock: autohide-delay removed"}},
      {.line = "osascript -e \"${L}false\""},  // already off: nothing to report
      {.line = "osascript -e \"${L}true\"", .dock = {"dock: autohide on"}},
      {.line = "osascript -e beep -e \"${L}false\"", .status = 1, .err = "execution error"},
      {.line = "osascript -e \"${L}false\" extra", .status = 1, .err = "usage: osascript"},
      {.line = "osascript", .status = 1, .err = "usage: osascript"},
      {.line = "script false", .dock = {"dock: autohide off"}},
      {.line = "script TRUE", .status = 1},
      {.line = "killall dock",
       .status = 1,
       .err = "No matching processes belonging to you were found\n"},
      {.line = "killall -9", .status = 1, .err = "usage: killall"},
      {.line = "defaults read $D", .out = seeded + "    orientation = left;\n}\n"},
      {.line = "mkdir \"$R/faults\" && : >\"$R/faults/applescript\""},  // System Events is silent
      {.line = "script true", .status = 1},
      {.line = "echo x >\"$R/Library/Preferences/$D.plist\"", .dock = damaged},
      {.line = "defaults write $D a -bool 1", .status = 1, .err = "is not a property list"},
      {.line = "osascript -e \"${L}true\"", .status = 1, .err = "execution error"},
      // A domain that cannot be read is no missing key (status 1): nothing may take it for one.
      {.line = "defaults read $D autohide", .status = 2, .err = "is not a property list"},
      {.line =
           "rm \"$R/Library/Preferences/$D.plist\"; mkfifo \"$R/Library/Preferences/$D.plist\""},
      {.line = "defaults read $D autohide", .status = 2, .err = "not a regular file"},
      {.line = "script true", .status = 1},  // waits on no FIFO either
      {.line = "defaults delete $D"},
      {.line = "defaults read $D", .status = 1, .err = "\nDomain com.apple.dock does not exist\n"},
      {.line = "defaults delete $D", .status = 1, .err = "\nDomain (com.apple.dock) not found.\n"},
      // With only HOME set, as in a bare session, or an XDG folder that is not absolute, the
      // program keeps its Dock under ~/.local/share and its settings and login item under
      // ~/.config.
      {.line = "env -u XDG_DATA_HOME XDG_CONFIG_HOME=relative HOME=\"$R\" " VELMORYN_BINARY_DIR
               "/velmoryn --login on >&2; cd \"$R\" && test -f .config/velmoryn/preferences.plist "
               "-a -f .config/autostart/velmoryn.desktop -a -f "
               "\".local/share/velmoryn/root/Library/Preferences/$D.plist\""},
  };
  auto domain = [&] { return testing::readFile(dockdomain::domainFile(root.path)); };
  for (const Call& call : calls) {
    SCOPED_TRACE(call.line);
    const std::string domainBefore = domain();
    std::string err;
    ProcessResult result;
    if (call.line.starts_with("script ")) {
      const std::string line = std::string(kAutohideScriptLine) + call.line.substr(7);
      result.exitStatus = scripts.create(line)->executeReportsError() ? 1 : 0;
    } else {
      result = shell(call.line, &err);
      dock.noteChange();
    }
    EXPECT_EQ(result.exitStatus, call.status);
    EXPECT_EQ(result.out, call.out);
    EXPECT_NE(err.find(call.err), std::string::npos) << err;
    EXPECT_EQ(std::exchange(reported, {}), call.dock);
    EXPECT_EQ(call.status != 0 ? domain() : domainBefore, domainBefore);
  }
}

TEST_F(StandInTools, MapsOnlyTheToolsPathsAndKeepsTheUsersDomainOnReinstall) {
  for (const std::string other : {"/usr/bin/defaults2", "/usr/bin/defaults/", "/bin/killall"})
    EXPECT_EQ(dock.mapToolPath(other), other);
  shell(
      "defaults write $D autohide -bool true; rm \"$R/usr/bin/defaults\"; "
      "ln -s /nonexistent/velmoryn-simtool \"$R/usr/bin/defaults\"");  // an old build's
  dock.ensureInstalled();
  EXPECT_EQ(shell("defaults read $D autohide").out, "1\n");  // relinked, the domain kept
}

// Writers meet at the domain's lock and replace the file whole: nothing lost, nothing torn.
// Each run on each thread hears only its own tool.
TEST_F(StandInTools, ConcurrentRunsLoseNothingMixNothingAndReportEachRestartOnce) {
  std::atomic<int> restarts{0}, finished{0}, mixed{0};  // any other report counts as many
  dock.setChangeListener(
      [&](const std::string& line) { restarts += line == "dock: restarted" ? 1 : 1000; });
  SimulatedToolRunner tools(runner, dock);
  constexpr int kRuns = 12;
  auto writer = [&](const std::string& prefix) {
    for (int i = 0; i < kRuns; ++i) {
      tools.run(
          {"/usr/bin/defaults", {"write", "com.apple.dock", prefix + std::to_string(i), "1"}});
      if (prefix == "b") tools.run({"/usr/bin/killall", {"Dock"}});
      // Longer than a pipe holds, so it is read in parts while the other thread reads too.
      const std::string tag = std::string(130000, prefix[0]) + std::to_string(i);
      mixed += tools.run({"/usr/bin/printf", {"%s\n", tag}}).out != tag + "\n";
    }
    ++finished;
  };
  std::thread a(writer, "a"), b(writer, "b");
  int torn = 0;
  while (finished < 2)
    torn += tools.run({"/usr/bin/defaults", {"read", "com.apple.dock", "autohide"}}).out != "0\n";
  a.join();
  b.join();
  EXPECT_EQ(torn, 0);
  EXPECT_EQ(mixed, 0);
  const std::string keys = shell("defaults read $D").out;
  for (const std::string key : {"a", "b"})
    for (int i = 0; i < kRuns; ++i)
      EXPECT_NE(keys.find("    " + key + std::to_string(i) + " = 1;\n"), std::string::npos)
          << key << i;
  EXPECT_EQ(restarts, kRuns);
}

}  // namespace
}  // namespace velmoryn
