#include "dock/dock_settings_backup.h"

#include <cmath>

#include "dock/tool_output.h"

namespace velmoryn {
namespace {

// A read for the record that failed is tried once more; nothing when it
// failed both times.
std::optional<std::optional<std::string>> readTwice(const Prefs& prefs, const char* key) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    PrefRead read = prefs.read(key);
    if (read.outcome == PrefOutcome::done) return std::move(read.value);
  }
  return std::nullopt;
}

// Infinity and not-a-number are not delays: they read as text that does not
// parse, and one left in an old record is treated as absent.
std::optional<double> finiteDelay(std::optional<double> delay) {
  if (delay && !std::isfinite(*delay)) return std::nullopt;
  return delay;
}

}  // namespace

DockSettingsBackup::DockSettingsBackup(SettingsStore& store, Prefs prefs, double appDelay)
    : store(store), prefs(std::move(prefs)), appDelay(appDelay) {}

// Only the Boolean the program writes marks a record. A hand-edited text such
// as "yes" reads as true by the platform's rules, yet a record it marked would
// hold no usable values, and its restore would delete the user's own.
bool DockSettingsBackup::hasSaved() const {
  const auto marker = store.object(savedKey);
  const auto* saved = marker ? std::get_if<bool>(&*marker) : nullptr;
  return saved && *saved;
}

DockSettingsBackup::SaveOutcome DockSettingsBackup::saveIfNeeded() {
  if (hasSaved()) return SaveOutcome::onDisk;

  const auto delayText = readTwice(prefs, delayKey);
  if (!delayText) return SaveOutcome::notRead;
  const auto autohide = readTwice(prefs, autohideKey);
  if (!autohide) return SaveOutcome::notRead;

  // The program's own delay is never taken for the user's: restore then deletes it.
  std::optional<double> delay;
  if (*delayText) delay = finiteDelay(parseWholeNumber(**delayText));
  if (delay && *delay != appDelay) {
    store.setDouble(savedDelayKey, *delay);
  } else {
    store.remove(savedDelayKey);
  }

  if (*autohide == "1" || *autohide == "true") {
    store.setBool(savedAutohideKey, true);
  } else if (*autohide == "0" || *autohide == "false") {
    store.setBool(savedAutohideKey, false);
  } else {
    store.remove(savedAutohideKey);
  }

  // Last, so that a record is complete whenever the marker says it exists.
  store.setBool(savedKey, true);

  const Record written = record();
  if (store.synchronize() && record() == written) return SaveOutcome::onDisk;
  putBack(written);
  return SaveOutcome::notSaved;
}

void DockSettingsBackup::restore() {
  if (!hasSaved()) return;

  const auto stored = store.object(savedDelayKey);
  std::optional<double> delay;
  if (const auto* real = stored ? std::get_if<double>(&*stored) : nullptr) {
    delay = finiteDelay(*real);
  } else if (const auto* whole = stored ? std::get_if<std::int64_t>(&*stored) : nullptr) {
    delay = static_cast<double>(*whole);
  }
  const PrefOutcome delayDone =
      delay ? prefs.writeFloat(delayKey, *delay) : prefs.delete_(delayKey);

  // After a tool was killed at its limit the next one would most likely hang
  // as well, and a logout does not wait for several limits.
  const auto storedAutohide = store.object(savedAutohideKey);
  const auto* autohide = storedAutohide ? std::get_if<bool>(&*storedAutohide) : nullptr;
  PrefOutcome autohideDone = PrefOutcome::timedOut;
  if (delayDone != PrefOutcome::timedOut) {
    autohideDone = autohide ? prefs.writeBool(autohideKey, *autohide) : prefs.delete_(autohideKey);
  }

  prefs.reload();

  // A value that could not be written back stays on record, so that the next
  // orderly end tries again instead of losing the user's settings for good.
  if (delayDone != PrefOutcome::done || autohideDone != PrefOutcome::done) return;
  store.remove(savedKey);
  store.remove(savedDelayKey);
  store.remove(savedAutohideKey);
  if (store.synchronize()) return;

  // The cleared record may never reach the disk; kept in full, it is at
  // worst written back once more at the next orderly end.
  if (stored) restoreEntry(savedDelayKey, *stored);
  if (storedAutohide) restoreEntry(savedAutohideKey, *storedAutohide);
  store.setBool(savedKey, true);
}

DockSettingsBackup::Record DockSettingsBackup::record() const {
  return {store.object(savedDelayKey), store.object(savedAutohideKey), store.object(savedKey)};
}

// In the same order as a record is made, the marker last.
void DockSettingsBackup::putBack(const Record& entries) {
  restoreEntry(savedDelayKey, entries[0]);
  restoreEntry(savedAutohideKey, entries[1]);
  restoreEntry(savedKey, entries[2]);
}

void DockSettingsBackup::restoreEntry(const char* key, const std::optional<SettingsValue>& value) {
  if (!value) {
    store.remove(key);
  } else if (const auto* b = std::get_if<bool>(&*value)) {
    store.setBool(key, *b);
  } else if (const auto* i = std::get_if<std::int64_t>(&*value)) {
    store.setInteger(key, *i);
  } else if (const auto* d = std::get_if<double>(&*value)) {
    store.setDouble(key, *d);
  }
}

}  // namespace velmoryn
