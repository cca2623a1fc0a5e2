// What the command line asks for; what each run then does is the entry
// point's and MenuBarBoot's (entry_point_test.cc, menu_bar_boot_test.cc).
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmoryn {
namespace {

TEST(CommandLine, EachArgumentListAsksForOneThing) {
  struct Row {
    const char* name;
    std::vector<std::string> options;  // after the program's path
    CommandLine asked;
    std::string path = "/Applications/Velmoryn.app/Contents/MacOS/Velmoryn";
  };
  using enum CommandLine;
  const Row rows[] = {
      {.name = "no option starts the program", .options = {}, .asked = plainLaunch},
      {.name = "an option it does not know starts it too",
       .options = {"-NSDocumentRevisions", "NO"},
       .asked = plainLaunch},
      {.name = "the version wins over every other option",
       .options = {"--register-login", "--login", "on", "--hide", "--version"},
       .asked = version},
      {.name = "options are compared exactly",
       .options = {"-v", "--Version", "--register-login=1", "--Register-login", "--Login",
                   "--Hide"},
       .asked = plainLaunch},
      {.name = "unregister wins over register",
       .options = {"--unregister-login", "--register-login"},
       .asked = unregisterLogin},
      {.name = "in either order",
       .options = {"--register-login", "--unregister-login"},
       .asked = unregisterLogin},
      {.name = "the entry point's login options win over --login",
       .options = {"--login", "off", "--register-login"},
       .asked = registerLogin},
      {.name = "--login on", .options = {"--login", "on"}, .asked = loginOn},
      {.name = "--login off", .options = {"--login", "off", "--login", "on"}, .asked = loginOff},
      {.name = "--login status", .options = {"--login", "status"}, .asked = loginStatus},
      {.name = "--login as the last argument asks for the status",
       .options = {"-x", "--login"},
       .asked = loginStatus},
      {.name = "a value in other letters is no value",
       .options = {"--login", "ON"},
       .asked = loginUsage},
      {.name = "the value is the word right after the first --login",
       .options = {"--login", "--login", "on"},
       .asked = loginUsage},
      {.name = "--login wins over a verb",
       .options = {"--hide", "--login", "on"},
       .asked = loginOn},
      {.name = "--hide", .options = {"--hide"}, .asked = hide},
      {.name = "--show", .options = {"-x", "--show"}, .asked = show},
      {.name = "--toggle, given twice", .options = {"--toggle", "--toggle"}, .asked = toggle},
      {.name = "--status", .options = {"--status"}, .asked = status},
      {.name = "two different verbs start the program",
       .options = {"--hide", "--status"},
       .asked = plainLaunch},
      {.name = "the program's own path is no verb",
       .options = {"--hide"},
       .asked = hide,
       .path = "--show"},
  };
  for (const Row& row : rows) {
    std::vector<std::string> args{row.path};
    args.insert(args.end(), row.options.begin(), row.options.end());
    EXPECT_EQ(parseCommandLine(args), row.asked) << row.name;
  }
}

}  // namespace
}  // namespace velmoryn
