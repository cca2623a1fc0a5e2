// The stand-ins for defaults, osascript and killall, run as real processes on
// a simulated root: what they print, how they exit, what they leave behind.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/autohide_script.h"
#include "sim_test_support.h"

namespace velmoryn {
namespace {

using simtest::SimRoot;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

const std::string kLine(kAutohideScriptLine);

std::string missingPair(const std::string& key) {
  return "\nThe domain/default pair of (com.apple.dock, " + key + ") does not exist\n";
}

struct WriteCase {
  std::vector<std::string> value;  // what follows the key on the command line
  std::string printed;             // what `defaults read` then prints
  std::string type;                // what `defaults read-type` names
};

TEST(DefaultsStandIn, PrintsEachWrittenValueAsTheRealToolDoes) {
  SimRoot sim;
  const std::vector<WriteCase> cases = {
      {{"-float", "1000"}, "1000\n", "float"},   {{"-float", "1000.0"}, "1000\n", "float"},
      {{"-float", "0.5"}, "0.5\n", "float"},     {{"-float", "1e3"}, "1000\n", "float"},
      {{"-float", "-2.25"}, "-2.25\n", "float"}, {{"-bool", "true"}, "1\n", "boolean"},
      {{"-bool", "FALSE"}, "0\n", "boolean"},    {{"-bool", "Yes"}, "1\n", "boolean"},
      {{"-bool", "no"}, "0\n", "boolean"},       {{"-bool", "1"}, "1\n", "boolean"},
      {{"-boolean", "0"}, "0\n", "boolean"},     {{"-int", "48"}, "48\n", "integer"},
      {{"-integer", "-5"}, "-5\n", "integer"},   {{"-string", "left"}, "left\n", "string"},
      {{"-string", "1"}, "1\n", "string"},       {{"hello world"}, "hello world\n", "string"},
      {{"-string", ""}, "\n", "string"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> write = {"write", "com.apple.dock", "probe-key"};
    write.insert(write.end(), c.value.begin(), c.value.end());
    const auto written = sim.run("defaults", write);
    EXPECT_EQ(written.status, 0) << c.value.back() << ": " << written.err;
    EXPECT_EQ(written.out, "");

    const auto read = sim.run("defaults", {"read", "com.apple.dock", "probe-key"});
    EXPECT_EQ(read.status, 0);
    EXPECT_EQ(read.out, c.printed) << c.value.back();
    EXPECT_EQ(sim.run("defaults", {"read-type", "com.apple.dock", "probe-key"}).out,
              "Type is " + c.type + "\n")
        << c.value.back();
  }
}

TEST(DefaultsStandIn, KeepsTheOtherKeysOfTheDomainWhenWriting) {
  SimRoot sim;
  const auto before = sim.snapshot();
  ASSERT_EQ(before.at("tilesize"), std::make_pair(std::string("integer"), std::string("48")));

  sim.run("defaults", {"write", "com.apple.dock", "autohide-delay", "-float", "1000"});

  auto after = sim.snapshot();
  after.erase("autohide-delay");
  EXPECT_EQ(after, before);
}

TEST(DefaultsStandIn, AMissingKeyOrDomainIsTheRealComplaintAndStatusOne) {
  SimRoot sim;
  const auto key = sim.run("defaults", {"read", "com.apple.dock", "autohide-delay"});
  EXPECT_EQ(key.status, 1);
  EXPECT_EQ(key.out, "");
  EXPECT_EQ(key.err, missingPair("autohide-delay"));

  std::filesystem::remove(sim.domainFile());
  const auto domain = sim.run("defaults", {"read", "com.apple.dock", "autohide"});
  EXPECT_EQ(domain.status, 1);
  EXPECT_EQ(domain.out, "");
  EXPECT_EQ(domain.err, missingPair("autohide"));
}

TEST(DefaultsStandIn, AMalformedValueFailsAndChangesNothing) {
  SimRoot sim;
  ASSERT_EQ(sim.quietly("defaults", {"write", "com.apple.dock", "autohide-delay", "-float", "0.5"})
                .exitStatus,
            0);
  const std::string before = sim.domainBytes();
  const std::vector<std::vector<std::string>> malformed = {
      {"-float", "abc"},  {"-float", ""},       {"-float", " 1"}, {"-float", "1x"},
      {"-float", "nan"},  {"-float", "inf"},    {"-int", "1.5"},  {"-int", "twelve"},
      {"-bool", "maybe"}, {"-bool", ""},        {"-bool", "tru"}, {"-float"},
      {"-array", "x"},    {"-float", "1", "2"},
  };
  for (const auto& value : malformed) {
    std::vector<std::string> args = {"write", "com.apple.dock", "autohide-delay"};
    args.insert(args.end(), value.begin(), value.end());
    const auto run = sim.run("defaults", args);
    EXPECT_EQ(run.status, 1) << value.back();
    EXPECT_FALSE(run.err.empty()) << value.back();
    EXPECT_EQ(sim.domainBytes(), before) << value.back();
  }
}

TEST(DefaultsStandIn, DeleteRemovesTheKeyAndComplainsAboutAMissingOne) {
  SimRoot sim;
  sim.quietly("defaults", {"write", "com.apple.dock", "orientation", "left"});

  const auto removed = sim.run("defaults", {"delete", "com.apple.dock", "orientation"});
  EXPECT_EQ(removed.status, 0);
  EXPECT_EQ(sim.run("defaults", {"read", "com.apple.dock", "orientation"}).status, 1);

  const std::string before = sim.domainBytes();
  const auto missing = sim.run("defaults", {"delete", "com.apple.dock", "orientation"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, missingPair("orientation"));
  EXPECT_EQ(sim.domainBytes(), before);
}

TEST(DefaultsStandIn, NeverOverwritesADomainFileItCannotRead) {
  SimRoot sim;
  simtest::writeBytes(sim.domainFile(), "not a property list");

  const auto run = sim.run("defaults", {"write", "com.apple.dock", "autohide", "-bool", "true"});

  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(run.err.empty());
  EXPECT_EQ(sim.domainBytes(), "not a property list");
}

TEST(DefaultsStandIn, ConcurrentWritersLoseNothingAndReadersSeeAWholeDomain) {
  SimRoot sim;
  constexpr int kWrites = 15;
  std::atomic<bool> writing{true};
  std::vector<std::string> readerFailures;

  std::thread reader([&] {
    PosixProcessRunner runner;
    while (writing.load()) {
      const ProcessResult r =
          runner.run({sim.tool("defaults"), {"read", "com.apple.dock", "autohide"}, true});
      if (!r.succeeded() || r.out != "0\n") readerFailures.push_back(r.out);
    }
  });
  auto writer = [&](const std::string& prefix) {
    PosixProcessRunner runner;
    for (int i = 0; i < kWrites; ++i) {
      runner.run({sim.tool("defaults"),
                  {"write", "com.apple.dock", prefix + std::to_string(i), "-int", "1"},
                  true});
    }
  };
  std::thread a(writer, "a-");
  std::thread b(writer, "b-");
  a.join();
  b.join();
  writing = false;
  reader.join();

  const auto keys = sim.snapshot();
  for (int i = 0; i < kWrites; ++i) {
    EXPECT_TRUE(keys.count("a-" + std::to_string(i))) << i;
    EXPECT_TRUE(keys.count("b-" + std::to_string(i))) << i;
  }
  EXPECT_THAT(readerFailures, IsEmpty());
}

TEST(OsascriptStandIn, TheAutohideLineSwitchesAutohideSilently) {
  SimRoot sim;
  const auto on = sim.run("osascript", {"-e", kLine + "true"});
  EXPECT_EQ(on.status, 0);
  EXPECT_EQ(on.out, "");
  EXPECT_EQ(on.err, "");
  EXPECT_EQ(sim.dock.view().autohide, true);

  const auto off = sim.run("osascript", {"-e", kLine + "false"});
  EXPECT_EQ(off.status, 0);
  EXPECT_EQ(sim.dock.view().autohide, false);
  EXPECT_EQ(sim.run("defaults", {"read-type", "com.apple.dock", "autohide"}).out,
            "Type is boolean\n");
}

TEST(OsascriptStandIn, AnyOtherScriptIsAnExecutionErrorAndChangesNothing) {
  SimRoot sim;
  const std::string before = sim.domainBytes();
  for (const std::string& script : std::vector<std::string>{
           kLine + "TRUE", kLine + "true ", kLine, "beep", "tell application \"Finder\" to quit"}) {
    const auto run = sim.run("osascript", {"-e", script});
    EXPECT_EQ(run.status, 1) << script;
    EXPECT_THAT(run.err, HasSubstr("execution error")) << script;
  }
  EXPECT_EQ(sim.domainBytes(), before);
}

TEST(OsascriptStandIn, OtherArgumentsAreAUsageError) {
  SimRoot sim;
  const std::string before = sim.domainBytes();
  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"-e"}, {"-x", kLine + "true"}, {kLine + "true"}, {"-e", kLine + "true", "extra"}}) {
    const auto run = sim.run("osascript", args);
    EXPECT_EQ(run.status, 1) << args.size();
    EXPECT_THAT(run.err, HasSubstr("usage: osascript")) << args.size();
  }
  EXPECT_EQ(sim.domainBytes(), before);
}

TEST(KillallStandIn, KillingTheDockCountsARestart) {
  SimRoot sim;
  EXPECT_EQ(sim.dock.view().restarts, 0);

  const auto first = sim.run("killall", {"Dock"});
  const auto second = sim.run("killall", {"Dock"});

  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(second.status, 0);
  EXPECT_EQ(first.out + first.err, "");
  EXPECT_EQ(sim.dock.view().restarts, 2);
}

TEST(KillallStandIn, AnyOtherProcessIsNotFound) {
  SimRoot sim;
  for (const std::string name : {"Finder", "dock", "SystemUIServer"}) {
    const auto run = sim.run("killall", {name});
    EXPECT_EQ(run.status, 1) << name;
    EXPECT_EQ(run.err, "No matching processes belonging to you were found\n") << name;
  }
  EXPECT_EQ(sim.dock.view().restarts, 0);
}

}  // namespace
}  // namespace velmoryn
