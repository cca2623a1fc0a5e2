// A stored settings value as the core sees it, and the one set of type rules
// that every settings store follows: each adapter describes what it found in
// its property list as a StoredValue and lets settingsValueFrom() and
// readsAsTrue() decide. Plain C++, shared by the macOS and Linux adapters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace velmoryn {

// Data, a date, an array or a dictionary: present, but nothing the program
// reads. It is kept as it is and only counts for presence tests.
struct OtherValue {
  bool operator==(const OtherValue&) const = default;
};

using SettingsValue = std::variant<bool, std::int64_t, double, std::string, OtherValue>;

// What a store found under a key, in the property list's own terms.
struct StoredValue {
  enum class Kind { boolean, integerNumber, floatNumber, text, other };
  Kind kind = Kind::other;
  bool boolean = false;
  std::int64_t integer = 0;
  double real = 0;
  std::string_view text;
};

// A Boolean stays a Boolean (it is never a number), a number keeps its integer
// or floating-point type, a text stays a text, and every other kind is still
// present.
inline SettingsValue settingsValueFrom(const StoredValue& value) {
  switch (value.kind) {
    case StoredValue::Kind::boolean:
      return value.boolean;
    case StoredValue::Kind::integerNumber:
      return value.integer;
    case StoredValue::Kind::floatNumber:
      return value.real;
    case StoredValue::Kind::text:
      return std::string(value.text);
    case StoredValue::Kind::other:
      break;
  }
  return OtherValue{};
}

// Foundation's documented rule for a text read as a Boolean: after leading
// white space, an optional sign and zeros, true on "Y", "y", "T", "t" or a
// digit 1 to 9, whatever follows; false otherwise ("NO", "0", "false", "").
inline bool textReadsAsTrue(std::string_view text) {
  std::size_t i = 0;
  const auto at = [&](std::size_t k) { return k < text.size() ? text[k] : '\0'; };
  while (at(i) == ' ' || (at(i) >= '\t' && at(i) <= '\r')) ++i;
  if (at(i) == '+' || at(i) == '-') ++i;
  while (at(i) == '0') ++i;
  const char c = at(i);
  return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

// The platform's Boolean reading of a stored value: a Boolean as it is, a
// number when it is not zero, a text by the rule above, anything else false.
inline bool readsAsTrue(const SettingsValue& value) {
  if (const auto* b = std::get_if<bool>(&value)) return *b;
  if (const auto* i = std::get_if<std::int64_t>(&value)) return *i != 0;
  if (const auto* d = std::get_if<double>(&value)) return *d != 0.0;
  if (const auto* s = std::get_if<std::string>(&value)) return textReadsAsTrue(*s);
  return false;
}

}  // namespace velmoryn
