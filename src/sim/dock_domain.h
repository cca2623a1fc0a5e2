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

#include "platform/linux/property_list_linux.h"

namespace velmoryn::dockdomain {

// How long a change waits for another process's lock on the domain before it fails.
inline constexpr std::chrono::milliseconds kLockPatience{2000};

// <root>/Library/Preferences/com.apple.dock.plist
std::filesystem::path domainFile(const std::filesystem::path& root);
// <root>/Library/Dock/restarts: how often the Dock was restarted, as decimal text.
std::filesystem::path restartsFile(const std::filesystem::path& root);

// A whole domain, owned: keys of types other than Value's are kept as they
// are when it is written back.
using Domain = plist::Dictionary;
using Value = plist::Scalar;

// The value under `key` as `defaults read` prints it (without the final line
// break); none when the key is missing.
std::optional<std::string> defaultsText(const Domain& domain, const std::string& key);
// The whole domain as `defaults read DOMAIN` prints it.
std::string defaultsText(const Domain& domain);
// The type `defaults read-type` names: "boolean", "float", "integer",
// "string", "array", "dictionary", "data", "date".
std::optional<std::string> defaultsTypeName(const Domain& domain, const std::string& key);

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
// The count in the bytes of the restarts file; 0 when there is none.
long parseRestarts(const std::optional<std::string>& bytes);

}  // namespace velmoryn::dockdomain
