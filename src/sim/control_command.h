// The control language of the simulated desktop: one command per line, read
// from standard input and from the control socket. Parsing is pure: it checks
// words, counts and number formats and ranges that need no state; whether a
// screen exists or a file can be written is checked when the command runs.
// docs/control-channel.md describes the language.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/geometry.h"
#include "platform/scroll_monitor.h"

namespace velmoryn::control {

// Blank lines and lines starting with '#'.
struct Nothing {
  bool operator==(const Nothing&) const = default;
};
struct ListScreens {
  bool operator==(const ListScreens&) const = default;
};
struct AddScreen {
  Rect frame;
  std::optional<Rect> visibleFrame;  // none: the frame less the menu bar
  std::optional<bool> builtIn;       // none: an external display
  bool operator==(const AddScreen&) const = default;
};
struct SetScreen {
  int index = 0;  // 1-based
  Rect frame;
  std::optional<Rect> visibleFrame;
  std::optional<bool> builtIn;  // none: as the screen was
  bool operator==(const SetScreen&) const = default;
};
struct RemoveScreen {
  int index = 0;  // 1-based
  bool operator==(const RemoveScreen&) const = default;
};

enum class Edge { bottom, left, right };
struct SetDockEdge {
  Edge edge = Edge::bottom;
  std::optional<double> reserved;  // none: keep the current reservation
  bool operator==(const SetDockEdge&) const = default;
};

// `pointer` alone reports the pointer.
struct Pointer {
  std::optional<Point> to;
  bool operator==(const Pointer& other) const {
    return to.has_value() == other.to.has_value() &&
           (!to || (to->x == other.to->x && to->y == other.to->y));
  }
};

struct Scroll {
  ScrollEvent event;
  bool operator==(const Scroll& other) const {
    return event.hasPreciseScrollingDeltas == other.event.hasPreciseScrollingDeltas &&
           event.isDirectionInvertedFromDevice == other.event.isDirectionInvertedFromDevice &&
           event.scrollingDeltaY == other.event.scrollingDeltaY &&
           event.scrollingDeltaX == other.event.scrollingDeltaX;
  }
};

enum class ClickKind { left, right, control };
struct Click {
  ClickKind kind = ClickKind::left;
  bool operator==(const Click&) const = default;
};
struct Choose {
  int item = 0;  // 1-based
  bool operator==(const Choose&) const = default;
};
struct Dismiss {
  bool operator==(const Dismiss&) const = default;
};
struct PressHotKey {
  bool operator==(const PressHotKey&) const = default;
};
struct Wait {
  double seconds = 0;
  bool operator==(const Wait&) const = default;
};
struct Show {
  bool operator==(const Show&) const = default;
};
struct RenderIcon {
  std::string file;
  double scale = 1;
  bool operator==(const RenderIcon&) const = default;
};
struct Help {
  bool operator==(const Help&) const = default;
};
// A URL the system asks the program to open, as Launch Services would deliver it.
struct OpenUrl {
  std::string url;
  bool operator==(const OpenUrl&) const = default;
};

using Command = std::variant<Nothing, ListScreens, AddScreen, SetScreen, RemoveScreen, SetDockEdge,
                             Pointer, Scroll, Click, Choose, Dismiss, PressHotKey, Wait, Show,
                             RenderIcon, Help, OpenUrl>;

struct ParseError {
  std::string message;  // without the "error: " prefix
  bool operator==(const ParseError&) const = default;
};

inline constexpr double kLongestWait = 3600;
inline constexpr double kLargestIconScale = 16;
// Longer lines are refused whole, so that a stray binary stream cannot grow memory.
inline constexpr std::size_t kLongestLine = 4096;

std::variant<Command, ParseError> parseCommand(std::string_view line);

// The text as it may appear in a printed line: every byte that is not part of
// well-formed UTF-8, and every control character, is written as \xNN (two
// lower-case hex digits), so that a line echoing its input stays one line of
// valid UTF-8. Well-formed text without control characters stays as it is.
std::string printable(std::string_view text);

// The one line that `help` prints, without a prefix.
std::string helpText();

}  // namespace velmoryn::control
