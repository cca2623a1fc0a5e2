// Plain C++ translation of a preference value, as CoreFoundation describes it,
// into the settings store's typed value. Shared by the adapter and its test.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/settings_store.h"

namespace velmoryn::mac {

struct StoredValue {
  enum class Kind { boolean, integerNumber, floatNumber, text, other };
  Kind kind = Kind::other;
  bool boolean = false;
  std::int64_t integer = 0;
  double real = 0;
  std::string_view text;
};

// Foundation's documented rule for a string read as a Boolean: "YES" or "1"
// is true, every other text false.
inline bool textReadsAsTrue(std::string_view text) {
  return text == "YES" || text == "1";
}

// A CFBoolean stays a Boolean (it is not a number); a CFNumber is an integer
// unless CoreFoundation calls it a floating-point type. A value of a kind the
// program never writes (someone edited the store by hand) is still present,
// so presence tests hold; it reads as a Boolean the way Foundation reads it.
inline SettingsValue settingsValueFrom(const StoredValue& value) {
  switch (value.kind) {
    case StoredValue::Kind::boolean:
      return value.boolean;
    case StoredValue::Kind::integerNumber:
      return value.integer;
    case StoredValue::Kind::floatNumber:
      return value.real;
    case StoredValue::Kind::text:
      return textReadsAsTrue(value.text);
    case StoredValue::Kind::other:
      break;
  }
  return false;
}

}  // namespace velmoryn::mac
