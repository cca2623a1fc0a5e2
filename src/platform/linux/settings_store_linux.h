// The program's per-user settings store on Linux: one XML property list per
// user, written through atomically on every change by the files module's one
// writer. Writers in several processes merge: each write applies only the keys
// its process changed to the file as it is now. Main thread only.
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/linux/property_list_linux.h"
#include "platform/log.h"
#include "platform/settings_store.h"

namespace velmoryn {

// files::userConfigDir()/velmoryn/preferences.plist
std::filesystem::path defaultSettingsPath();

class PlistSettingsStore : public SettingsStore {
 public:
  // How long a write waits for another process's lock on the folder.
  static constexpr std::chrono::milliseconds kLockPatience{2000};

  // Loads the file once. An unreadable file is moved aside, with one log line.
  PlistSettingsStore(std::filesystem::path file, Log& log,
                     std::chrono::milliseconds lockPatience = kLockPatience);
  ~PlistSettingsStore() override;
  PlistSettingsStore(const PlistSettingsStore&) = delete;
  PlistSettingsStore& operator=(const PlistSettingsStore&) = delete;

  // Every property-list type is kept and reads as present.
  std::optional<SettingsValue> object(const std::string& key) const override;
  void setBool(const std::string& key, bool value) override;
  void setInteger(const std::string& key, std::int64_t value) override;
  void setDouble(const std::string& key, double value) override;
  // Removes the entry whatever its type.
  void remove(const std::string& key) override;
  // Writes again when an earlier write failed; true once the file, read
  // back, holds what memory holds.
  bool synchronize() override;

 private:
  // The file's dictionary; empty when there is no file, none when it cannot
  // be read. A damaged file is moved aside; one that cannot be opened only at
  // load, not before a write.
  std::optional<plist::Dictionary> readFile(bool beforeWrite);
  void removeStaleTemporaryFiles();
  bool moveAside(const std::string& reason);
  // Replaces the entry's value unless it already holds the same one.
  void store(const std::string& key, const plist::Scalar& value);
  void persistChange();
  void persist(std::chrono::milliseconds patience);
  void reportFailure(const std::string& line);

  std::filesystem::path file;
  Log& log;
  std::chrono::milliseconds lockPatience;
  bool lockStuck = false;  // the last write found the folder locked by another process
  plist::Dictionary root;
  // Set, or removed (none), since the last write.
  std::map<std::string, std::optional<plist::Scalar>> changes;
  bool dirty = false;         // memory holds changes the file does not
  bool fileInTheWay = false;  // an unreadable file could not be moved aside yet
  std::string unreadableReason;
  std::string lastFailure;  // repeated identical failures are logged once
};

}  // namespace velmoryn
