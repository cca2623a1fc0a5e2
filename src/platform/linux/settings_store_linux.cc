// Main thread only (the free functions are thread-safe).
#include "platform/linux/settings_store_linux.h"

#include <fcntl.h>
#include <plist/plist.h>
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

// The dictionary as the XML reader gives it back: one entry per key, the last
// one where a binary file names a key twice. Every write goes through XML, so
// what the store reads does not change once it has written the file again.
// (Walking the keys instead would trip the library's assertion on a key with
// a NUL inside, and its node copy cuts such strings short.)
plist_t asReadBackFromXml(plist_t dict) {
  char* xml = nullptr;
  std::uint32_t length = 0;
  plist_to_xml(dict, &xml, &length);
  if (!xml) return nullptr;
  plist_t again = nullptr;
  plist_from_memory(xml, length, &again);
  plist_to_xml_free(xml);
  if (again && plist_get_node_type(again) != PLIST_DICT) {
    plist_free(again);
    return nullptr;
  }
  return again;
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

void PlistSettingsStore::PlistFree::operator()(void* node) const {
  plist_free(node);
}

PlistSettingsStore::PlistSettingsStore(fs::path file, Log& log,
                                       std::chrono::milliseconds lockPatience)
    : file(std::move(file)), log(log), lockPatience(lockPatience), root(plist_new_dict()) {
  if (Dictionary loaded = readFile(/*beforeWrite=*/false)) root = std::move(loaded);
  removeStaleTemporaryFiles();
}

PlistSettingsStore::~PlistSettingsStore() = default;

PlistSettingsStore::Dictionary PlistSettingsStore::readFile(bool beforeWrite) {
  const files::FileContents read = files::readRegularFile(file);
  switch (read.failure) {
    case files::ReadFailure::none:
      break;
    case files::ReadFailure::cannotOpen:
      if (read.missing()) return Dictionary(plist_new_dict());  // nothing stored yet
      // Before a write, a file that cannot be opened is no sign of damage; the
      // write meets the same trouble and reports it.
      if (!beforeWrite) moveAside(errnoText(read.code));
      return nullptr;
    case files::ReadFailure::notRegularFile:
      // A FIFO, a device or a folder: never read, so never waited on.
      moveAside("通常のファイルではありません");
      return nullptr;
    case files::ReadFailure::tooLarge:
      moveAside("ファイルが大きすぎます");
      return nullptr;
    case files::ReadFailure::cannotRead:
      moveAside(errnoText(read.code));
      return nullptr;
  }
  const std::string& contents = read.bytes;
  if (contents.empty()) {
    moveAside("空のファイルです");
    return nullptr;
  }
  plist_t parsed = nullptr;
  plist_from_memory(contents.data(), static_cast<std::uint32_t>(contents.size()), &parsed);
  if (!parsed) {
    moveAside("プロパティリストとして読めません");
    return nullptr;
  }
  Dictionary loaded(parsed);
  if (plist_get_node_type(parsed) != PLIST_DICT) {
    moveAside("最上位が辞書ではありません");
    return nullptr;
  }
  // Only a binary file can name a key twice; XML files are read as they are.
  plist_t again = contents.starts_with("bplist") ? asReadBackFromXml(parsed) : nullptr;
  if (again) loaded.reset(again);
  return loaded;
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
  plist_t node = plist_dict_get_item(root.get(), key.c_str());
  if (!node) return std::nullopt;
  StoredValue stored;
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      std::uint8_t value = 0;
      plist_get_bool_val(node, &value);
      stored.kind = StoredValue::Kind::boolean;
      stored.boolean = value != 0;
      break;
    }
    case PLIST_UINT: {
      // The library keeps every integer in 64 bits; a negative one comes
      // back as its two's complement.
      std::uint64_t value = 0;
      plist_get_uint_val(node, &value);
      stored.kind = StoredValue::Kind::integerNumber;
      stored.integer = static_cast<std::int64_t>(value);
      break;
    }
    case PLIST_REAL:
      stored.kind = StoredValue::Kind::floatNumber;
      plist_get_real_val(node, &stored.real);
      break;
    case PLIST_STRING: {
      std::uint64_t length = 0;
      const char* text = plist_get_string_ptr(node, &length);
      stored.kind = StoredValue::Kind::text;
      if (text) stored.text = std::string_view(text, static_cast<std::size_t>(length));
      break;
    }
    default:
      break;  // data, date, array, dictionary: present all the same
  }
  return settingsValueFrom(stored);
}

void PlistSettingsStore::setBool(const std::string& key, bool value) {
  store(key, plist_new_bool(value ? 1 : 0));
}

void PlistSettingsStore::setInteger(const std::string& key, std::int64_t value) {
  store(key, plist_new_uint(static_cast<std::uint64_t>(value)));
}

void PlistSettingsStore::setDouble(const std::string& key, double value) {
  store(key, plist_new_real(value));
}

void PlistSettingsStore::store(const std::string& key, void* node) {
  plist_t existing = plist_dict_get_item(root.get(), key.c_str());
  bool same = existing && plist_get_node_type(existing) == plist_get_node_type(node) &&
              plist_compare_node_value(existing, node);
  if (same) {
    plist_free(node);
    if (dirty) persistChange();
    return;
  }
  changes[key] = Node(plist_copy(node));
  plist_dict_set_item(root.get(), key.c_str(), node);  // takes ownership
  dirty = true;
  persistChange();
}

void PlistSettingsStore::remove(const std::string& key) {
  if (plist_dict_get_item(root.get(), key.c_str())) {
    plist_dict_remove_item(root.get(), key.c_str());
    changes[key] = nullptr;
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
  if (Dictionary current = readFile(/*beforeWrite=*/true)) {
    for (const auto& [key, node] : changes) {
      if (node) {
        plist_dict_set_item(current.get(), key.c_str(), plist_copy(node.get()));
      } else if (plist_dict_get_item(current.get(), key.c_str())) {
        plist_dict_remove_item(current.get(), key.c_str());
      }
    }
    root = std::move(current);
  }
  char* xml = nullptr;
  std::uint32_t length = 0;
  plist_to_xml(root.get(), &xml, &length);
  if (!xml) {
    reportFailure("Velmoryn: 設定を書き出せませんでした（" + file.string() + "）");
    return;
  }
  const std::string written(xml, length);
  plist_to_xml_free(xml);
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
