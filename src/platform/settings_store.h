// The program's own per-user settings store: typed values, an absent key
// distinct from a stored false or 0, persistence across runs. Main thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/stored_value.h"

namespace velmoryn {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  // Whatever is stored, of any type; nothing when the key is absent.
  virtual std::optional<SettingsValue> object(const std::string& key) const = 0;
  virtual void setBool(const std::string& key, bool value) = 0;
  virtual void setInteger(const std::string& key, std::int64_t value) = 0;
  virtual void setDouble(const std::string& key, double value) = 0;
  virtual void remove(const std::string& key) = 0;
  // Writes the store out now. True only when the store's values are on disk
  // and read back from it, so that they outlast a crash; false when they may
  // be lost at the end of the process.
  virtual bool synchronize() = 0;

  // The stored value read as the platform reads a Boolean; false when absent.
  bool boolForKey(const std::string& key) const {
    const auto value = object(key);
    return value && readsAsTrue(*value);
  }
};

}  // namespace velmoryn
