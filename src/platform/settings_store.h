// The program's own per-user settings store: typed values, an absent key
// distinct from a stored false or 0, persistence across runs. Main thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace velmoryn {

using SettingsValue = std::variant<bool, std::int64_t, double>;

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  virtual std::optional<SettingsValue> object(const std::string& key) const = 0;
  virtual void setBool(const std::string& key, bool value) = 0;
  virtual void setInteger(const std::string& key, std::int64_t value) = 0;
  virtual void setDouble(const std::string& key, double value) = 0;
  virtual void remove(const std::string& key) = 0;
  virtual void synchronize() = 0;

  // The stored Boolean; a number reads as true when non-zero; false when absent.
  bool boolForKey(const std::string& key) const {
    auto value = object(key);
    if (!value) return false;
    if (auto* b = std::get_if<bool>(&*value)) return *b;
    if (auto* i = std::get_if<std::int64_t>(&*value)) return *i != 0;
    return std::get<double>(*value) != 0.0;
  }
};

}  // namespace velmoryn
