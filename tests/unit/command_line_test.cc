// What the command line asks for; what each run then does is the entry
// point's and MenuBarBoot's (entry_point_test.cc, menu_bar_boot_test.cc).
#include "boot/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmoryn {
namespace {

TEST(CommandLine, EachArgumentListAsksForOneThing) {
  using enum CommandLine;
  struct Row {
    const char* name;
    CommandLine asked;
    std::vector<std::string> args;  // after the program's path
    std::string path = "/Applications/Velmoryn.app/Contents/MacOS/Velmoryn";
  };
  const Row rows[] = {
      {.name = "the version wins over all",
       .asked = version,
       .args = {"--register-login", "--login", "on", "--hide", "--version"}},
      {.name = "options are compared exactly",
       .asked = plainLaunch,
       .args = {"-v", "--Version", "--register-login=1", "--Register-login", "--Login", "--Hide"}},
      {.name = "unregister wins over register",
       .asked = unregisterLogin,
       .args = {"--unregister-login", "--register-login"}},
      {.name = "and register over --login",
       .asked = registerLogin,
       .args = {"--login", "off", "--register-login"}},
      {.name = "the first --login counts",
       .asked = loginOff,
       .args = {"--login", "off", "--login", "on"}},
      {.name = "--login status", .asked = loginStatus, .args = {"--login", "status"}},
      {.name = "no value is status", .asked = loginStatus, .args = {"-x", "--login"}},
      {.name = "values are compared exactly", .asked = loginUsage, .args = {"--login", "ON"}},
      {.name = "the word right after", .asked = loginUsage, .args = {"--login", "--login", "on"}},
      {.name = "--login wins over a verb", .asked = loginOn, .args = {"--hide", "--login", "on"}},
      {.name = "--show", .asked = show, .args = {"-x", "--show"}},
      {.name = "--toggle twice", .asked = toggle, .args = {"--toggle", "--toggle"}},
      {.name = "two different verbs start the program",
       .asked = plainLaunch,
       .args = {"--hide", "--status"}},
      {.name = "the program's path is no verb",
       .asked = hide,
       .args = {"--hide"},
       .path = "--show"},
  };
  for (const Row& row : rows) {
    std::vector<std::string> args{row.path};
    args.insert(args.end(), row.args.begin(), row.args.end());
    EXPECT_EQ(parseCommandLine(args), row.asked)
        << row.name << ": " << testing::PrintToString(args);
  }
}

}  // namespace
}  // namespace velmoryn
