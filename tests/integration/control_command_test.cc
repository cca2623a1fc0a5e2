// The control language's parser: the exact forms it reads and the error texts
// a person sees. The fuzzer carries the rest (one answer per line, checked
// values, no dependence on anything but the line).
#include "sim/control_command.h"

#include <gtest/gtest.h>

#include <string>

namespace velmoryn::control {
namespace {

ScrollEvent scrolled(bool precise, double dy, double dx, bool inverted) {
  ScrollEvent event;
  event.hasPreciseScrollingDeltas = precise;
  event.scrollingDeltaY = dy;
  event.scrollingDeltaX = dx;
  event.isDirectionInvertedFromDevice = inverted;
  return event;
}

TEST(ControlCommandParse, ReadsEachFormAtItsBounds) {
  const std::pair<std::string, Command> table[] = {
      {" \t# a comment", Nothing{}},
      {"screen", ListScreens{}},
      {"screen add -800 0.5 800 600 -800 0 800 575",
       AddScreen{{-800, 0.5, 800, 600}, Rect{-800, 0, 800, 575}}},
      {"screen set 1 0 0 800 600", SetScreen{1, {0, 0, 800, 600}, std::nullopt}},
      {"screen remove 3", RemoveScreen{3}},
      {"dock edge left 0", SetDockEdge{Edge::left, 0.0}},
      {"dock edge right", SetDockEdge{Edge::right, std::nullopt}},
      {"pointer -3 +4e1", Pointer{Point{-3, 40}}},
      {"scroll line -1 0.5 inverted", Scroll{scrolled(false, -1, 0.5, true)}},
      {"scroll precise 4 0", Scroll{scrolled(true, 4, 0, false)}},
      {"  click\tcontrol  ", Click{ClickKind::control}},
      {"choose 1", Choose{1}},
      {"wait 3600", Wait{3600}},
      {"wait 0", Wait{0}},
      {"icon \"my \\\"a\\\" \\\\.png\" 16", RenderIcon{"my \"a\" \\.png", 16}},
      {"icon a.png", RenderIcon{"a.png", 1}},
      {"# " + std::string(kLongestLine - 2, 'x'), Nothing{}},
  };
  for (const auto& [line, expected] : table) {
    SCOPED_TRACE(line.substr(0, 60));
    const auto parsed = parseCommand(line);
    ASSERT_TRUE(std::holds_alternative<Command>(parsed)) << std::get<ParseError>(parsed).message;
    EXPECT_EQ(std::get<Command>(parsed), expected);
  }
}

TEST(ControlCommandParse, RefusesBadFormsWithTheTextAPersonSees) {
  const std::pair<std::string, std::string> table[] = {
      {"Click left", "unknown command \"Click\" (try help)"},
      {"screen add 0 0 800",
       "usage: screen | screen add X Y W H [VX VY VW VH] | "
       "screen set N X Y W H [VX VY VW VH] | screen remove N"},
      {"pointer nan 3", "\"nan\" is not a number"},
      {"pointer 0x10 3", "\"0x10\" is not a number"},
      {"pointer 1,5 3", "\"1,5\" is not a number"},
      {"screen add 0 0 1e999 600", "\"1e999\" is not a number"},
      {"screen add 0 0 0 600", "the frame's width and height must be greater than 0"},
      {"screen add 0 0 8 6 0 0 8 0", "the visible frame's width and height must be greater than 0"},
      {"screen remove 0", "screen numbers start at 1"},
      {"choose 0", "menu item numbers start at 1"},
      {"choose 1.5", "\"1.5\" is not a whole number"},
      {"dock edge top", "usage: dock edge bottom|left|right [RESERVED]"},
      {"dock edge left -1", "the reserved room must be 0 or more"},
      {"scroll line 1 0 reversed", "usage: scroll precise|line DY DX [inverted]"},
      {"click middle", "usage: click left|right|control"},
      {"wait 3600.5", "the wait must lie between 0 and 3600 seconds"},
      {"wait -0.1", "the wait must lie between 0 and 3600 seconds"},
      {"icon a.png 16.01", "the scale must be greater than 0 and at most 16"},
      {"icon a.png 0", "the scale must be greater than 0 and at most 16"},
      {"icon \"\"", "the file name is empty"},
      {"icon \"a.png", "unterminated quote"},
      {"icon \"a\"b.png", "a quoted word must end at a blank"},
      {"show all", "\"show\" takes no arguments"},
      {"# " + std::string(kLongestLine - 1, 'x'), "line too long"},
  };
  for (const auto& [line, message] : table) {
    SCOPED_TRACE(line.substr(0, 60));
    const auto parsed = parseCommand(line);
    ASSERT_TRUE(std::holds_alternative<ParseError>(parsed));
    EXPECT_EQ(std::get<ParseError>(parsed).message, message);
  }
}

}  // namespace
}  // namespace velmoryn::control
