// The settings file as the program finds it on disk, whatever is in it. The
// store must never crash on it; a file it cannot read is moved aside, never
// over an earlier one, with one log line saying where, and the store starts
// empty; a readable one answers every entry with its own type (Boolean,
// integer, real) or as absent, leaves the file as it was, and after a change
// writes a file that the next run reads back whole.
#include <plist/plist.h>
#include <stdlib.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <variant>
#include <vector>

#include "fuzz_check.h"
#include "platform/linux/settings_store_linux.h"

namespace {

namespace fs = std::filesystem;
using velmoryn::SettingsValue;

constexpr const char* kAddedKey = "velmoryn.fuzz.added";
constexpr const char* kAgainSuffix = ".set-again";

class CountingLog : public velmoryn::Log {
 public:
  void write(const std::string& line) override {
    ++lines;
    last = line;
  }
  int lines = 0;
  std::string last;
};

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
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct PlistDeleter {
  void operator()(void* node) const { plist_free(node); }
};
using Plist = std::unique_ptr<void, PlistDeleter>;

Plist parse(const std::string& bytes) {
  if (bytes.empty()) return nullptr;
  plist_t node = nullptr;
  plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &node);
  return Plist(node);
}

Plist viaXml(plist_t node) {
  char* xml = nullptr;
  std::uint32_t length = 0;
  plist_to_xml(node, &xml, &length);
  if (!xml) return nullptr;
  Plist again = parse(std::string(xml, length));
  plist_to_xml_free(xml);
  return again;
}

// Keys worth asking about: the program's own and those of the seed files.
// The entries are found by walking the values and comparing their key nodes,
// because asking the library for a key's text asserts on a NUL inside it.
const char* const kCandidateKeys[] = {"originalDock.saved",
                                      "originalDock.autohideDelay",
                                      "originalDock.autohide",
                                      "swipeRevealEnabled",
                                      "menuBarBoot.loginRegistered",
                                      "NSStatusItem Preferred Position Velmoryn",
                                      "big",
                                      "list",
                                      "nan",
                                      "negative",
                                      "nested",
                                      "text",
                                      "tiny",
                                      "k",
                                      "s",
                                      "a",
                                      ""};

// What the store should answer for a key: Booleans, numbers and texts with
// their value, every other type as present without one; a key named twice has
// its last entry.
plist_t lastEntry(plist_t dict, const char* name) {
  plist_t found = nullptr;
  plist_dict_iter iter = nullptr;
  plist_dict_new_iter(dict, &iter);
  for (;;) {
    plist_t value = nullptr;
    plist_dict_next_item(dict, iter, nullptr, &value);
    if (!value) break;
    if (plist_key_val_compare(plist_dict_item_get_key(value), name) == 0) found = value;
  }
  std::free(iter);
  return found;
}

// `asText` is the dictionary as the XML reader gives it back: a text in a
// binary file (UTF-16 there) reads as it will after the store's next write.
std::optional<std::optional<SettingsValue>> expectedEntry(plist_t dict, plist_t asText,
                                                          const char* name) {
  plist_t found = lastEntry(dict, name);
  if (!found) return std::nullopt;  // not in the file
  std::optional<SettingsValue> expected;
  switch (plist_get_node_type(found)) {
    case PLIST_BOOLEAN: {
      std::uint8_t b = 0;
      plist_get_bool_val(found, &b);
      expected = SettingsValue{b != 0};
      break;
    }
    case PLIST_UINT: {
      std::uint64_t u = 0;
      plist_get_uint_val(found, &u);
      expected = SettingsValue{static_cast<std::int64_t>(u)};
      break;
    }
    case PLIST_REAL: {
      double d = 0;
      plist_get_real_val(found, &d);
      expected = SettingsValue{d};
      break;
    }
    case PLIST_STRING: {
      plist_t written = asText ? lastEntry(asText, name) : found;
      std::uint64_t length = 0;
      const char* text = written ? plist_get_string_ptr(written, &length) : nullptr;
      expected = SettingsValue{std::string(text ? text : "", text ? length : 0)};
      break;
    }
    default:
      expected = SettingsValue{velmoryn::OtherValue{}};
      break;
  }
  return expected;
}

bool sameValue(const std::optional<SettingsValue>& a, const std::optional<SettingsValue>& b) {
  if (a.has_value() != b.has_value()) return false;
  if (!a) return true;
  if (a->index() != b->index()) return false;
  if (const auto* d = std::get_if<double>(&*a)) {
    const double e = std::get<double>(*b);
    return (std::isnan(*d) && std::isnan(e)) ||
           std::bit_cast<std::uint64_t>(*d) == std::bit_cast<std::uint64_t>(e);
  }
  return *a == *b;
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

  CountingLog log;
  velmoryn::PlistSettingsStore store(file, log);

  if (!readable) {
    FUZZ_CHECK(!fs::exists(file), "an unreadable file must be moved aside");
    const auto aside = asideFiles(file);
    FUZZ_CHECK(aside.size() == 1, "an unreadable file must be kept under one new name");
    FUZZ_CHECK(contentsOf(aside.front()) == bytes, "the file moved aside must be unchanged");
    FUZZ_CHECK(log.lines == 1, "moving a file aside must say so in one line");
    FUZZ_CHECK(log.last.find(aside.front().string()) != std::string::npos,
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

  FUZZ_CHECK(log.lines == 0, "a readable file must load without a log line");
  FUZZ_CHECK(asideFiles(file).empty() && contentsOf(file) == bytes,
             "loading must leave a readable file as it was");
  std::map<std::string, std::optional<SettingsValue>> answers;
  const Plist asText = bytes.starts_with("bplist") ? viaXml(parsed.get()) : nullptr;
  for (const char* key : kCandidateKeys) {
    const auto expected = expectedEntry(parsed.get(), asText.get(), key);
    if (!expected) continue;
    answers[key] = store.object(key);
    FUZZ_CHECK(sameValue(answers[key], *expected),
               "each entry must read as its own type and value, or as absent");
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
  FUZZ_CHECK(log.lines == 0, "writing to a writable folder must succeed");
  CountingLog nextLog;
  velmoryn::PlistSettingsStore next(file, nextLog);
  FUZZ_CHECK(nextLog.lines == 0 && asideFiles(file).empty(),
             "the file the store wrote must be readable by the next run");
  FUZZ_CHECK(sameValue(next.object(kAddedKey), SettingsValue{true}), "the change must persist");
  for (const auto& [key, answer] : answers) {
    if (key == kAddedKey) continue;
    if (!sameValue(next.object(key), answer)) std::fprintf(stderr, "entry \"%s\"\n", key.c_str());
    FUZZ_CHECK(sameValue(next.object(key), answer), "other entries must survive a write");
    if (answer && answer->index() <= 2) {
      FUZZ_CHECK(sameValue(next.object(key + kAgainSuffix), answer),
                 "a Boolean or number set must read back as it was set");
    }
  }
  return 0;
}
