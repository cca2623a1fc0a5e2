// The settings file as the program finds it on disk, whatever is in it. The
// store must never crash on it; a file it cannot read is moved aside, never
// over an earlier one, with one log line saying where, and the store starts
// empty; a readable one is left as it was, and after a change the next run
// reads every entry back as it was read before. What each value type reads as
// is a table of settings_store_test.cc, over this corpus's files.
#include <plist/plist.h>
#include <stdlib.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <variant>
#include <vector>

#include "fakes/fake_platform.h"
#include "fuzz_check.h"
#include "platform/linux/files_linux.h"
#include "platform/linux/property_list_linux.h"
#include "platform/linux/settings_store_linux.h"

namespace {

namespace fs = std::filesystem;
using velmoryn::SettingsValue;

constexpr const char* kAddedKey = "velmoryn.fuzz.added";
constexpr const char* kAgainSuffix = ".set-again";

// A folder of this process's own, in memory where the machine has one, so
// that the store's fsync calls cost little.
const fs::path& folder() {
  static const fs::path made = [] {
    std::string pattern =
        (fs::exists("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string()) +
        "/velmoryn-settings-fuzz-XXXXXX";
    FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr, "a temporary folder");
    fs::path path = pattern;
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(folder(), ignored);
    });
    return path;
  }();
  return made;
}

void emptyFolder() {
  for (const auto& entry : fs::directory_iterator(folder())) fs::remove_all(entry.path());
}

std::string contentsOf(const fs::path& path) {
  return velmoryn::files::readAll(path).value_or("");
}

struct PlistDeleter {
  void operator()(void* node) const { plist_free(node); }
};
using Plist = std::unique_ptr<void, PlistDeleter>;

// The library's own reading, which decides alone whether the file is readable.
Plist parse(const std::string& bytes) {
  if (bytes.empty()) return nullptr;
  plist_t node = nullptr;
  plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &node);
  return Plist(node);
}

// Equal, a NaN to a NaN and a real to the same bits, but for the sign of a zero:
// the library's XML writer prints -0.0 as 0.0, the same number.
bool sameValue(const std::optional<SettingsValue>& a, const std::optional<SettingsValue>& b) {
  const auto* x = a ? std::get_if<double>(&*a) : nullptr;
  const auto* y = b ? std::get_if<double>(&*b) : nullptr;
  if (!x || !y) return a == b;
  return (std::isnan(*x) && std::isnan(*y)) || (*x == 0 && *y == 0) ||
         std::bit_cast<std::uint64_t>(*x) == std::bit_cast<std::uint64_t>(*y);
}

std::vector<fs::path> asideFiles(const fs::path& file) {
  std::vector<fs::path> found;
  const std::string prefix = file.filename().string() + ".unreadable-";
  for (const auto& entry : fs::directory_iterator(folder()))
    if (entry.path().filename().string().rfind(prefix, 0) == 0) found.push_back(entry.path());
  return found;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  emptyFolder();
  const fs::path file = folder() / "preferences.plist";
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  {
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  const Plist parsed = parse(bytes);
  const bool readable = parsed && plist_get_node_type(parsed.get()) == PLIST_DICT;

  velmoryn::testing::FakeLog log;
  velmoryn::PlistSettingsStore store(file, log);

  if (!readable) {
    FUZZ_CHECK(!fs::exists(file), "an unreadable file must be moved aside");
    const auto aside = asideFiles(file);
    FUZZ_CHECK(aside.size() == 1, "an unreadable file must be kept under one new name");
    FUZZ_CHECK(contentsOf(aside.front()) == bytes, "the file moved aside must be unchanged");
    FUZZ_CHECK(log.lines.size() == 1, "moving a file aside must say so in one line");
    FUZZ_CHECK(log.lines.front().find(aside.front().string()) != std::string::npos,
               "the line must say where the file went");
    // Empty: the first change writes a file that holds that change alone.
    store.setBool(kAddedKey, true);
    const Plist written = parse(contentsOf(file));
    FUZZ_CHECK(written && plist_get_node_type(written.get()) == PLIST_DICT,
               "the store must write a dictionary");
    FUZZ_CHECK(plist_dict_get_size(written.get()) == 1,
               "a store that starts empty holds one entry");
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    velmoryn::PlistSettingsStore again(file, log);
    FUZZ_CHECK(asideFiles(file).size() == 2, "a file moved aside must never replace another");
    return 0;
  }

  FUZZ_CHECK(log.lines.empty(), "a readable file must load without a log line");
  FUZZ_CHECK(asideFiles(file).empty() && contentsOf(file) == bytes,
             "loading must leave a readable file as it was");
  // Every key of the file, as the store's own reader lists them.
  const auto listed = velmoryn::plist::Dictionary::parse(bytes);
  const auto* dictionary = std::get_if<velmoryn::plist::Dictionary>(&listed);
  FUZZ_CHECK(dictionary, "a file the store loads must read as a dictionary");
  std::map<std::string, std::optional<SettingsValue>> answers;
  for (const auto& [key, value] : dictionary->view().entries()) {
    // The keys this target writes itself are left out.
    if (key != kAddedKey && !key.ends_with(kAgainSuffix)) answers[key] = store.object(key);
  }

  // A change keeps every other entry and writes a file the next run can read;
  // each Boolean and number set again under a key of its own reads back alike.
  store.setBool(kAddedKey, true);
  for (const auto& [key, answer] : answers) {
    const std::string again = key + kAgainSuffix;
    if (!answer) continue;
    if (const auto* b = std::get_if<bool>(&*answer)) store.setBool(again, *b);
    if (const auto* i = std::get_if<std::int64_t>(&*answer)) store.setInteger(again, *i);
    if (const auto* d = std::get_if<double>(&*answer)) store.setDouble(again, *d);
  }
  FUZZ_CHECK(log.lines.empty(), "writing to a writable folder must succeed");
  velmoryn::testing::FakeLog nextLog;
  velmoryn::PlistSettingsStore next(file, nextLog);
  FUZZ_CHECK(nextLog.lines.empty() && asideFiles(file).empty(),
             "the file the store wrote must be readable by the next run");
  FUZZ_CHECK(sameValue(next.object(kAddedKey), SettingsValue{true}), "the change must persist");
  const Plist written = parse(contentsOf(file));
  for (const auto& [key, answer] : answers) {
    const bool survived = sameValue(next.object(key), answer);
    if (!survived) std::fprintf(stderr, "entry \"%s\"\n", key.c_str());
    FUZZ_CHECK(survived, "other entries must survive a write");
    // A text reads whole, as the library reads it in the file the store wrote.
    const plist_t node = plist_dict_get_item(written.get(), key.c_str());
    std::uint64_t length = 0;
    const char* text = nullptr;
    if (plist_get_node_type(node) == PLIST_STRING) text = plist_get_string_ptr(node, &length);
    if (text) FUZZ_CHECK(sameValue(answer, std::string(text, length)), "a text must read whole");
    if (answer && answer->index() <= 2) {
      FUZZ_CHECK(sameValue(next.object(key + kAgainSuffix), answer),
                 "a Boolean or number set must read back as it was set");
    }
  }
  return 0;
}
