// Which URLs parse is the fuzzer's (fuzz/url_command_fuzz.cc and its seeds);
// here the log line's escapes and which script verb the arguments ask for.
#include "app/url_command.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace velmoryn {
namespace {

TEST(UrlCommandTest, TheLogShowsOneShortLineWithEveryEscapeWhole) {
  EXPECT_EQ(urlForLog("a\nb\xe3\x7f"), "a%0Ab%E3%7F");
  EXPECT_EQ(urlForLog(std::string(98, 'a') + "\n"), std::string(98, 'a') + "...");
}

TEST(UrlCommandTest, ScriptVerbsAreExactAndAgree) {
  using Args = std::vector<std::string>;
  for (const auto& [args, verb] : std::vector<std::pair<Args, std::optional<ScriptVerb>>>{
           {{"x", "--hide", "--hide"}, ScriptVerb::hide},
           {{"x", "x", "--status"}, ScriptVerb::status},
           {{"--show", "--hide"}, ScriptVerb::hide},  // the program's own path is no verb
           {{"x", "--hide", "--show"}, {}},
           {{"x", "--Hide", "--hide=1"}, {}}})
    EXPECT_EQ(scriptVerbFrom(args), verb) << ::testing::PrintToString(args);
}

}  // namespace
}  // namespace velmoryn
