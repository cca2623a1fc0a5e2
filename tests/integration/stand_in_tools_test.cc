// The stand-ins for defaults, osascript and killall, run as real processes on
// one simulated root: what each invocation prints, how it exits and what it
// leaves in the domain, and what concurrent runs leave behind.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/autohide_script.h"
#include "sim/apple_script_linux.h"
#include "sim/simulated_tool_runner.h"
#include "sim_test_support.h"

namespace velmoryn {
namespace {

const std::string kDock = "com.apple.dock";
const std::string kLine(kAutohideScriptLine);

std::string missingPair(const std::string& key) {
  return "\nThe domain/default pair of (com.apple.dock, " + key + ") does not exist\n";
}

struct Invocation {
  std::string tool;
  std::vector<std::string> args;
  int status;
  std::string out;
  std::string err;  // a part of what it printed on standard error
};

// Run in order on one root; an invocation that fails must change nothing.
TEST(StandInTools, PrintExitAndChangeTheDomainAsTheRealTools) {
  simtest::SimRoot sim;
  const Invocation script[] = {
      {"defaults", {"read", kDock, "autohide"}, 0, "0\n", ""},
      {"defaults", {"read-type", kDock, "tilesize"}, 0, "Type is integer\n", ""},
      {"defaults", {"read", kDock, "autohide-delay"}, 1, "", missingPair("autohide-delay")},
      {"defaults", {"write", kDock, "k", "-float", "0.5"}, 0, "", ""},
      {"defaults", {"read", kDock, "k"}, 0, "0.5\n", ""},
      {"defaults", {"write", kDock, "k", "-float", "1e3"}, 0, "", ""},
      {"defaults", {"read", kDock, "k"}, 0, "1000\n", ""},
      {"defaults", {"read-type", kDock, "k"}, 0, "Type is float\n", ""},
      {"defaults", {"write", kDock, "k", "-bool", "YES"}, 0, "", ""},
      {"defaults", {"read", kDock, "k"}, 0, "1\n", ""},
      {"defaults", {"read-type", kDock, "k"}, 0, "Type is boolean\n", ""},
      {"defaults", {"write", kDock, "k", "-boolean", "no"}, 0, "", ""},
      {"defaults", {"read", kDock, "k"}, 0, "0\n", ""},
      {"defaults", {"write", kDock, "k", "-int", "-5"}, 0, "", ""},
      {"defaults", {"read-type", kDock, "k"}, 0, "Type is integer\n", ""},
      {"defaults", {"write", kDock, "k", "hello world"}, 0, "", ""},
      {"defaults", {"read", kDock, "k"}, 0, "hello world\n", ""},
      {"defaults", {"read-type", kDock, "k"}, 0, "Type is string\n", ""},
      {"defaults", {"write", kDock, "k", "-float", " 1"}, 1, "", "could not read ' 1' as a float"},
      {"defaults", {"write", kDock, "k", "-float", "nan"}, 1, "", "as a float"},
      {"defaults", {"write", kDock, "k", "-float", "1x"}, 1, "", "as a float"},
      {"defaults", {"write", kDock, "k", "-int", "1.5"}, 1, "", "as an integer"},
      {"defaults", {"write", kDock, "k", "-bool", "tru"}, 1, "", "as a boolean"},
      {"defaults", {"write", kDock, "k", "-float"}, 1, "", "Command line interface"},
      {"defaults", {"write", kDock, "k", "-array", "x"}, 1, "", "'-array' is not supported"},
      {"defaults", {"delete", kDock, "k"}, 0, "", ""},
      {"defaults", {"delete", kDock, "k"}, 1, "", missingPair("k")},
      {"osascript", {"-e", kLine + "true"}, 0, "", ""},
      {"defaults", {"read", kDock, "autohide"}, 0, "1\n", ""},
      {"osascript", {"-e", kLine + "TRUE"}, 1, "", "execution error"},
      {"osascript", {"-e", kLine + "false", "extra"}, 1, "", "usage: osascript"},
      {"osascript", {}, 1, "", "usage: osascript"},
      {"killall", {"Dock"}, 0, "", ""},
      {"killall", {"dock"}, 1, "", "No matching processes belonging to you were found\n"},
  };
  for (const Invocation& call : script) {
    SCOPED_TRACE(call.tool + " " + (call.args.empty() ? "" : call.args.back()));
    const std::string domainBefore = sim.domainBytes();
    const long restartsBefore = sim.dock.view().restarts;
    std::string err;
    const ProcessResult result = sim.run(call.tool, call.args, &err);
    EXPECT_EQ(result.exitStatus, call.status);
    EXPECT_EQ(result.out, call.out);
    EXPECT_NE(err.find(call.err), std::string::npos) << err;
    if (call.status != 0) {
      EXPECT_EQ(sim.domainBytes(), domainBefore);
      EXPECT_EQ(sim.dock.view().restarts, restartsBefore);
    }
  }
  // The other keys of the user's domain have survived every write.
  EXPECT_EQ(sim.snapshot(), (std::map<std::string, std::string>{{"autohide", "boolean 1"},
                                                                {"mineffect", "string genie"},
                                                                {"tilesize", "integer 48"}}));
  EXPECT_EQ(sim.dock.view().restarts, 1);
}

TEST(StandInTools, AnUnreadableDomainIsNeverOverwrittenAndAMissingOneHasNoKeys) {
  simtest::SimRoot sim;
  std::ofstream(dockdomain::domainFile(sim.root)) << "garbage";
  std::string err;
  EXPECT_EQ(sim.run("defaults", {"write", kDock, "autohide", "-bool", "1"}, &err).exitStatus, 1);
  EXPECT_NE(err.find("is not a property list"), std::string::npos) << err;
  EXPECT_EQ(sim.run("osascript", {"-e", kLine + "true"}).exitStatus, 1);
  EXPECT_TRUE(LinuxAppleScriptFactory(sim.dock).create(kLine + "true")->executeReportsError());
  EXPECT_EQ(sim.domainBytes(), "garbage");

  std::filesystem::remove(dockdomain::domainFile(sim.root));
  EXPECT_EQ(sim.run("defaults", {"read", kDock, "autohide"}, &err).exitStatus, 1);
  EXPECT_EQ(err, missingPair("autohide"));
}

// Writers meet at the domain's lock and replace the file whole, so no write is
// lost and a reader never sees half a file; each restart is reported once.
TEST(StandInTools, ConcurrentRunsLoseNothingAndReportEachRestartOnce) {
  simtest::SimRoot sim;
  std::vector<std::string> reported;  // only the runner's threads report: restarts
  std::mutex mutex;
  sim.dock.setChangeListener([&](const std::string& line) {
    std::lock_guard lock(mutex);
    reported.push_back(line);
  });
  SimulatedToolRunner tools(sim.runner, sim.dock);
  constexpr int kRuns = 12;
  std::atomic<int> finished{0};
  auto writer = [&](const std::string& prefix) {
    for (int i = 0; i < kRuns; ++i) {
      tools.run({"/usr/bin/defaults", {"write", kDock, prefix + std::to_string(i), "-int", "1"}});
      if (prefix == "b") tools.run({"/usr/bin/killall", {"Dock"}});
    }
    ++finished;
  };
  std::thread a(writer, "a");
  std::thread b(writer, "b");
  int torn = 0;
  while (finished < 2)
    torn += sim.runner.run({sim.tool("defaults"), {"read", kDock, "autohide"}, true}).out != "0\n";
  a.join();
  b.join();

  EXPECT_EQ(torn, 0);
  const auto keys = sim.snapshot();
  for (int i = 0; i < kRuns; ++i) {
    EXPECT_EQ(keys.count("a" + std::to_string(i)) + keys.count("b" + std::to_string(i)), 2u) << i;
  }
  EXPECT_EQ(reported, std::vector<std::string>(kRuns, "dock: restarted"));
}

}  // namespace
}  // namespace velmoryn
