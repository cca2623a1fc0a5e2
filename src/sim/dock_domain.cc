// Any thread: every call opens its own files; writers meet at the lock file.
#include "sim/dock_domain.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <system_error>

#include "platform/clock.h"
#include "platform/dock_tools.h"
#include "platform/linux/files_linux.h"
#include "platform/posix/file_lock.h"
#include "sim/number_format.h"

namespace velmoryn::dockdomain {
namespace {

namespace fs = std::filesystem;

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

std::string dateText(double sinceReferenceDate) {
  const auto unixTime = static_cast<std::time_t>(sinceReferenceDate + kReferenceDateInUnixTime);
  std::tm tm{};
  gmtime_r(&unixTime, &tm);
  char buffer[64];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S +0000", &tm);
  return buffer;
}

std::string dataText(const std::string& bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text = "{length = " + std::to_string(bytes.size()) + ", bytes = 0x";
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    text += kHex[b >> 4];
    text += kHex[b & 15];
  }
  return text + "}";
}

std::string indentOf(int depth) {
  return std::string(static_cast<std::size_t>(depth) * 4, ' ');
}

// A value as `defaults` prints it; nested strings are quoted as in the
// old-style property-list text that it uses for arrays and dictionaries.
std::string format(const plist::ValueView& value, int depth, bool nested) {
  switch (value.type()) {
    case plist::Type::boolean:
      return std::get<bool>(*value.scalar()) ? "1" : "0";
    case plist::Type::integer:
      return std::to_string(std::get<std::int64_t>(*value.scalar()));
    case plist::Type::real:
      return formatNumber(std::get<double>(*value.scalar()));
    case plist::Type::string: {
      const std::string text = std::get<std::string>(*value.scalar());
      return nested ? quoteIfNeeded(text) : text;
    }
    case plist::Type::date:
      return nested ? quoteIfNeeded(dateText(value.date())) : dateText(value.date());
    case plist::Type::data:
      return dataText(value.data());
    case plist::Type::array: {
      const std::vector<plist::ValueView> items = value.items();
      if (items.empty()) return "(\n" + indentOf(depth) + ")";
      std::string text = "(\n";
      for (std::size_t i = 0; i < items.size(); ++i) {
        text += indentOf(depth + 1) + format(items[i], depth + 1, true);
        text += i + 1 < items.size() ? ",\n" : "\n";
      }
      return text + indentOf(depth) + ")";
    }
    case plist::Type::dictionary: {
      std::string text = "{\n";
      for (const auto& [key, item] : value.entries())
        text += indentOf(depth + 1) + quoteIfNeeded(key) + " = " + format(item, depth + 1, true) +
                ";\n";
      return text + indentOf(depth) + "}";
    }
    case plist::Type::other:
      break;
  }
  return "";
}

// The names `defaults read-type` gives the types, in the order of plist::Type.
constexpr const char* kTypeNames[] = {"boolean", "integer", "float",      "string", "date",
                                      "data",    "array",   "dictionary", "unknown"};
static_assert(std::size(kTypeNames) == static_cast<std::size_t>(plist::Type::other) + 1);

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

std::optional<std::string> defaultsText(const Domain& domain, const std::string& key) {
  const std::optional<plist::ValueView> value = domain.find(key);
  if (!value) return std::nullopt;
  return format(*value, 0, false);
}

std::string defaultsText(const Domain& domain) {
  return format(domain.view(), 0, false);
}

std::optional<std::string> defaultsTypeName(const Domain& domain, const std::string& key) {
  const std::optional<plist::ValueView> value = domain.find(key);
  if (!value) return std::nullopt;
  return std::string(kTypeNames[static_cast<std::size_t>(value->type())]);
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
  auto parsed = Domain::parse(read.bytes);
  auto* domain = std::get_if<Domain>(&parsed);
  if (domain == nullptr) {
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
  if (!writeAtomically(domainFile(root), loaded.domain.xml().value_or(""), error))
    return EditOutcome::failed;
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

bool countRestart(const fs::path& root, std::string& error) {
  DomainLock lock(root);
  if (!lock.held()) {
    error = lock.error;
    return false;
  }
  return writeAtomically(
      restartsFile(root),
      std::to_string(parseRestarts(files::readAll(restartsFile(root))) + 1) + "\n", error);
}

}  // namespace velmoryn::dockdomain
