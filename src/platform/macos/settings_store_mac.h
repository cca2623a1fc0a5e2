// The program's own preferences domain through CoreFoundation, the same store
// NSUserDefaults reads (the status bar finds its seeded position there).
// Main thread only.
#pragma once

#include "platform/settings_store.h"

namespace velmoryn {

class MacSettingsStore : public SettingsStore {
 public:
  std::optional<SettingsValue> object(const std::string& key) const override;
  void setBool(const std::string& key, bool value) override;
  void setInteger(const std::string& key, std::int64_t value) override;
  void setDouble(const std::string& key, double value) override;
  void remove(const std::string& key) override;
  // CFPreferencesAppSynchronize's answer, which Apple documents as true when
  // the pending changes went to permanent storage and the latest values were
  // read back from it; the core then reads its record back itself.
  bool synchronize() override;
};

}  // namespace velmoryn
