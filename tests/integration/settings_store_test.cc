// The settings store against real files in temporary folders.
#include "platform/linux/settings_store_linux.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <plist/plist.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"
#include "integration/file_test_support.h"

namespace velmoryn {
namespace {

namespace fs = std::filesystem;
using testing::FakeLog;

using testing::ActingAsOrdinaryUser;
using testing::readFile;
using testing::TemporaryFolder;
using testing::writeFile;

unsigned modeOf(const fs::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return 0;
  return info.st_mode & 07777;
}

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The file as the property-list library reads it; null when it does not parse.
struct ParsedPlist {
  explicit ParsedPlist(const fs::path& path) {
    std::string text = readFile(path);
    if (!text.empty()) {
      plist_from_memory(text.data(), static_cast<std::uint32_t>(text.size()), &node);
    }
  }
  ~ParsedPlist() {
    if (node) plist_free(node);
  }
  plist_t item(const char* key) const { return node ? plist_dict_get_item(node, key) : nullptr; }
  plist_t node = nullptr;
};

// The entry on its own as XML, to compare containers as well as scalars.
std::string xmlOf(plist_t node) {
  if (!node) return "";
  plist_t copy = plist_copy(node);
  char* xml = nullptr;
  std::uint32_t length = 0;
  plist_to_xml(copy, &xml, &length);
  std::string text(xml ? xml : "", length);
  plist_to_xml_free(xml);
  plist_free(copy);
  return text;
}

constexpr const char* kPlistHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n";

TEST(PlistSettingsStore, TypedValuesSurviveANewInstanceWithTheirTypes) {
  TemporaryFolder folder;
  fs::path file = folder.path / "preferences.plist";
  FakeLog log;
  {
    PlistSettingsStore store(file, log);
    store.setBool("true", true);
    store.setBool("false", false);
    store.setInteger("zero", 0);
    store.setInteger("position", 300);
    store.setInteger("negative", -5);
    store.setInteger("max", std::numeric_limits<std::int64_t>::max());
    store.setInteger("min", std::numeric_limits<std::int64_t>::min());
    store.setDouble("integral", 2.0);
    store.setDouble("delay", 1000.0);
    store.setDouble("tenth", 0.1);
    store.setDouble("third", 1.0 / 3.0);
    store.setDouble("tiny", 5e-324);
    store.setDouble("huge", 1e300);
    store.setDouble("zeroDouble", 0.0);
    store.setDouble("infinite", -std::numeric_limits<double>::infinity());
  }
  PlistSettingsStore reopened(file, log);
  auto expectValue = [&](const char* key, SettingsValue expected) {
    auto value = reopened.object(key);
    ASSERT_TRUE(value.has_value()) << key;
    EXPECT_EQ(value->index(), expected.index()) << key << " changed its type";
    EXPECT_EQ(*value, expected) << key;
  };
  expectValue("true", true);
  expectValue("false", false);
  expectValue("zero", std::int64_t{0});
  expectValue("position", std::int64_t{300});
  expectValue("negative", std::int64_t{-5});
  expectValue("max", std::numeric_limits<std::int64_t>::max());
  expectValue("min", std::numeric_limits<std::int64_t>::min());
  expectValue("integral", 2.0);
  expectValue("delay", 1000.0);
  expectValue("tenth", 0.1);
  expectValue("third", 1.0 / 3.0);
  expectValue("tiny", 5e-324);
  expectValue("huge", 1e300);
  expectValue("zeroDouble", 0.0);
  expectValue("infinite", -std::numeric_limits<double>::infinity());
  EXPECT_FALSE(reopened.object("never.set").has_value());
  EXPECT_TRUE(log.lines.empty());
}

TEST(PlistSettingsStore, AStoredFalseOrZeroIsPresentWhileAnAbsentKeyIsNot) {
  TemporaryFolder folder;
  fs::path file = folder.path / "preferences.plist";
  FakeLog log;
  {
    PlistSettingsStore store(file, log);
    store.setBool("menuBarBoot.loginRegistered", false);
    store.setInteger("NSStatusItem Preferred Position Velmoryn", 0);
    store.setDouble("originalDock.autohideDelay", 0.0);
  }
  PlistSettingsStore store(file, log);
  EXPECT_EQ(store.object("menuBarBoot.loginRegistered"), SettingsValue{false});
  EXPECT_EQ(store.object("NSStatusItem Preferred Position Velmoryn"),
            SettingsValue{std::int64_t{0}});
  EXPECT_EQ(store.object("originalDock.autohideDelay"), SettingsValue{0.0});
  EXPECT_FALSE(store.object("originalDock.saved").has_value());
  EXPECT_FALSE(store.boolForKey("menuBarBoot.loginRegistered"));
  EXPECT_FALSE(store.boolForKey("originalDock.saved"));
}

TEST(PlistSettingsStore, ALaterValueReplacesTheEarlierOneAndItsType) {
  TemporaryFolder folder;
  fs::path file = folder.path / "preferences.plist";
  FakeLog log;
  {
    PlistSettingsStore store(file, log);
    store.setInteger("key", 1);
    store.setBool("key", true);
    EXPECT_EQ(store.object("key"), SettingsValue{true});
    store.setDouble("key", 1.5);
  }
  PlistSettingsStore store(file, log);
  EXPECT_EQ(store.object("key"), SettingsValue{1.5});
}

TEST(PlistSettingsStore, RemovalIsSeenAtOnceAndByTheNextInstance) {
  TemporaryFolder folder;
  fs::path file = folder.path / "preferences.plist";
  FakeLog log;
  {
    PlistSettingsStore store(file, log);
    store.setBool("originalDock.saved", true);
    store.setDouble("originalDock.autohideDelay", 0.5);
    store.setBool("swipeRevealEnabled", false);
    store.remove("originalDock.saved");
    store.remove("originalDock.autohideDelay");
    store.remove("never.set");
    EXPECT_FALSE(store.object("originalDock.saved").has_value());
  }
  PlistSettingsStore store(file, log);
  EXPECT_FALSE(store.object("originalDock.saved").has_value());
  EXPECT_FALSE(store.object("originalDock.autohideDelay").has_value());
  EXPECT_EQ(store.object("swipeRevealEnabled"), SettingsValue{false});
}

TEST(PlistSettingsStore, ReadingAndRemovingNothingCreatesNoFileOrFolder) {
  TemporaryFolder folder;
  fs::path file = folder.path / "velmoryn" / "preferences.plist";
  FakeLog log;
  PlistSettingsStore store(file, log);
  EXPECT_FALSE(store.object("originalDock.saved").has_value());
  store.remove("originalDock.saved");
  store.synchronize();
  EXPECT_FALSE(fs::exists(folder.path / "velmoryn"));
  EXPECT_TRUE(log.lines.empty());
}

// The platform's type rules, one table for both stores: the Linux store reads
// the value from its file, the macOS adapter describes it as CoreFoundation
// hands it over; both must see the same typed value and the same Boolean.
struct TypeRule {
  std::string xml;
  StoredValue mac;
  SettingsValue expected;
  bool readsAsTrue;
};

// The macOS adapter's description of a value of each kind.
StoredValue macValue(StoredValue::Kind kind, double number = 0, std::string_view text = {}) {
  StoredValue value;
  value.kind = kind;
  value.boolean = number != 0;
  value.integer = static_cast<std::int64_t>(number);
  value.real = number;
  value.text = text;
  return value;
}

const std::vector<TypeRule>& typeRules() {
  using Kind = StoredValue::Kind;
  const auto text = [](const char* t) { return macValue(Kind::text, 0, t); };
  const StoredValue other = macValue(Kind::other);
  static const std::vector<TypeRule> rules = {
      {"<true/>", macValue(Kind::boolean, 1), true, true},
      {"<false/>", macValue(Kind::boolean, 0), false, false},
      {"<integer>0</integer>", macValue(Kind::integerNumber, 0), std::int64_t{0}, false},
      {"<integer>-5</integer>", macValue(Kind::integerNumber, -5), std::int64_t{-5}, true},
      {"<real>0.0</real>", macValue(Kind::floatNumber, 0), 0.0, false},
      {"<real>1000.0</real>", macValue(Kind::floatNumber, 1000), 1000.0, true},
      // Text stays text: presence tests see it, and it reads as a Boolean the
      // platform's way, never as a number.
      {"<string>NO</string>", text("NO"), std::string("NO"), false},
      {"<string>YES</string>", text("YES"), std::string("YES"), true},
      {"<string>y</string>", text("y"), std::string("y"), true},
      {"<string>True</string>", text("True"), std::string("True"), true},
      {"<string> +007</string>", text(" +007"), std::string(" +007"), true},
      {"<string>300</string>", text("300"), std::string("300"), true},
      {"<string>0</string>", text("0"), std::string("0"), false},
      {"<string>false</string>", text("false"), std::string("false"), false},
      {"<string></string>", text(""), std::string(), false},
      {"<data>AAECAwQF</data>", other, OtherValue{}, false},
      {"<date>2026-12-06T07:33:31Z</date>", other, OtherValue{}, false},
      {"<array><integer>1</integer></array>", other, OtherValue{}, false},
      {"<dict><key>x</key><real>1.5</real></dict>", other, OtherValue{}, false},
  };
  return rules;
}

TEST(SettingsTypeRules, TheLinuxStoreAndTheMacTranslationReadEveryTypeAlike) {
  TemporaryFolder folder;
  fs::path file = folder.path / "preferences.plist";
  std::string entries;
  for (std::size_t i = 0; i < typeRules().size(); ++i) {
    entries += "<key>k" + std::to_string(i) + "</key>" + typeRules()[i].xml;
  }
  writeFile(file, std::string(kPlistHeader) + "<dict>" + entries + "</dict></plist>\n");
  FakeLog log;
  PlistSettingsStore store(file, log);
  for (std::size_t i = 0; i < typeRules().size(); ++i) {
    const TypeRule& rule = typeRules()[i];
    const std::string key = "k" + std::to_string(i);
    EXPECT_EQ(store.object(key), rule.expected) << "Linux: " << rule.xml;
    EXPECT_EQ(store.boolForKey(key), rule.readsAsTrue) << "Linux: " << rule.xml;
    EXPECT_EQ(settingsValueFrom(rule.mac), rule.expected) << "macOS: " << rule.xml;
    EXPECT_EQ(readsAsTrue(settingsValueFrom(rule.mac)), rule.readsAsTrue) << "macOS: " << rule.xml;
  }
  EXPECT_TRUE(log.lines.empty());
}

TEST(PlistSettingsStore, EntriesOfEveryTypeAreKeptOnEveryWrite) {
  TemporaryFolder folder;
  fs::path file = folder.path / "preferences.plist";
  const std::string others =
      "<key>name</key><string>Velmoryn &amp; co</string>"
      "<key>when</key><date>2026-12-06T07:33:31Z</date>"
      "<key>blob</key><data>AAECAwQF</data>"
      "<key>list</key><array><integer>1</integer><string>two</string></array>"
      "<key>NSWindow Frame</key><dict><key>x</key><real>1.5</real></dict>";
  writeFile(file, std::string(kPlistHeader) + "<dict>" + others +
                      "<key>originalDock.autohideDelay</key><string>0.5</string>"
                      "<key>swipeRevealEnabled</key><false/></dict></plist>\n");
  ParsedPlist before(file);
  ASSERT_NE(before.node, nullptr);

  FakeLog log;
  {
    PlistSettingsStore store(file, log);
    EXPECT_EQ(store.object("name"), SettingsValue{std::string("Velmoryn & co")});
    store.setBool("swipeRevealEnabled", true);
    store.setInteger("NSStatusItem Preferred Position Velmoryn", 300);
    // Removing an entry of another type takes it out: the caller wants it gone.
    store.remove("originalDock.autohideDelay");
  }
  ParsedPlist after(file);
  ASSERT_NE(after.node, nullptr);
  for (const char* key : {"name", "when", "blob", "list", "NSWindow Frame"}) {
    ASSERT_NE(after.item(key), nullptr) << key << " was dropped";
    EXPECT_EQ(plist_get_node_type(after.item(key)), plist_get_node_type(before.item(key))) << key;
    EXPECT_EQ(xmlOf(after.item(key)), xmlOf(before.item(key))) << key;
  }
  EXPECT_EQ(after.item("originalDock.autohideDelay"), nullptr);
  EXPECT_TRUE(log.lines.empty());
}

// A "--login off" run beside the running program: each writer applies only
// what it changed to the file as it is now, so neither loses the other's keys.
TEST(PlistSettingsStore, TwoWritersMergeTheirChangesInsteadOfWritingBackStaleCopies) {
  TemporaryFolder folder;
  fs::path file = folder.path / "preferences.plist";
  FakeLog log;
  {
    PlistSettingsStore running(file, log);
    running.setBool("originalDock.saved", true);
    PlistSettingsStore commandLine(file, log);
    commandLine.setBool("menuBarBoot.loginRegistered", false);
    commandLine.remove("originalDock.saved");
    running.setBool("swipeRevealEnabled", false);
    EXPECT_EQ(running.object("menuBarBoot.loginRegistered"), SettingsValue{false});
  }
  PlistSettingsStore reopened(file, log);
  EXPECT_EQ(reopened.object("menuBarBoot.loginRegistered"), SettingsValue{false});
  EXPECT_EQ(reopened.object("swipeRevealEnabled"), SettingsValue{false});
  EXPECT_FALSE(reopened.object("originalDock.saved").has_value());

  // Two processes writing at the same time, each from its own early copy.
  constexpr int kKeysEach = 40;
  pid_t writers[2];
  for (int w = 0; w < 2; ++w) {
    writers[w] = ::fork();
    ASSERT_GE(writers[w], 0);
    if (writers[w] == 0) {
      FakeLog childLog;
      PlistSettingsStore store(file, childLog);
      for (int k = 0; k < kKeysEach; ++k)
        store.setInteger("w" + std::to_string(w) + "." + std::to_string(k), k);
      ::_exit(store.synchronize() ? 0 : 1);
    }
  }
  for (pid_t writer : writers) {
    int status = 0;
    ASSERT_EQ(::waitpid(writer, &status, 0), writer);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  PlistSettingsStore merged(file, log);
  for (int w = 0; w < 2; ++w) {
    for (int k = 0; k < kKeysEach; ++k) {
      const std::string key = "w" + std::to_string(w) + "." + std::to_string(k);
      EXPECT_EQ(merged.object(key), SettingsValue{std::int64_t{k}}) << key;
    }
  }
  EXPECT_EQ(merged.object("menuBarBoot.loginRegistered"), SettingsValue{false});
  EXPECT_TRUE(log.lines.empty());
}

// A binary property list may name a key twice; the XML reader keeps the last
// entry. The store must read what it will read again after its next write,
// and a removal must take the key out for good. The file also holds a string
// with a NUL inside, which the store must write back without reading past it.
TEST(PlistSettingsStore, AKeyNamedTwiceInABinaryFileReadsAsItsLastEntryBeforeAndAfterWrites) {
  // bplist00: a dictionary with "k" = 1, "k" = 2 and "s" = "a\0b".
  const unsigned char bytes[] = {
      'b',  'p',  'l',  'i',  's',  't',  '0',  '0',    // header
      0xD3, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06,         // 0 at 8: dict, keys 1-3, values 4-6
      0x51, 'k',                                        // 1 at 15: "k"
      0x51, 'k',                                        // 2 at 17: "k"
      0x51, 's',                                        // 3 at 19: "s"
      0x10, 0x01,                                       // 4 at 21: 1
      0x10, 0x02,                                       // 5 at 23: 2
      0x53, 'a',  0x00, 'b',                            // 6 at 25: "a\0b"
      0x08, 0x0F, 0x11, 0x13, 0x15, 0x17, 0x19,         // offset table at 29
      0,    0,    0,    0,    0,    0,    0x01, 0x01,   // trailer: sizes
      0,    0,    0,    0,    0,    0,    0,    0x07,   // seven objects
      0,    0,    0,    0,    0,    0,    0,    0x00,   // the top one is 0
      0,    0,    0,    0,    0,    0,    0,    0x1D};  // the offset table's place
  TemporaryFolder folder;
  fs::path file = folder.path / "preferences.plist";
  writeFile(file, std::string(reinterpret_cast<const char*>(bytes), sizeof bytes));
  FakeLog log;
  {
    PlistSettingsStore store(file, log);
    EXPECT_EQ(store.object("k"), SettingsValue{std::int64_t{2}});
    store.setBool("swipeRevealEnabled", true);
  }
  {
    PlistSettingsStore store(file, log);
    EXPECT_EQ(store.object("k"), SettingsValue{std::int64_t{2}});
  }
  writeFile(file, std::string(reinterpret_cast<const char*>(bytes), sizeof bytes));
  {
    PlistSettingsStore store(file, log);
    store.remove("k");
    EXPECT_FALSE(store.object("k").has_value());
  }
  PlistSettingsStore store(file, log);
  EXPECT_FALSE(store.object("k").has_value());
  EXPECT_TRUE(log.lines.empty());
}

TEST(PlistSettingsStore, TheFileIsPrivateAndCreatedFoldersAreToo) {
  TemporaryFolder folder;
  fs::path file = folder.path / "config" / "velmoryn" / "preferences.plist";
  FakeLog log;
  mode_t previousUmask = ::umask(0);  // the modes must not depend on the user's umask
  {
    PlistSettingsStore store(file, log);
    store.setBool("originalDock.saved", true);
  }
  ::umask(previousUmask);
  EXPECT_EQ(modeOf(file), 0600u);
  EXPECT_EQ(modeOf(folder.path / "config"), 0700u);
  EXPECT_EQ(modeOf(folder.path / "config" / "velmoryn"), 0700u);

  // A file the user made readable to others becomes private at the next write.
  ::chmod(file.c_str(), 0644);
  PlistSettingsStore store(file, log);
  store.setBool("originalDock.saved", false);
  EXPECT_EQ(modeOf(file), 0600u);
}

struct CorruptCase {
  const char* name;
  std::string contents;
};

void PrintTo(const CorruptCase& c, std::ostream* out) {
  *out << c.name;
}

class CorruptFile : public ::testing::TestWithParam<CorruptCase> {};

TEST_P(CorruptFile, IsMovedAsideWithOneLogLineAndTheStoreStartsEmptyAndWorks) {
  TemporaryFolder folder;
  fs::path file = folder.path / "preferences.plist";
  writeFile(file, GetParam().contents);

  FakeLog log;
  {
    PlistSettingsStore store(file, log);
    EXPECT_FALSE(store.object("originalDock.saved").has_value());
    EXPECT_FALSE(store.object("a").has_value());
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_FALSE(fs::exists(file));

    auto names = namesIn(folder.path);
    ASSERT_EQ(names.size(), 1u);
    const std::string prefix = "preferences.plist.unreadable-";
    ASSERT_EQ(names[0].compare(0, prefix.size(), prefix), 0) << names[0];
    std::string stamp = names[0].substr(prefix.size());
    ASSERT_EQ(stamp.size(), 15u) << stamp;  // YYYYMMDD-HHMMSS
    EXPECT_EQ(stamp[8], '-');
    EXPECT_EQ(readFile(folder.path / names[0]), GetParam().contents);
    // The line tells where the user's file went.
    EXPECT_NE(log.lines[0].find((folder.path / names[0]).string()), std::string::npos)
        << log.lines[0];

    store.setBool("originalDock.saved", true);
  }
  FakeLog second;
  PlistSettingsStore reopened(file, second);
  EXPECT_EQ(reopened.object("originalDock.saved"), SettingsValue{true});
  EXPECT_TRUE(second.lines.empty());
}

INSTANTIATE_TEST_SUITE_P(
    PlistSettingsStore, CorruptFile,
    ::testing::Values(
        CorruptCase{"Empty", ""},
        CorruptCase{"TruncatedXml", std::string(kPlistHeader) +
                                        "<dict><key>originalDock.saved</key><true/><key>a</ke"},
        CorruptCase{"Garbage", std::string("\x7f\x45LF\x02\x01\x00\xff\xfe garbage\n", 17)},
        CorruptCase{"TruncatedBinary", std::string("bplist00\xd1\x01\x02", 11)},
        CorruptCase{"TopLevelArray",
                    std::string(kPlistHeader) + "<array><integer>1</integer></array></plist>\n"},
        CorruptCase{"TopLevelString",
                    std::string(kPlistHeader) + "<string>settings</string></plist>\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PlistSettingsStore, ASecondUnreadableFileNeverReplacesTheFirstOneMovedAside) {
  TemporaryFolder folder;
  fs::path file = folder.path / "preferences.plist";
  FakeLog log;
  writeFile(file, "first broken file");
  { PlistSettingsStore store(file, log); }
  writeFile(file, "second broken file");
  { PlistSettingsStore store(file, log); }
  EXPECT_EQ(log.lines.size(), 2u);
  std::vector<std::string> kept;
  for (const auto& name : namesIn(folder.path)) kept.push_back(readFile(folder.path / name));
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(kept, (std::vector<std::string>{"first broken file", "second broken file"}));
}

TEST(PlistSettingsStore, AnUnreadableFileThatCannotBeMovedAsideIsNeverWrittenOver) {
  TemporaryFolder folder;
  fs::path configFolder = folder.path / "velmoryn";
  fs::create_directory(configFolder);
  fs::path file = configFolder / "preferences.plist";
  const std::string broken = "<plist><dict><key>precious";
  writeFile(file, broken);
  ::chmod(file.c_str(), 0644);
  ::chmod(configFolder.c_str(), 0555);

  FakeLog log;
  auto ordinary = std::make_optional<ActingAsOrdinaryUser>();
  PlistSettingsStore store(file, log);
  store.setBool("originalDock.saved", true);
  store.setBool("swipeRevealEnabled", false);
  store.synchronize();
  EXPECT_EQ(store.object("originalDock.saved"), SettingsValue{true});
  EXPECT_EQ(readFile(file), broken);
  EXPECT_EQ(log.lines.size(), 1u) << "repeated identical failures are logged once";

  // Once the folder can be changed, synchronizing moves the file aside first.
  ordinary.reset();
  ::chmod(configFolder.c_str(), 0777);
  ordinary.emplace();
  store.synchronize();
  std::string aside;
  for (const auto& name : namesIn(configFolder)) {
    if (name.find(".unreadable-") != std::string::npos) aside = name;
  }
  ASSERT_FALSE(aside.empty());
  EXPECT_EQ(readFile(configFolder / aside), broken);
  FakeLog other;
  PlistSettingsStore reopened(file, other);
  EXPECT_EQ(reopened.object("originalDock.saved"), SettingsValue{true});
  EXPECT_EQ(reopened.object("swipeRevealEnabled"), SettingsValue{false});
}

TEST(PlistSettingsStore, WritesThatFailKeepValuesInMemoryLogOnceAndSynchronizeCatchesUp) {
  TemporaryFolder folder;
  fs::path configFolder = folder.path / "velmoryn";
  fs::path file = configFolder / "preferences.plist";
  FakeLog log;
  PlistSettingsStore store(file, log);
  store.setInteger("NSStatusItem Preferred Position Velmoryn", 300);
  ASSERT_TRUE(log.lines.empty());

  ::chmod(configFolder.c_str(), 0555);
  {
    ActingAsOrdinaryUser ordinary;
    store.setBool("originalDock.saved", true);
    store.setDouble("originalDock.autohideDelay", 0.5);
    store.remove("NSStatusItem Preferred Position Velmoryn");
    EXPECT_FALSE(store.synchronize());
  }
  EXPECT_EQ(store.object("originalDock.saved"), SettingsValue{true});
  EXPECT_EQ(store.object("originalDock.autohideDelay"), SettingsValue{0.5});
  EXPECT_FALSE(store.object("NSStatusItem Preferred Position Velmoryn").has_value());
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_NE(log.lines[0].find(file.string()), std::string::npos) << log.lines[0];
  EXPECT_NE(log.lines[0].find("Permission denied"), std::string::npos) << log.lines[0];
  {
    FakeLog other;
    PlistSettingsStore onDisk(file, other);
    EXPECT_FALSE(onDisk.object("originalDock.saved").has_value());
  }
  EXPECT_EQ(namesIn(configFolder), std::vector<std::string>{"preferences.plist"})
      << "a failed write leaves no temporary file behind";

  ::chmod(configFolder.c_str(), 0700);
  EXPECT_TRUE(store.synchronize());
  EXPECT_EQ(log.lines.size(), 2u);  // and one line saying it is saved again
  FakeLog other;
  PlistSettingsStore onDisk(file, other);
  EXPECT_EQ(onDisk.object("originalDock.saved"), SettingsValue{true});
  EXPECT_EQ(onDisk.object("originalDock.autohideDelay"), SettingsValue{0.5});
  EXPECT_FALSE(onDisk.object("NSStatusItem Preferred Position Velmoryn").has_value());
}

TEST(PlistSettingsStore, AFileWhereTheFolderShouldBeKeepsTheStoreRunning) {
  TemporaryFolder folder;
  writeFile(folder.path / "velmoryn", "not a folder");
  FakeLog log;
  PlistSettingsStore store(folder.path / "velmoryn" / "preferences.plist", log);
  store.setBool("originalDock.saved", true);
  store.setBool("swipeRevealEnabled", true);
  EXPECT_TRUE(store.boolForKey("originalDock.saved"));
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_NE(log.lines[0].find("Not a directory"), std::string::npos) << log.lines[0];
  EXPECT_EQ(readFile(folder.path / "velmoryn"), "not a folder");
}

TEST(PlistSettingsStore, StaleTemporaryFilesAreClearedAndNeverReadAsTheStore) {
  TemporaryFolder folder;
  fs::path file = folder.path / "preferences.plist";
  FakeLog log;
  { PlistSettingsStore(file, log).setInteger("generation", 7); }
  fs::path stale = folder.path / ".preferences.plist.tmp-AbC123";
  fs::path fresh = folder.path / ".preferences.plist.tmp-XyZ789";
  writeFile(stale, std::string(kPlistHeader) + "<dict><key>generation</key><integer>1</integer>");
  writeFile(fresh, "half writ");
  struct timespec times[2] = {{::time(nullptr) - 2 * 3600, 0}, {::time(nullptr) - 2 * 3600, 0}};
  ::utimensat(AT_FDCWD, stale.c_str(), times, 0);

  PlistSettingsStore store(file, log);
  EXPECT_EQ(store.object("generation"), SettingsValue{std::int64_t{7}});
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(fresh)) << "a young one may belong to another instance writing now";
  EXPECT_TRUE(log.lines.empty());
}

// A writer killed at any instant leaves the old file or the new one, never a
// torn one. The writer sets "half" to the next generation's half, then
// "generation", so every complete state has 2 * half equal to generation or
// generation + 1; a large entry of a foreign type must come through whole.
TEST(PlistSettingsStore, AWriterKilledAtRandomInstantsNeverLeavesATornFile) {
  TemporaryFolder folder;
  fs::path file = folder.path / "preferences.plist";
  const std::string payload(64 * 1024, 'p');
  const std::string initial = std::string(kPlistHeader) + "<dict><key>payload</key><string>" +
                              payload +
                              "</string><key>generation</key><integer>0</integer>"
                              "<key>half</key><real>0</real></dict></plist>\n";
  writeFile(file, initial);

  // Kill instants spread over a few generations of the writer below (a load
  // and two writes), however fast this disk syncs and this build runs.
  fs::path calibration = folder.path / "calibration.plist";
  writeFile(calibration, initial);
  auto started = std::chrono::steady_clock::now();
  for (int i = 0; i < 3; ++i) {
    FakeLog calibrationLog;
    PlistSettingsStore writer(calibration, calibrationLog);
    writer.setDouble("half", i + 0.5);
    writer.setInteger("generation", i + 1);
  }
  auto perWrite = std::chrono::duration_cast<std::chrono::microseconds>(
                      std::chrono::steady_clock::now() - started) /
                  3;
  fs::remove(calibration);
  int window = static_cast<int>(std::max<std::int64_t>(2000, 6 * perWrite.count()));

  std::mt19937 random(20261206);
  std::uniform_int_distribution<int> delayMicroseconds(0, window);
  std::int64_t lastGeneration = 0;
  int killsWithATemporaryFileLeft = 0;
  constexpr int kKills = 200;
  // On a busy machine a writer may barely start before it is killed; go on
  // (up to a bound) until the kills have met writers at work.
  const auto metWritersAtWork = [&] {
    return lastGeneration > kKills / 10 && killsWithATemporaryFileLeft > 0;
  };
  int kill = 0;
  for (; kill < kKills || (!metWritersAtWork() && kill < 5 * kKills); ++kill) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      FakeLog childLog;
      PlistSettingsStore store(file, childLog);
      auto start = store.object("generation");
      std::int64_t generation = start ? std::get<std::int64_t>(*start) : -1000000;
      for (;;) {
        ++generation;
        store.setDouble("half", static_cast<double>(generation) / 2);
        store.setInteger("generation", generation);
      }
    }
    ::usleep(static_cast<useconds_t>(delayMicroseconds(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended on its own at kill " << kill;

    ParsedPlist parsed(file);
    ASSERT_NE(parsed.node, nullptr) << "torn file after kill " << kill;
    ASSERT_EQ(plist_get_node_type(parsed.node), PLIST_DICT);
    std::uint64_t rawGeneration = 0;
    double half = -1;
    ASSERT_NE(parsed.item("generation"), nullptr);
    ASSERT_NE(parsed.item("half"), nullptr);
    plist_get_uint_val(parsed.item("generation"), &rawGeneration);
    plist_get_real_val(parsed.item("half"), &half);
    auto generation = static_cast<std::int64_t>(rawGeneration);
    ASSERT_TRUE(half * 2 == static_cast<double>(generation) ||
                half * 2 == static_cast<double>(generation + 1))
        << "generation " << generation << " with half " << half << " after kill " << kill;
    ASSERT_GE(generation, lastGeneration) << "a newer state was lost at kill " << kill;
    lastGeneration = generation;
    char* text = nullptr;
    ASSERT_NE(parsed.item("payload"), nullptr);
    plist_get_string_val(parsed.item("payload"), &text);
    ASSERT_EQ(std::string(text ? text : ""), payload) << "after kill " << kill;
    free(text);

    for (const auto& name : namesIn(folder.path)) {
      if (name == "preferences.plist") continue;
      ASSERT_TRUE(isTemporaryFileOf(file, name)) << name;
      ++killsWithATemporaryFileLeft;
      fs::remove(folder.path / name);
    }
  }
  FakeLog log;
  PlistSettingsStore store(file, log);
  EXPECT_TRUE(log.lines.empty());
  EXPECT_EQ(store.object("generation"), SettingsValue{lastGeneration});
  // Otherwise the kills never met a writer at work and the test proved nothing.
  EXPECT_TRUE(metWritersAtWork()) << lastGeneration << " generations, "
                                  << killsWithATemporaryFileLeft << " kills mid-write";
  std::cout << "[ figures  ] " << perWrite.count() << " us per generation; " << lastGeneration
            << " generations survived " << kill << " kills; " << killsWithATemporaryFileLeft
            << " kills left a temporary file\n";
}

}  // namespace
}  // namespace velmoryn
