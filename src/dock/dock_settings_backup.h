// The record of the user's own Dock autohide and delay, kept in the program's
// settings store from before the first change until it has been written back.
// Main thread only.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "platform/settings_store.h"

namespace velmoryn {

// How one operation on the Dock's preferences ended: it did its work, or the
// tool failed, or the tool was killed at its time limit.
enum class PrefOutcome { done, failed, timedOut };

// A read that is done holds the value's text, or nothing when the key does not
// exist; one that failed or timed out tells nothing about the key.
struct PrefRead {
  PrefOutcome outcome = PrefOutcome::done;
  std::optional<std::string> value;
};

// The five operations on the Dock's preference domain.
struct Prefs {
  std::function<PrefRead(const std::string& key)> read;
  std::function<PrefOutcome(const std::string& key, double value)> writeFloat;
  std::function<PrefOutcome(const std::string& key, bool value)> writeBool;
  std::function<PrefOutcome(const std::string& key)> delete_;  // "delete" is a keyword
  std::function<void()> reload;
};

class DockSettingsBackup {
 public:
  DockSettingsBackup(SettingsStore& store, Prefs prefs, double appDelay);

  enum class SaveOutcome {
    onDisk,    // recorded now, written out and read back; or recorded before
    notRead,   // a read failed twice: no record taken
    notSaved,  // recorded in memory only: the store could not write it out
  };

  bool hasSaved() const;
  // Takes no record when a read fails twice, and writes a new record out at
  // once. Only a record on disk outlasts a crash, so only then may the program
  // change what a restore would have to undo. A record that did not reach the
  // disk is still kept in memory, so that the quit writes it back.
  SaveOutcome saveIfNeeded();
  // Once a tool has been killed at its time limit the remaining writes are
  // skipped, so a hung tool costs one limit; the record then stays.
  void restore();

 private:
  // The Dock's two preferences, and the record's keys in the program's store.
  static constexpr const char* delayKey = "autohide-delay";
  static constexpr const char* autohideKey = "autohide";
  static constexpr const char* savedKey = "originalDock.saved";
  static constexpr const char* savedDelayKey = "originalDock.autohideDelay";
  static constexpr const char* savedAutohideKey = "originalDock.autohide";

  using Record = std::array<std::optional<SettingsValue>, 3>;
  Record record() const;
  void putBack(const Record& entries);
  void restoreEntry(const char* key, const std::optional<SettingsValue>& value);

  SettingsStore& store;  // safe because the store lives until the process ends
  Prefs prefs;
  double appDelay;
};

}  // namespace velmoryn
