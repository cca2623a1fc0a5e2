#include "sim/control_command.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace velmoryn::control {
namespace {

// One usage text per form, shown with "usage: " when the form is wrong.
constexpr const char* kScreenUsage =
    "screen | screen add X Y W H [VX VY VW VH] [builtin|external] | "
    "screen set N X Y W H [VX VY VW VH] [builtin|external] | screen remove N";
constexpr const char* kDockUsage = "dock edge bottom|left|right [RESERVED]";
constexpr const char* kPointerUsage = "pointer [X Y]";
constexpr const char* kScrollUsage = "scroll precise|line DY DX [inverted]";
constexpr const char* kClickUsage = "click left|right|control";
constexpr const char* kChooseUsage = "choose N";
constexpr const char* kWaitUsage = "wait SECONDS";
constexpr const char* kIconUsage = "icon FILE.png [SCALE]";
constexpr const char* kUrlUsage = "url TEXT";

// The length of the well-formed UTF-8 sequence that starts `text`, or 0.
std::size_t sequenceLength(std::string_view text) {
  const auto byte = [text](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;   // the range of the second byte: no overlong forms,
  unsigned char high = 0xBF;  // no surrogates, nothing beyond U+10FFFF
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(k) < 0x80 || byte(k) > 0xBF) return 0;
  }
  return length;
}

// A word of the line between double quotes, as error lines show it.
std::string quoted(std::string_view word) {
  return "\"" + printable(word) + "\"";
}

ParseError usage(const char* text) {
  return ParseError{std::string("usage: ") + text};
}

// Words separated by blanks; a word in double quotes may hold blanks, and
// \" and \\ inside it stand for " and \.
std::variant<std::vector<std::string>, ParseError> splitWords(std::string_view line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == ' ' || c == '\t') {
      ++i;
      continue;
    }
    std::string word;
    if (c == '"') {
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char d = line[i++];
        if (d == '"') {
          closed = true;
          break;
        }
        if (d == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\')) d = line[i++];
        word += d;
      }
      if (!closed) return ParseError{"unterminated quote"};
      if (i < line.size() && line[i] != ' ' && line[i] != '\t')
        return ParseError{"a quoted word must end at a blank"};
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t') word += line[i++];
    }
    words.push_back(std::move(word));
  }
  return words;
}

std::optional<double> parseNumber(const std::string& word) {
  double value = 0;
  const char* first = word.data();
  const char* last = first + word.size();
  if (first != last && *first == '+') ++first;  // from_chars takes no plus sign
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last || first == last || !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::optional<int> parseIndex(const std::string& word) {
  int value = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (error != std::errc() || end != word.data() + word.size() || word.empty()) return std::nullopt;
  return value;
}

ParseError notANumber(const std::string& word) {
  return ParseError{quoted(word) + " is not a number"};
}

// Reads the numbers at words[from...] into `out`; the words must all be numbers.
std::optional<ParseError> numbers(const std::vector<std::string>& words, std::size_t from,
                                  std::size_t count, double* out) {
  for (std::size_t k = 0; k < count; ++k) {
    auto value = parseNumber(words[from + k]);
    if (!value) return notANumber(words[from + k]);
    out[k] = *value;
  }
  return std::nullopt;
}

std::variant<int, ParseError> parseIndexWord(const std::string& word, const char* what) {
  auto index = parseIndex(word);
  if (!index) return ParseError{quoted(word) + " is not a whole number"};
  if (*index < 1) return ParseError{std::string(what) + " numbers start at 1"};
  return *index;
}

// X Y W H, optionally followed by VX VY VW VH.
std::variant<std::pair<Rect, std::optional<Rect>>, ParseError> parseFrames(
    const std::vector<std::string>& words, std::size_t from) {
  const std::size_t count = words.size() - from;
  if (count != 4 && count != 8) return usage(kScreenUsage);
  double v[8] = {};
  if (auto error = numbers(words, from, count, v)) return *error;
  Rect frame{v[0], v[1], v[2], v[3]};
  if (frame.width <= 0 || frame.height <= 0)
    return ParseError{"the frame's width and height must be greater than 0"};
  std::optional<Rect> visible;
  if (count == 8) {
    visible = Rect{v[4], v[5], v[6], v[7]};
    if (visible->width <= 0 || visible->height <= 0)
      return ParseError{"the visible frame's width and height must be greater than 0"};
  }
  return std::make_pair(frame, visible);
}

// The optional last word of `screen add` and `screen set`, taken off the words.
std::optional<bool> takeKind(std::vector<std::string>& words) {
  if (words.back() != "builtin" && words.back() != "external") return std::nullopt;
  const bool builtIn = words.back() == "builtin";
  words.pop_back();
  return builtIn;
}

std::variant<Command, ParseError> parseScreen(std::vector<std::string> words) {
  if (words.size() == 1) return ListScreens{};
  const std::string verb = words[1];
  if (verb == "add") {
    const std::optional<bool> builtIn = takeKind(words);
    auto frames = parseFrames(words, 2);
    if (auto* error = std::get_if<ParseError>(&frames)) return *error;
    auto [frame, visible] = std::get<0>(frames);
    return AddScreen{frame, visible, builtIn};
  }
  if (verb == "set" || verb == "remove") {
    if (words.size() < 3) return usage(kScreenUsage);
    auto index = parseIndexWord(words[2], "screen");
    if (auto* error = std::get_if<ParseError>(&index)) return *error;
    const int n = std::get<int>(index);
    if (verb == "remove") {
      if (words.size() != 3) return usage(kScreenUsage);
      return RemoveScreen{n};
    }
    const std::optional<bool> builtIn = takeKind(words);
    auto frames = parseFrames(words, 3);
    if (auto* error = std::get_if<ParseError>(&frames)) return *error;
    auto [frame, visible] = std::get<0>(frames);
    return SetScreen{n, frame, visible, builtIn};
  }
  return usage(kScreenUsage);
}

std::variant<Command, ParseError> parseDock(const std::vector<std::string>& words) {
  if (words.size() < 3 || words.size() > 4 || words[1] != "edge") return usage(kDockUsage);
  SetDockEdge command;
  if (words[2] == "bottom") {
    command.edge = Edge::bottom;
  } else if (words[2] == "left") {
    command.edge = Edge::left;
  } else if (words[2] == "right") {
    command.edge = Edge::right;
  } else {
    return usage(kDockUsage);
  }
  if (words.size() == 4) {
    auto reserved = parseNumber(words[3]);
    if (!reserved) return notANumber(words[3]);
    if (*reserved < 0) return ParseError{"the reserved room must be 0 or more"};
    command.reserved = *reserved;
  }
  return command;
}

std::variant<Command, ParseError> parsePointer(const std::vector<std::string>& words) {
  if (words.size() == 1) return Pointer{};
  if (words.size() != 3) return usage(kPointerUsage);
  double v[2] = {};
  if (auto error = numbers(words, 1, 2, v)) return *error;
  return Pointer{Point{v[0], v[1]}};
}

std::variant<Command, ParseError> parseScroll(const std::vector<std::string>& words) {
  if (words.size() != 4 && words.size() != 5) return usage(kScrollUsage);
  Scroll command;
  if (words[1] == "precise") {
    command.event.hasPreciseScrollingDeltas = true;
  } else if (words[1] != "line") {
    return usage(kScrollUsage);
  }
  double v[2] = {};
  if (auto error = numbers(words, 2, 2, v)) return *error;
  command.event.scrollingDeltaY = v[0];
  command.event.scrollingDeltaX = v[1];
  if (words.size() == 5) {
    if (words[4] != "inverted") return usage(kScrollUsage);
    command.event.isDirectionInvertedFromDevice = true;
  }
  return command;
}

std::variant<Command, ParseError> parseClick(const std::vector<std::string>& words) {
  if (words.size() != 2) return usage(kClickUsage);
  if (words[1] == "left") return Click{ClickKind::left};
  if (words[1] == "right") return Click{ClickKind::right};
  if (words[1] == "control") return Click{ClickKind::control};
  return usage(kClickUsage);
}

std::variant<Command, ParseError> parseWait(const std::vector<std::string>& words) {
  if (words.size() != 2) return usage(kWaitUsage);
  auto seconds = parseNumber(words[1]);
  if (!seconds) return notANumber(words[1]);
  if (*seconds < 0 || *seconds > kLongestWait)
    return ParseError{"the wait must lie between 0 and 3600 seconds"};
  return Wait{*seconds};
}

std::variant<Command, ParseError> parseIcon(const std::vector<std::string>& words) {
  if (words.size() != 2 && words.size() != 3) return usage(kIconUsage);
  if (words[1].empty()) return ParseError{"the file name is empty"};
  RenderIcon command{words[1], 1};
  if (words.size() == 3) {
    auto scale = parseNumber(words[2]);
    if (!scale) return notANumber(words[2]);
    if (*scale <= 0 || *scale > kLargestIconScale)
      return ParseError{"the scale must be greater than 0 and at most 16"};
    command.scale = *scale;
  }
  return command;
}

template <typename T>
std::variant<Command, ParseError> bare(const std::vector<std::string>& words) {
  if (words.size() != 1) return ParseError{quoted(words[0]) + " takes no arguments"};
  return T{};
}

}  // namespace

std::variant<Command, ParseError> parseCommand(std::string_view line) {
  if (line.size() > kLongestLine) return ParseError{"line too long"};
  auto split = splitWords(line);
  if (auto* error = std::get_if<ParseError>(&split)) return *error;
  const auto& words = std::get<std::vector<std::string>>(split);
  if (words.empty() || words[0].starts_with('#')) return Nothing{};

  const std::string& word = words[0];
  if (word == "screen") return parseScreen(words);
  if (word == "dock") return parseDock(words);
  if (word == "pointer") return parsePointer(words);
  if (word == "scroll") return parseScroll(words);
  if (word == "click") return parseClick(words);
  if (word == "choose") {
    if (words.size() != 2) return usage(kChooseUsage);
    auto item = parseIndexWord(words[1], "menu item");
    if (auto* error = std::get_if<ParseError>(&item)) return *error;
    return Choose{std::get<int>(item)};
  }
  if (word == "dismiss") return bare<Dismiss>(words);
  if (word == "hotkey") return bare<PressHotKey>(words);
  if (word == "wait") return parseWait(words);
  if (word == "show") return bare<Show>(words);
  if (word == "icon") return parseIcon(words);
  if (word == "help") return bare<Help>(words);
  if (word == "url") {
    if (words.size() != 2) return usage(kUrlUsage);
    return OpenUrl{words[1]};
  }
  return ParseError{"unknown command " + quoted(word) + " (try help)"};
}

std::string printable(std::string_view text) {
  static constexpr char kHexDigits[] = "0123456789abcdef";
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = sequenceLength(text.substr(i));
    if (length == 0 || lead < 0x20 || lead == 0x7F) {
      shown += "\\x";
      shown += kHexDigits[lead >> 4];
      shown += kHexDigits[lead & 0xF];
      ++i;
      continue;
    }
    shown.append(text.substr(i, length));
    i += length;
  }
  return shown;
}

std::string helpText() {
  return std::string(kScreenUsage) + " | " + kDockUsage + " | " + kPointerUsage + " | " +
         kScrollUsage + " | " + kClickUsage + " | " + kChooseUsage + " | dismiss | hotkey | " +
         kWaitUsage + " | show | " + kIconUsage + " | " + kUrlUsage + " | help";
}

}  // namespace velmoryn::control
