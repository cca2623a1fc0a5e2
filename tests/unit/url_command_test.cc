// The URL's log line; which URLs parse is the fuzzer's (fuzz/url_command_fuzz.cc).
#include "app/url_command.h"

#include <gtest/gtest.h>

#include <string>

namespace velmoryn {
namespace {

TEST(UrlCommand, TheLogShowsOneShortLineWithEveryEscapeWhole) {
  EXPECT_EQ(urlForLog("a\nb\xe3\x7f"), "a%0Ab%E3%7F");
  EXPECT_EQ(urlForLog(std::string(98, 'a') + "\n"), std::string(98, 'a') + "...");
}

}  // namespace
}  // namespace velmoryn
