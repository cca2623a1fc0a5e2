// The record of the user's own Dock autohide and delay, kept in the program's
// settings store from before the first change until it has been written back.
// Main thread only.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/settings_store.h"

namespace velmoryn {

// The five operations on the Dock's preference domain. The writes and the
// delete answer true when the tool ran and succeeded.
struct Prefs {
  std::function<std::optional<std::string>(const std::string& key)> read;
  std::function<bool(const std::string& key, double value)> writeFloat;
  std::function<bool(const std::string& key, bool value)> writeBool;
  std::function<bool(const std::string& key)> delete_;  // "delete" is taken by the language
  std::function<void()> reload;
};

class DockSettingsBackup {
 public:
  static constexpr const char* delayKey = "autohide-delay";
  static constexpr const char* autohideKey = "autohide";

  static constexpr const char* savedKey = "originalDock.saved";
  static constexpr const char* savedDelayKey = "originalDock.autohideDelay";
  static constexpr const char* savedAutohideKey = "originalDock.autohide";

  DockSettingsBackup(SettingsStore& store, Prefs prefs, double appDelay);

  bool hasSaved() const;
  void saveIfNeeded();
  void restore();

 private:
  SettingsStore& store;  // safe because the store lives until the process ends
  Prefs prefs;
  double appDelay;
};

}  // namespace velmoryn
