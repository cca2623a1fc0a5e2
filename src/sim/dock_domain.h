// The simulated Dock's preference domain (kDockDomain): an XML property
// list under a root directory, read without a lock and changed atomically
// (temporary file, fsync, rename) under an advisory lock, so a reader always
// sees the old or the new file whole. Shared by the stand-in tools and the
// simulated desktop. Any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace velmoryn::dockdomain {

// How long a change waits for another process's lock on the domain before it fails.
inline constexpr std::chrono::milliseconds kLockPatience{2000};

// <root>/Library/Preferences/com.apple.dock.plist
std::filesystem::path domainFile(const std::filesystem::path& root);
// <root>/Library/Dock/restarts: how often the Dock was restarted, as decimal text.
std::filesystem::path restartsFile(const std::filesystem::path& root);

using Value = std::variant<bool, std::int64_t, double, std::string>;

// A whole domain, owned. Keys of types other than the four above are kept
// as they are when the domain is written back.
class Domain {
 public:
  Domain();  // empty
  ~Domain();
  Domain(Domain&& other) noexcept;
  Domain& operator=(Domain&& other) noexcept;
  Domain(const Domain&) = delete;
  Domain& operator=(const Domain&) = delete;

  bool has(const std::string& key) const;
  std::vector<std::string> keys() const;
  std::optional<Value> value(const std::string& key) const;
  // The value as `defaults read` prints it (without the final line break);
  // none when the key is missing.
  std::optional<std::string> text(const std::string& key) const;
  // "boolean", "float", "integer", "string", "array", "dictionary", "data", "date".
  std::optional<std::string> typeName(const std::string& key) const;
  // The whole domain as `defaults read DOMAIN` prints it.
  std::string text() const;

  void set(const std::string& key, const Value& value);
  bool remove(const std::string& key);  // false when the key was missing

  std::string toXml() const;
  static std::optional<Domain> fromXml(const std::string& bytes);

 private:
  void* dict;  // plist_t, kept out of the header
};

// `unreadable`: something is there but not a domain: damaged, too large, or
// no regular file at all (a FIFO, a device, a folder), which is never read.
enum class LoadStatus { ok, missing, unreadable };

struct Loaded {
  LoadStatus status = LoadStatus::missing;
  Domain domain;  // empty unless ok
  std::string error;
};

Loaded load(const std::filesystem::path& root);

enum class EditOutcome { changed, unchanged, failed };

// Under the domain's lock: loads the domain (a missing one starts empty,
// with `existed` false), lets `change` change it, and writes it back
// atomically when it answers `changed`. An unreadable file is never
// overwritten, and a lock another process keeps past kLockPatience fails the
// edit. `error` receives a readable reason when the outcome is `failed`.
EditOutcome edit(
    const std::filesystem::path& root,
    const std::function<EditOutcome(Domain&, bool existed, std::string& error)>& change,
    std::string& error);

// Removes the whole domain file under the lock: `unchanged` when there was none.
EditOutcome removeDomain(const std::filesystem::path& root, std::string& error);

// Adds one Dock restart to the counter, under the domain's lock.
bool countRestart(const std::filesystem::path& root, std::string& error);
long restarts(const std::filesystem::path& root);
// The count in the bytes of the restarts file; 0 when there is none.
long parseRestarts(const std::optional<std::string>& bytes);

}  // namespace velmoryn::dockdomain
