// The control language's parser: pure, so every form and every bad form is a
// row in a table.
#include "sim/control_command.h"

#include <gtest/gtest.h>

#include <string>

namespace velmoryn::control {
namespace {

struct Good {
  const char* line;
  Command expected;
};

ScrollEvent scrollEvent(bool precise, double dy, double dx, bool inverted) {
  ScrollEvent event;
  event.hasPreciseScrollingDeltas = precise;
  event.scrollingDeltaY = dy;
  event.scrollingDeltaX = dx;
  event.isDirectionInvertedFromDevice = inverted;
  return event;
}

TEST(ControlCommandParse, EveryCommandFormReadsAsItsCommand) {
  const Good table[] = {
      {"", Nothing{}},
      {"   \t ", Nothing{}},
      {"# a comment with words", Nothing{}},
      {"#", Nothing{}},
      {"screen", ListScreens{}},
      {"screen add 0 0 800 600", AddScreen{{0, 0, 800, 600}, std::nullopt}},
      {"screen add -800 0.5 800 600 -800 0 800 575",
       AddScreen{{-800, 0.5, 800, 600}, Rect{-800, 0, 800, 575}}},
      {"screen set 2 0 0 800 600", SetScreen{2, {0, 0, 800, 600}, std::nullopt}},
      {"screen set 1 0 0 800 600 0 70 800 505",
       SetScreen{1, {0, 0, 800, 600}, Rect{0, 70, 800, 505}}},
      {"screen remove 3", RemoveScreen{3}},
      {"dock edge bottom", SetDockEdge{Edge::bottom, std::nullopt}},
      {"dock edge left 64", SetDockEdge{Edge::left, 64.0}},
      {"dock edge right 0", SetDockEdge{Edge::right, 0.0}},
      {"pointer", Pointer{}},
      {"pointer 10 5.01", Pointer{Point{10, 5.01}}},
      {"pointer -3 +4", Pointer{Point{-3, 4}}},
      {"scroll precise 4 0", Scroll{scrollEvent(true, 4, 0, false)}},
      {"scroll line -1 0.5 inverted", Scroll{scrollEvent(false, -1, 0.5, true)}},
      {"click left", Click{ClickKind::left}},
      {"click right", Click{ClickKind::right}},
      {"click control", Click{ClickKind::control}},
      {"choose 7", Choose{7}},
      {"dismiss", Dismiss{}},
      {"hotkey", PressHotKey{}},
      {"wait 0.5", Wait{0.5}},
      {"wait 0", Wait{0}},
      {"wait 3600", Wait{3600}},
      {"show", Show{}},
      {"icon /tmp/a.png", RenderIcon{"/tmp/a.png", 1}},
      {"icon out.png 2", RenderIcon{"out.png", 2}},
      {"icon \"/tmp/my icons/a.png\" 16", RenderIcon{"/tmp/my icons/a.png", 16}},
      {"icon \"say \\\"hi\\\" \\\\.png\"", RenderIcon{"say \"hi\" \\.png", 1}},
      {"help", Help{}},
      {"  click\tleft  ", Click{ClickKind::left}},
  };
  for (const Good& row : table) {
    auto parsed = parseCommand(row.line);
    ASSERT_TRUE(std::holds_alternative<Command>(parsed))
        << row.line << " -> " << std::get<ParseError>(parsed).message;
    EXPECT_EQ(std::get<Command>(parsed), row.expected) << row.line;
  }
}

struct Bad {
  const char* line;
  const char* messageContains;
};

TEST(ControlCommandParse, EveryBadFormIsRefusedWithAReason) {
  const Bad table[] = {
      {"jump", "unknown command \"jump\""},
      {"Click left", "unknown command"},
      {"screen list", "usage: screen"},
      {"screen add 0 0 800", "usage: screen"},
      {"screen add 0 0 800 600 0 0 800", "usage: screen"},
      {"screen add 0 0 800 six", "\"six\" is not a number"},
      {"screen add 0 0 0 600", "greater than 0"},
      {"screen add 0 0 800 -1", "greater than 0"},
      {"screen add 0 0 800 600 0 0 800 0", "visible frame"},
      {"screen add 0 0 nan 600", "\"nan\" is not a number"},
      {"screen add 0 0 inf 600", "\"inf\" is not a number"},
      {"screen add 0 0 1e999 600", "is not a number"},
      {"screen add 0x10 0 800 600", "is not a number"},
      {"screen add 1,5 0 800 600", "is not a number"},
      {"screen set", "usage: screen"},
      {"screen set 0 0 0 800 600", "start at 1"},
      {"screen set -1 0 0 800 600", "start at 1"},
      {"screen set 1.5 0 0 800 600", "not a whole number"},
      {"screen set 1 0 0 800", "usage: screen"},
      {"screen remove", "usage: screen"},
      {"screen remove 1 2", "usage: screen"},
      {"screen remove x", "not a whole number"},
      {"screen remove 99999999999", "not a whole number"},
      {"dock", "usage: dock edge"},
      {"dock edge", "usage: dock edge"},
      {"dock edge top", "usage: dock edge"},
      {"dock side left", "usage: dock edge"},
      {"dock edge left -1", "0 or more"},
      {"dock edge left wide", "is not a number"},
      {"dock edge left 1 2", "usage: dock edge"},
      {"pointer 1", "usage: pointer"},
      {"pointer 1 2 3", "usage: pointer"},
      {"pointer a 2", "\"a\" is not a number"},
      {"pointer + 2", "\"+\" is not a number"},
      {"scroll", "usage: scroll"},
      {"scroll precise 4", "usage: scroll"},
      {"scroll smooth 4 0", "usage: scroll"},
      {"scroll line 1 0 reversed", "usage: scroll"},
      {"scroll line 1 0 inverted extra", "usage: scroll"},
      {"scroll line up 0", "is not a number"},
      {"click", "usage: click"},
      {"click middle", "usage: click"},
      {"click left twice", "usage: click"},
      {"choose", "usage: choose"},
      {"choose 0", "start at 1"},
      {"choose 1 2", "usage: choose"},
      {"choose first", "not a whole number"},
      {"dismiss now", "takes no arguments"},
      {"hotkey d", "takes no arguments"},
      {"show all", "takes no arguments"},
      {"help me", "takes no arguments"},
      {"wait", "usage: wait"},
      {"wait -1", "between 0 and 3600"},
      {"wait 3601", "between 0 and 3600"},
      {"wait soon", "is not a number"},
      {"icon", "usage: icon"},
      {"icon a.png 0", "greater than 0"},
      {"icon a.png -2", "greater than 0"},
      {"icon a.png 17", "at most 16"},
      {"icon a.png 2 3", "usage: icon"},
      {"icon \"\"", "file name is empty"},
      {"icon \"a.png", "unterminated quote"},
      {"icon \"a\"b.png", "must end at a blank"},
  };
  for (const Bad& row : table) {
    auto parsed = parseCommand(row.line);
    ASSERT_TRUE(std::holds_alternative<ParseError>(parsed)) << row.line;
    EXPECT_NE(std::get<ParseError>(parsed).message.find(row.messageContains), std::string::npos)
        << row.line << " -> " << std::get<ParseError>(parsed).message;
  }
}

TEST(ControlCommandParse, ALineAtTheLimitIsReadAndOneByteMoreIsRefused) {
  std::string atLimit = "# ";
  atLimit.resize(kLongestLine, 'x');
  EXPECT_TRUE(std::holds_alternative<Command>(parseCommand(atLimit)));
  atLimit += 'x';
  auto parsed = parseCommand(atLimit);
  ASSERT_TRUE(std::holds_alternative<ParseError>(parsed));
  EXPECT_EQ(std::get<ParseError>(parsed).message, "line too long");
}

TEST(ControlCommandParse, HelpNamesEveryCommandWord) {
  const std::string help = helpText();
  for (const char* word :
       {"screen add", "screen set", "screen remove", "dock edge", "pointer", "scroll", "click",
        "choose", "dismiss", "hotkey", "wait", "show", "icon", "help"}) {
    EXPECT_NE(help.find(word), std::string::npos) << word;
  }
}

}  // namespace
}  // namespace velmoryn::control
