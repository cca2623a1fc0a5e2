// Any thread: every call opens its own files; writers meet at the lock file.
#include "sim/dock_domain.h"

#include <fcntl.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <system_error>

#include "platform/clock.h"
#include "platform/dock_tools.h"
#include "platform/linux/files_linux.h"
#include "platform/posix/file_lock.h"
#include "sim/number_format.h"

namespace velmoryn::dockdomain {
namespace {

namespace fs = std::filesystem;

plist_t asPlist(void* p) {
  return static_cast<plist_t>(p);
}

std::string errnoText(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

// The lock on a file beside the domain, held for its scope by every writer.
// Another holder is waited for only up to kLockPatience: a process that keeps
// the lock fails the tool run (or the in-process AppleScript) that wanted it,
// rather than stopping it.
class DomainLock {
 public:
  explicit DomainLock(const fs::path& root) {
    const fs::path dir = domainFile(root).parent_path();
    files::makeFolders(dir);  // a failure shows when the lock file cannot be made
    const fs::path lockFile = dir / (std::string(kDockDomain) + ".plist.lock");
    lock = FileLock(lockFile, O_RDWR | O_CREAT, 0644, kLockPatience);
    if (lock.outcome() == FileLock::Outcome::busy)
      error = "cannot lock " + lockFile.string() + ": another process has held it for " +
              std::to_string(kLockPatience.count() / 1000) + " seconds";
    else
      error = lock.reason();
  }

  bool held() const { return lock.outcome() == FileLock::Outcome::held; }
  std::string error;

 private:
  FileLock lock;
};

bool isBareWord(const std::string& text) {
  if (text.empty()) return false;
  for (const unsigned char c : text) {
    if (!(std::isalnum(c) || c == '_' || c == '.')) return false;
  }
  return true;
}

std::string quoteIfNeeded(const std::string& text) {
  if (isBareWord(text)) return text;
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out + "\"";
}

std::string stringOf(plist_t node) {
  char* value = nullptr;
  plist_get_string_val(node, &value);
  std::string text = value != nullptr ? value : "";
  std::free(value);
  return text;
}

std::string dateText(plist_t node) {
  int32_t sec = 0, usec = 0;
  plist_get_date_val(node, &sec, &usec);
  const std::time_t unixTime = static_cast<std::time_t>(sec + kReferenceDateInUnixTime);
  std::tm tm{};
  gmtime_r(&unixTime, &tm);
  char buffer[64];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S +0000", &tm);
  return buffer;
}

std::string dataText(plist_t node) {
  char* bytes = nullptr;
  uint64_t length = 0;
  plist_get_data_val(node, &bytes, &length);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text = "{length = " + std::to_string(length) + ", bytes = 0x";
  for (uint64_t i = 0; i < length; ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    text += kHex[b >> 4];
    text += kHex[b & 15];
  }
  std::free(bytes);
  return text + "}";
}

std::string indentOf(int depth) {
  return std::string(static_cast<std::size_t>(depth) * 4, ' ');
}

// A value as `defaults` prints it; nested strings are quoted as in the
// old-style property-list text that it uses for arrays and dictionaries.
std::string format(plist_t node, int depth, bool nested) {
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t b = 0;
      plist_get_bool_val(node, &b);
      return b ? "1" : "0";
    }
    case PLIST_UINT: {
      uint64_t u = 0;
      plist_get_uint_val(node, &u);
      return std::to_string(static_cast<std::int64_t>(u));
    }
    case PLIST_REAL: {
      double d = 0;
      plist_get_real_val(node, &d);
      return formatNumber(d);
    }
    case PLIST_STRING: {
      std::string text = stringOf(node);
      return nested ? quoteIfNeeded(text) : text;
    }
    case PLIST_DATE:
      return nested ? quoteIfNeeded(dateText(node)) : dateText(node);
    case PLIST_DATA:
      return dataText(node);
    case PLIST_ARRAY: {
      const uint32_t size = plist_array_get_size(node);
      if (size == 0) return "(\n" + indentOf(depth) + ")";
      std::string text = "(\n";
      for (uint32_t i = 0; i < size; ++i) {
        text += indentOf(depth + 1) + format(plist_array_get_item(node, i), depth + 1, true);
        text += i + 1 < size ? ",\n" : "\n";
      }
      return text + indentOf(depth) + ")";
    }
    case PLIST_DICT: {
      std::string text = "{\n";
      plist_dict_iter it = nullptr;
      plist_dict_new_iter(node, &it);
      for (;;) {
        char* key = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(node, it, &key, &item);
        if (item == nullptr) break;
        text += indentOf(depth + 1) + quoteIfNeeded(key != nullptr ? key : "") + " = " +
                format(item, depth + 1, true) + ";\n";
        std::free(key);
      }
      std::free(it);
      return text + indentOf(depth) + "}";
    }
    default:
      return "";
  }
}

const char* typeNameOf(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN:
      return "boolean";
    case PLIST_UINT:
      return "integer";
    case PLIST_REAL:
      return "float";
    case PLIST_STRING:
      return "string";
    case PLIST_ARRAY:
      return "array";
    case PLIST_DICT:
      return "dictionary";
    case PLIST_DATE:
      return "date";
    case PLIST_DATA:
      return "data";
    default:
      return "unknown";
  }
}

// The domain's and the counter's files, replaced whole; the error in the
// words the stand-in tools print.
bool writeAtomically(const fs::path& file, const std::string& bytes, std::string& error) {
  const auto failure = files::writeAtomically(file, bytes, 0644);
  if (!failure) return true;
  const std::string reason = std::strerror(failure->code);
  if (failure->step == "create folder") {
    error = "cannot create " + failure->path.string() + ": " + reason;
  } else if (failure->step == "create temporary file") {
    error = "cannot create a temporary file in " + failure->path.string() + ": " + reason;
  } else if (failure->step == "rename") {
    error = "cannot replace " + failure->path.string() + ": " + reason;
  } else {
    error = "cannot write " + failure->path.string() + ": " + reason;
  }
  return false;
}

}  // namespace

fs::path domainFile(const fs::path& root) {
  return root / "Library" / "Preferences" / (std::string(kDockDomain) + ".plist");
}

fs::path restartsFile(const fs::path& root) {
  return root / "Library" / "Dock" / "restarts";
}

Domain::Domain() : dict(plist_new_dict()) {}

Domain::~Domain() {
  if (dict != nullptr) plist_free(asPlist(dict));
}

Domain::Domain(Domain&& other) noexcept : dict(other.dict) {
  other.dict = plist_new_dict();
}

Domain& Domain::operator=(Domain&& other) noexcept {
  if (this != &other) std::swap(dict, other.dict);
  return *this;
}

bool Domain::has(const std::string& key) const {
  return plist_dict_get_item(asPlist(dict), key.c_str()) != nullptr;
}

std::vector<std::string> Domain::keys() const {
  std::vector<std::string> names;
  plist_dict_iter it = nullptr;
  plist_dict_new_iter(asPlist(dict), &it);
  for (;;) {
    char* key = nullptr;
    plist_t item = nullptr;
    plist_dict_next_item(asPlist(dict), it, &key, &item);
    if (item == nullptr) break;
    names.emplace_back(key != nullptr ? key : "");
    std::free(key);
  }
  std::free(it);
  return names;
}

std::optional<Value> Domain::value(const std::string& key) const {
  plist_t node = plist_dict_get_item(asPlist(dict), key.c_str());
  if (node == nullptr) return std::nullopt;
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t b = 0;
      plist_get_bool_val(node, &b);
      return Value{b != 0};
    }
    case PLIST_UINT: {
      uint64_t u = 0;
      plist_get_uint_val(node, &u);
      return Value{static_cast<std::int64_t>(u)};
    }
    case PLIST_REAL: {
      double d = 0;
      plist_get_real_val(node, &d);
      return Value{d};
    }
    case PLIST_STRING:
      return Value{stringOf(node)};
    default:
      return std::nullopt;
  }
}

std::optional<std::string> Domain::text(const std::string& key) const {
  plist_t node = plist_dict_get_item(asPlist(dict), key.c_str());
  if (node == nullptr) return std::nullopt;
  return format(node, 0, false);
}

std::optional<std::string> Domain::typeName(const std::string& key) const {
  plist_t node = plist_dict_get_item(asPlist(dict), key.c_str());
  if (node == nullptr) return std::nullopt;
  return std::string(typeNameOf(node));
}

std::string Domain::text() const {
  return format(asPlist(dict), 0, false);
}

void Domain::set(const std::string& key, const Value& value) {
  plist_t node = std::visit(
      [](const auto& v) -> plist_t {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool>) {
          return plist_new_bool(v ? 1 : 0);
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          return plist_new_uint(static_cast<uint64_t>(v));  // read back as signed
        } else if constexpr (std::is_same_v<T, double>) {
          return plist_new_real(v);
        } else {
          return plist_new_string(v.c_str());
        }
      },
      value);
  plist_dict_set_item(asPlist(dict), key.c_str(), node);  // frees a value it replaces
}

bool Domain::remove(const std::string& key) {
  if (!has(key)) return false;
  plist_dict_remove_item(asPlist(dict), key.c_str());
  return true;
}

std::string Domain::toXml() const {
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(asPlist(dict), &xml, &length);
  std::string bytes(xml != nullptr ? xml : "", xml != nullptr ? length : 0);
  std::free(xml);
  return bytes;
}

std::optional<Domain> Domain::fromXml(const std::string& bytes) {
  if (bytes.empty() || bytes.size() > UINT32_MAX) return std::nullopt;
  plist_t parsed = nullptr;
  plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &parsed);
  if (parsed == nullptr) return std::nullopt;
  if (plist_get_node_type(parsed) != PLIST_DICT) {
    plist_free(parsed);
    return std::nullopt;
  }
  Domain domain;
  plist_free(asPlist(domain.dict));
  domain.dict = parsed;
  return domain;
}

Loaded load(const fs::path& root) {
  Loaded loaded;
  const fs::path file = domainFile(root);
  // Never waited on: a FIFO in the file's place is refused, not opened for a writer.
  const files::FileContents read = files::readRegularFile(file);
  if (!read.ok()) {
    loaded.status = read.missing() ? LoadStatus::missing : LoadStatus::unreadable;
    const std::string what = "cannot read " + file.string();
    switch (read.failure) {
      case files::ReadFailure::notRegularFile:
        loaded.error = what + ": not a regular file";
        break;
      case files::ReadFailure::tooLarge:
        loaded.error = what + ": larger than a domain can be";
        break;
      default:
        loaded.error = errnoText(what, read.code);
    }
    return loaded;
  }
  auto domain = Domain::fromXml(read.bytes);
  if (!domain) {
    loaded.status = LoadStatus::unreadable;
    loaded.error = file.string() + " is not a property list";
    return loaded;
  }
  loaded.status = LoadStatus::ok;
  loaded.domain = std::move(*domain);
  return loaded;
}

EditOutcome edit(
    const fs::path& root,
    const std::function<EditOutcome(Domain&, bool existed, std::string& error)>& change,
    std::string& error) {
  DomainLock lock(root);
  if (!lock.held()) {
    error = lock.error;
    return EditOutcome::failed;
  }
  Loaded loaded = load(root);
  if (loaded.status == LoadStatus::unreadable) {
    // Never replace a file we could not read: it may hold the user's settings.
    error = loaded.error;
    return EditOutcome::failed;
  }
  const EditOutcome outcome = change(loaded.domain, loaded.status == LoadStatus::ok, error);
  if (outcome != EditOutcome::changed) return outcome;
  if (!writeAtomically(domainFile(root), loaded.domain.toXml(), error)) return EditOutcome::failed;
  return EditOutcome::changed;
}

EditOutcome removeDomain(const fs::path& root, std::string& error) {
  DomainLock lock(root);
  if (!lock.held()) {
    error = lock.error;
    return EditOutcome::failed;
  }
  if (::unlink(domainFile(root).c_str()) == 0) return EditOutcome::changed;
  if (errno == ENOENT) return EditOutcome::unchanged;
  error = errnoText("cannot remove " + domainFile(root).string(), errno);
  return EditOutcome::failed;
}

long parseRestarts(const std::optional<std::string>& bytes) {
  if (!bytes) return 0;
  long count = 0;
  const auto [end, ec] = std::from_chars(bytes->data(), bytes->data() + bytes->size(), count);
  (void)end;
  return ec == std::errc() && count > 0 ? count : 0;
}

long restarts(const fs::path& root) {
  return parseRestarts(files::readAll(restartsFile(root)));
}

bool countRestart(const fs::path& root, std::string& error) {
  DomainLock lock(root);
  if (!lock.held()) {
    error = lock.error;
    return false;
  }
  return writeAtomically(restartsFile(root), std::to_string(restarts(root) + 1) + "\n", error);
}

}  // namespace velmoryn::dockdomain
