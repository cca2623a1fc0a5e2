// Property lists through libplist, written once for the settings store and the
// simulated Dock's domain: a dictionary read from XML or binary bytes and
// written as XML, its entries read as the program's scalar types, and a
// read-only view of any value for printing. libplist stays out of this
// header. Any thread; one owner per dictionary.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace velmoryn::plist {

// The types the program reads and writes.
using Scalar = std::variant<bool, std::int64_t, double, std::string>;

enum class Type { boolean, integer, real, string, date, data, array, dictionary, other };

// One value inside a dictionary; valid while the dictionary lives unchanged.
class ValueView {
 public:
  Type type() const;
  // A Boolean, an integer, a real or a string; nothing for the other types.
  std::optional<Scalar> scalar() const;
  // A date, in seconds since the platform's reference date.
  double date() const;
  // The bytes of a data value.
  std::string data() const;
  // The items of an array, and the entries of a dictionary in their order.
  std::vector<ValueView> items() const;
  std::vector<std::pair<std::string, ValueView>> entries() const;

 private:
  friend class Dictionary;
  explicit ValueView(void* node) : node(node) {}
  void* node;  // plist_t, owned by the dictionary
};

class Dictionary {
 public:
  enum class ParseError { notAPropertyList, notADictionary };

  Dictionary();  // empty
  ~Dictionary();
  Dictionary(Dictionary&& other) noexcept;
  Dictionary& operator=(Dictionary&& other) noexcept;
  Dictionary(const Dictionary&) = delete;
  Dictionary& operator=(const Dictionary&) = delete;

  // A dictionary from XML or binary bytes. A binary one is read as its XML
  // would be: a key named twice keeps its last entry, so what is read does
  // not change once it has been written again.
  static std::variant<Dictionary, ParseError> parse(std::string_view bytes);
  // The dictionary as XML; nothing when it cannot be written.
  std::optional<std::string> xml() const;

  std::optional<ValueView> find(const std::string& key) const;
  ValueView view() const;
  // Replaces the entry's value, or adds the entry at the end.
  void set(const std::string& key, const Scalar& value);
  bool remove(const std::string& key);  // false when the key was missing

 private:
  explicit Dictionary(void* adopted) : dict(adopted) {}
  void* dict;  // plist_t
};

}  // namespace velmoryn::plist
