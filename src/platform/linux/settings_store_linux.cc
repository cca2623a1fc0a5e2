// Main thread only (the free functions are thread-safe).
#include "platform/linux/settings_store_linux.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <system_error>
#include <type_traits>
#include <variant>
#include <vector>

#include "platform/linux/files_linux.h"
#include "platform/posix/file_lock.h"

namespace velmoryn {
namespace fs = std::filesystem;

namespace {

// A temporary file this old belongs to a writer that died; a younger one may
// belong to another instance writing right now.
constexpr auto kStaleTemporaryAge = std::chrono::hours(1);

std::string errnoText(int code) {
  return std::strerror(code);
}

std::string localTimestamp() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return text;
}

// Moves `from` to `to` only when nothing is at `to` yet.
bool renameNoReplace(const fs::path& from, const fs::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // The file system cannot refuse to replace; check first instead.
  struct stat info {};
  if (::lstat(to.c_str(), &info) == 0) {
    errno = EEXIST;
    return false;
  }
  return ::rename(from.c_str(), to.c_str()) == 0;
}

// A value in the terms every settings store describes its values in; a text
// points into `value`.
StoredValue storedValueOf(const plist::Scalar& value) {
  StoredValue stored;
  std::visit(
      [&stored](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool>) {
          stored.kind = StoredValue::Kind::boolean;
          stored.boolean = v;
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          stored.kind = StoredValue::Kind::integerNumber;
          stored.integer = v;
        } else if constexpr (std::is_same_v<T, double>) {
          stored.kind = StoredValue::Kind::floatNumber;
          stored.real = v;
        } else {
          stored.kind = StoredValue::Kind::text;
          stored.text = v;
        }
      },
      value);
  return stored;
}

// The names files::writeAtomically() gives its temporary files for `file`.
bool isTemporaryFileOf(const fs::path& file, const std::string& name) {
  const std::string prefix = "." + file.filename().string() + ".tmp-";
  return name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

fs::path defaultSettingsPath() {
  return files::userConfigDir() / "velmoryn" / "preferences.plist";
}

PlistSettingsStore::PlistSettingsStore(fs::path file, Log& log,
                                       std::chrono::milliseconds lockPatience)
    : file(std::move(file)), log(log), lockPatience(lockPatience) {
  if (auto loaded = readFile(/*beforeWrite=*/false)) root = std::move(*loaded);
  removeStaleTemporaryFiles();
}

PlistSettingsStore::~PlistSettingsStore() = default;

std::optional<plist::Dictionary> PlistSettingsStore::readFile(bool beforeWrite) {
  const files::FileContents read = files::readRegularFile(file);
  switch (read.failure) {
    case files::ReadFailure::none:
      break;
    case files::ReadFailure::cannotOpen:
      if (read.missing()) return plist::Dictionary();  // nothing stored yet
      // Before a write, a file that cannot be opened is no sign of damage; the
      // write meets the same trouble and reports it.
      if (!beforeWrite) moveAside(errnoText(read.code));
      return std::nullopt;
    case files::ReadFailure::notRegularFile:
      // A FIFO, a device or a folder: never read, so never waited on.
      moveAside("通常のファイルではありません");
      return std::nullopt;
    case files::ReadFailure::tooLarge:
      moveAside("ファイルが大きすぎます");
      return std::nullopt;
    case files::ReadFailure::cannotRead:
      moveAside(errnoText(read.code));
      return std::nullopt;
  }
  if (read.bytes.empty()) {
    moveAside("空のファイルです");
    return std::nullopt;
  }
  auto parsed = plist::Dictionary::parse(read.bytes);
  if (auto* loaded = std::get_if<plist::Dictionary>(&parsed)) return std::move(*loaded);
  moveAside(std::get<plist::Dictionary::ParseError>(parsed) ==
                    plist::Dictionary::ParseError::notADictionary
                ? "最上位が辞書ではありません"
                : "プロパティリストとして読めません");
  return std::nullopt;
}

// Beside the file, and beside the file its link names, where a linked file is written.
void PlistSettingsStore::removeStaleTemporaryFiles() {
  const auto now = fs::file_time_type::clock::now();
  std::vector<fs::path> places = {file};
  if (auto target = files::resolveLinks(file); target && *target != file) places.push_back(*target);
  for (const fs::path& place : places) {
    std::error_code error;
    const fs::path folder = place.parent_path().empty() ? fs::path(".") : place.parent_path();
    for (const auto& entry : fs::directory_iterator(folder, error)) {
      if (!isTemporaryFileOf(place, entry.path().filename().string())) continue;
      std::error_code ignored;
      auto written = fs::last_write_time(entry.path(), ignored);
      if (!ignored && now - written > kStaleTemporaryAge) fs::remove(entry.path(), ignored);
    }
  }
}

// The user's data is never overwritten: what cannot be read is kept under a
// new name for the user to inspect, and the store starts empty.
bool PlistSettingsStore::moveAside(const std::string& reason) {
  unreadableReason = reason;
  std::string base = file.string() + ".unreadable-" + localTimestamp();
  fs::path aside = base;
  for (int attempt = 2; attempt < 100; ++attempt) {
    if (renameNoReplace(file, aside)) {
      fileInTheWay = false;
      log.write("Velmoryn: 設定ファイル " + file.string() + " を読み込めないため " +
                aside.string() + " に移し、空の設定で始めます（" + reason + "）");
      return true;
    }
    if (errno == ENOENT) {  // gone meanwhile: nothing left to protect
      fileInTheWay = false;
      return true;
    }
    if (errno != EEXIST) break;
    aside = base + "-" + std::to_string(attempt);
  }
  fileInTheWay = true;
  reportFailure("Velmoryn: 設定ファイル " + file.string() + " を読み込めず、退避もできません（" +
                reason + "、" + errnoText(errno) +
                "）。このファイルには書き込まず、設定はメモリ上だけに保ちます");
  return false;
}

std::optional<SettingsValue> PlistSettingsStore::object(const std::string& key) const {
  const std::optional<plist::ValueView> found = root.find(key);
  if (!found) return std::nullopt;
  const std::optional<plist::Scalar> value = found->scalar();
  // Data, dates, arrays and dictionaries are present all the same.
  return settingsValueFrom(value ? storedValueOf(*value) : StoredValue{});
}

void PlistSettingsStore::setBool(const std::string& key, bool value) {
  store(key, value);
}

void PlistSettingsStore::setInteger(const std::string& key, std::int64_t value) {
  store(key, value);
}

void PlistSettingsStore::setDouble(const std::string& key, double value) {
  store(key, value);
}

void PlistSettingsStore::store(const std::string& key, const plist::Scalar& value) {
  const std::optional<plist::ValueView> existing = root.find(key);
  if (existing && existing->scalar() == value) {
    if (dirty) persistChange();
    return;
  }
  changes[key] = value;
  root.set(key, value);
  dirty = true;
  persistChange();
}

void PlistSettingsStore::remove(const std::string& key) {
  if (root.remove(key)) {
    changes[key] = std::nullopt;
    dirty = true;
  }
  if (dirty) persistChange();
}

bool PlistSettingsStore::synchronize() {
  if (dirty) persist(lockPatience);
  return !dirty;
}

// Once a holder has outwaited the patience, later changes only try the lock:
// a stuck holder costs each of them nothing, and synchronize() still waits.
void PlistSettingsStore::persistChange() {
  persist(lockStuck ? std::chrono::milliseconds(0) : lockPatience);
}

// Another process (a "--login" run beside the running program) may have
// written the file since it was loaded: under the folder's lock, the file is
// read again and only the keys this process changed are applied to it. The
// file is read back after the write: only what is there counts as saved.
void PlistSettingsStore::persist(std::chrono::milliseconds patience) {
  if (fileInTheWay && !moveAside(unreadableReason)) return;
  const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
  // The folder's lock, held while this writer reads the file again and
  // replaces it, so that writers in different processes take turns. Without
  // the folder (it cannot be created), or on a file system that cannot lock,
  // there is nothing to wait for, and the write that follows reports any trouble.
  files::makeFolders(folder);
  const FileLock lock(folder, O_RDONLY | O_DIRECTORY, 0, patience);
  lockStuck = lock.outcome() == FileLock::Outcome::busy;
  if (lockStuck) {
    reportFailure("Velmoryn: 設定を " + file.string() + " に保存できません（フォルダ " +
                  folder.string() +
                  " のロックを他のプロセスが持ったままです）。値はメモリ上に保ち、"
                  "次の変更か同期のときにもう一度保存します");
    return;
  }
  if (auto current = readFile(/*beforeWrite=*/true)) {
    for (const auto& [key, value] : changes) {
      if (value) {
        current->set(key, *value);
      } else {
        current->remove(key);
      }
    }
    root = std::move(*current);
  }
  const std::optional<std::string> xml = root.xml();
  if (!xml) {
    reportFailure("Velmoryn: 設定を書き出せませんでした（" + file.string() + "）");
    return;
  }
  const std::string& written = *xml;
  const std::string cannotSave = "Velmoryn: 設定を " + file.string() + " に保存できません（";
  const std::string keptInMemory =
      "）。値はメモリ上に保ち、次の変更か同期のときにもう一度保存します";
  if (auto error = files::writeAtomically(file, written, 0600)) {
    reportFailure(cannotSave + error->step + " " + error->path.string() + ": " +
                  errnoText(error->code) + keptInMemory);
    return;
  }
  const files::FileContents back = files::readRegularFile(file);
  if (!back.ok() || back.bytes != written) {
    reportFailure(cannotSave + "書いた内容を読み戻せません" + keptInMemory);
    return;
  }
  changes.clear();
  dirty = false;
  if (!lastFailure.empty()) {
    lastFailure.clear();
    log.write("Velmoryn: 設定を " + file.string() + " に保存できました");
  }
}

void PlistSettingsStore::reportFailure(const std::string& line) {
  if (line == lastFailure) return;
  lastFailure = line;
  log.write(line);
}

}  // namespace velmoryn
