#include "dock/dock_settings_backup.h"

#include "dock/tool_output.h"

namespace velmoryn {

DockSettingsBackup::DockSettingsBackup(SettingsStore& store, Prefs prefs, double appDelay)
    : store(store), prefs(std::move(prefs)), appDelay(appDelay) {}

bool DockSettingsBackup::hasSaved() const {
  return store.boolForKey(savedKey);
}

void DockSettingsBackup::saveIfNeeded() {
  if (hasSaved()) return;

  // The program's own delay is never taken for the user's: restore then deletes it.
  std::optional<double> delay;
  if (auto text = prefs.read(delayKey)) delay = parseWholeNumber(*text);
  if (delay && *delay != appDelay) {
    store.setDouble(savedDelayKey, *delay);
  } else {
    store.remove(savedDelayKey);
  }

  const auto autohide = prefs.read(autohideKey);
  if (autohide == "1" || autohide == "true") {
    store.setBool(savedAutohideKey, true);
  } else if (autohide == "0" || autohide == "false") {
    store.setBool(savedAutohideKey, false);
  } else {
    store.remove(savedAutohideKey);
  }

  // Last, so that a record is complete whenever the marker says it exists.
  store.setBool(savedKey, true);
}

void DockSettingsBackup::restore() {
  if (!hasSaved()) return;

  bool written = true;
  const auto delay = store.object(savedDelayKey);
  if (delay && std::holds_alternative<double>(*delay)) {
    written &= prefs.writeFloat(delayKey, std::get<double>(*delay));
  } else if (delay && std::holds_alternative<std::int64_t>(*delay)) {
    written &= prefs.writeFloat(delayKey, static_cast<double>(std::get<std::int64_t>(*delay)));
  } else {
    written &= prefs.delete_(delayKey);
  }

  const auto autohide = store.object(savedAutohideKey);
  if (autohide && std::holds_alternative<bool>(*autohide)) {
    written &= prefs.writeBool(autohideKey, std::get<bool>(*autohide));
  } else {
    written &= prefs.delete_(autohideKey);
  }

  prefs.reload();

  // A value that could not be written back stays on record, so that the next
  // orderly end tries again instead of losing the user's settings for good.
  if (!written) return;
  store.remove(savedKey);
  store.remove(savedDelayKey);
  store.remove(savedAutohideKey);
  store.synchronize();
}

}  // namespace velmoryn
