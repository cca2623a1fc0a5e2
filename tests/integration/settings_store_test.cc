// The settings store against real files in temporary folders.
#include "platform/linux/settings_store_linux.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fakes/fake_platform.h"
#include "integration/file_test_support.h"

namespace {

// What the atomic writer asked of the kernel, while a test listens: fsync
// with the path of the descriptor, rename with both paths. The definitions
// here take the place of the C library's for this test program.
std::vector<std::string>* heardCalls = nullptr;

}  // namespace

extern "C" int fsync(int fd) {
  if (heardCalls) {
    char path[4096] = {};
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = ::readlink(link.c_str(), path, sizeof path - 1);
    heardCalls->push_back("fsync " + std::string(path, length > 0 ? length : 0));
  }
  return static_cast<int>(::syscall(SYS_fsync, fd));
}

extern "C" int rename(const char* from, const char* to) noexcept {
  if (heardCalls) heardCalls->push_back(std::string("rename ") + from + " " + to);
  return ::renameat(AT_FDCWD, from, AT_FDCWD, to);
}

namespace velmoryn {
namespace {

namespace fs = std::filesystem;
using testing::ActingAsOrdinaryUser;
using testing::FakeLog;
using testing::readFile;
using testing::TemporaryFolder;
using testing::writeFile;

unsigned modeOf(const fs::path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// The text the property-list library writes for `text` read as a property list.
std::string asLibraryWritesIt(const std::string& text) {
  plist_t node = nullptr;
  plist_from_memory(text.data(), static_cast<std::uint32_t>(text.size()), &node);
  char* xml = nullptr;
  std::uint32_t length = 0;
  if (node) plist_to_xml(node, &xml, &length);
  std::string written(xml ? xml : "", length);
  plist_to_xml_free(xml);
  plist_free(node);
  return written;
}

std::string plistOf(const std::string& entries) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD "
         "PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
         "<plist version=\"1.0\">\n<dict>" +
         entries + "</dict></plist>\n";
}

struct SettingsFile : ::testing::Test {
  TemporaryFolder folder;
  fs::path file = folder.path / "preferences.plist";
  FakeLog log;
};

TEST_F(SettingsFile, ValuesKeepTheirTypesAcrossInstancesAndRemovalIsForGood) {
  const std::vector<std::pair<std::string, SettingsValue>> values = {
      {"false", false},
      {"zero", std::int64_t{0}},
      {"min", std::numeric_limits<std::int64_t>::min()},
      {"max", std::numeric_limits<std::int64_t>::max()},
      {"zeroReal", 0.0},
      {"integral", 2.0},
      {"third", 1.0 / 3.0},
      {"tiny", 5e-324},
      {"infinite", -std::numeric_limits<double>::infinity()},
      {"replaced", 1.5},
  };
  {
    PlistSettingsStore store(file, log);
    store.setInteger("replaced", 1);
    store.setBool("replaced", true);
    store.setBool("removed", true);
    for (const auto& [key, value] : values) {
      if (const auto* b = std::get_if<bool>(&value)) store.setBool(key, *b);
      if (const auto* i = std::get_if<std::int64_t>(&value)) store.setInteger(key, *i);
      if (const auto* d = std::get_if<double>(&value)) store.setDouble(key, *d);
    }
    store.remove("removed");
    store.remove("never.set");
    EXPECT_FALSE(store.object("removed").has_value());
  }
  PlistSettingsStore reopened(file, log);
  for (const auto& [key, value] : values) EXPECT_EQ(reopened.object(key), value) << key;
  EXPECT_FALSE(reopened.object("removed").has_value());
  EXPECT_TRUE(log.lines.empty());
}

// The platform's type rules, one table for both stores: the Linux store reads
// the value from its file, the macOS adapter describes it as CoreFoundation
// hands it over; both must see the same typed value and the same Boolean.
TEST_F(SettingsFile, TheLinuxStoreAndTheMacTranslationReadEveryTypeAlikeAndKeepIt) {
  using Kind = StoredValue::Kind;
  const auto mac = [](Kind kind, double number = 0, std::string_view text = {}) {
    StoredValue value;
    value.kind = kind;
    value.boolean = number != 0;
    value.integer = static_cast<std::int64_t>(number);
    value.real = number;
    value.text = text;
    return value;
  };
  const struct {
    std::string xml;
    StoredValue mac;
    SettingsValue expected;
    bool readsAsTrue;
  } rules[] = {
      {"<true/>", mac(Kind::boolean, 1), true, true},
      {"<false/>", mac(Kind::boolean, 0), false, false},
      {"<integer>0</integer>", mac(Kind::integerNumber, 0), std::int64_t{0}, false},
      {"<integer>-5</integer>", mac(Kind::integerNumber, -5), std::int64_t{-5}, true},
      {"<real>0.0</real>", mac(Kind::floatNumber, 0), 0.0, false},
      {"<real>1000.0</real>", mac(Kind::floatNumber, 1000), 1000.0, true},
      // Text stays text and reads as a Boolean the platform's way, never as a number.
      {"<string>NO</string>", mac(Kind::text, 0, "NO"), std::string("NO"), false},
      {"<string>y</string>", mac(Kind::text, 0, "y"), std::string("y"), true},
      {"<string>True</string>", mac(Kind::text, 0, "True"), std::string("True"), true},
      {"<string> +007</string>", mac(Kind::text, 0, " +007"), std::string(" +007"), true},
      {"<string>0</string>", mac(Kind::text, 0, "0"), std::string("0"), false},
      {"<string></string>", mac(Kind::text), std::string(), false},
      {"<data>AAECAwQF</data>", mac(Kind::other), OtherValue{}, false},
      {"<date>2026-12-06T07:33:31Z</date>", mac(Kind::other), OtherValue{}, false},
      {"<array><integer>1</integer></array>", mac(Kind::other), OtherValue{}, false},
      {"<dict><key>x</key><real>1.5</real></dict>", mac(Kind::other), OtherValue{}, false},
  };
  std::string entries;
  for (std::size_t i = 0; i < std::size(rules); ++i) {
    entries += "<key>k" + std::to_string(i) + "</key>" + rules[i].xml;
  }
  writeFile(file, plistOf(entries));
  PlistSettingsStore store(file, log);
  for (std::size_t i = 0; i < std::size(rules); ++i) {
    const std::string key = "k" + std::to_string(i);
    SCOPED_TRACE(rules[i].xml);
    EXPECT_EQ(store.object(key), rules[i].expected);
    EXPECT_EQ(store.boolForKey(key), rules[i].readsAsTrue);
    EXPECT_EQ(settingsValueFrom(rules[i].mac), rules[i].expected);
    EXPECT_EQ(readsAsTrue(settingsValueFrom(rules[i].mac)), rules[i].readsAsTrue);
  }
  // A change and its undoing write every entry back as it was.
  store.setBool("added", true);
  store.remove("added");
  EXPECT_EQ(readFile(file), asLibraryWritesIt(plistOf(entries)));
  EXPECT_TRUE(log.lines.empty());
}

// A "--login off" run beside the running program: each writer applies only
// what it changed to the file as it is now, so neither loses the other's keys.
TEST_F(SettingsFile, TwoWritersMergeTheirChangesInsteadOfWritingBackStaleCopies) {
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
}

// A binary property list may name a key twice; the XML reader keeps the last
// entry. The store reads what it will read again after its next write, and a
// removal takes the key out for good. "s" holds a NUL, to be written back whole.
TEST_F(SettingsFile, AKeyNamedTwiceInABinaryFileReadsAsItsLastEntryBeforeAndAfterWrites) {
  // A dictionary "k" = 1, "k" = 2, "s" = "a\0b": objects, offset table, trailer.
  const std::string binary(
      "bplist00\xD3\x01\x02\x03\x04\x05\x06\x51k\x51k\x51s\x10\x01\x10\x02\x53"
      "a\0b"
      "\x08\x0F\x11\x13\x15\x17\x19\0\0\0\0\0\0\x01\x01\0\0\0\0\0\0\0\x07\0\0\0\0\0\0\0\0"
      "\0\0\0\0\0\0\0\x1D",
      68);
  writeFile(file, binary);
  PlistSettingsStore(file, log).setBool("swipeRevealEnabled", true);
  EXPECT_EQ(PlistSettingsStore(file, log).object("k"), SettingsValue{std::int64_t{2}});
  writeFile(file, binary);
  PlistSettingsStore(file, log).remove("k");
  EXPECT_FALSE(PlistSettingsStore(file, log).object("k").has_value());
  EXPECT_TRUE(log.lines.empty());
}

// The file is replaced whole, durably: the new text reaches the disk before it
// takes the file's name, and the name before the write counts as done.
TEST_F(SettingsFile, EachWriteSyncsTheNewFileThenRenamesItThenSyncsTheFolder) {
  std::vector<std::string> calls;
  PlistSettingsStore store(file, log);
  heardCalls = &calls;
  store.setBool("originalDock.saved", true);
  heardCalls = nullptr;
  ASSERT_EQ(calls.size(), 3u) << ::testing::PrintToString(calls);
  const std::string temporary = calls[0].substr(6);
  EXPECT_EQ(fs::path(temporary).parent_path(), folder.path) << calls[0];
  EXPECT_EQ(calls[1], "rename " + temporary + " " + file.string());
  EXPECT_EQ(calls[2], "fsync " + folder.path.string());
  EXPECT_EQ(PlistSettingsStore(file, log).object("originalDock.saved"), SettingsValue{true});
}

TEST_F(SettingsFile, NothingIsCreatedUntilAWriteThenTheFileAndNewFoldersArePrivate) {
  file = folder.path / "config" / "velmoryn" / "preferences.plist";
  const mode_t previousUmask = ::umask(0);  // the modes must not depend on the umask
  PlistSettingsStore store(file, log);
  store.remove("originalDock.saved");
  store.synchronize();
  EXPECT_FALSE(fs::exists(folder.path / "config"));
  store.setBool("originalDock.saved", true);
  ::umask(previousUmask);
  EXPECT_EQ(modeOf(file), 0600u);
  EXPECT_EQ(modeOf(folder.path / "config"), 0700u);
  EXPECT_EQ(modeOf(folder.path / "config" / "velmoryn"), 0700u);
  ::chmod(file.c_str(), 0644);  // made readable to others by the user
  store.setBool("originalDock.saved", false);
  EXPECT_EQ(modeOf(file), 0600u);
}

// The fuzzer covers every kind of damage; here each file moved aside keeps its
// own new name, however quickly the next one follows.
TEST_F(SettingsFile, UnreadableFilesAreMovedAsideEachUnderItsOwnNameWithALineSayingWhere) {
  const std::vector<std::string> broken = {
      "", std::string("bplist00\xd1\x01\x02", 11), plistOf("<key>a</ke"),
      "<?xml version=\"1.0\"?><plist><array><integer>1</integer></array></plist>"};
  for (std::size_t i = 0; i < broken.size(); ++i) {
    writeFile(file, broken[i]);
    PlistSettingsStore store(file, log);
    EXPECT_FALSE(store.object("a").has_value());
    ASSERT_EQ(log.lines.size(), i + 1);
    const auto names = namesIn(folder.path);
    ASSERT_EQ(names.size(), i + 1);
    const auto newest = std::find_if(names.begin(), names.end(), [&](const std::string& name) {
      return log.lines.back().find((folder.path / name).string() + " ") != std::string::npos;
    });
    ASSERT_NE(newest, names.end()) << log.lines.back();
    EXPECT_EQ(newest->rfind("preferences.plist.unreadable-", 0), 0u) << *newest;
    EXPECT_EQ(readFile(folder.path / *newest), broken[i]);
  }
  PlistSettingsStore(file, log).setBool("originalDock.saved", true);
  EXPECT_EQ(PlistSettingsStore(file, log).object("originalDock.saved"), SettingsValue{true});
  EXPECT_EQ(log.lines.size(), broken.size());
}

TEST_F(SettingsFile, AnUnreadableFileThatCannotBeMovedAsideIsNeverWrittenOver) {
  file = folder.path / "velmoryn" / "preferences.plist";
  fs::create_directory(file.parent_path());
  writeFile(file, "<plist><dict><key>precious");
  ::chmod(file.c_str(), 0644);
  ::chmod(file.parent_path().c_str(), 0555);
  auto ordinary = std::make_optional<ActingAsOrdinaryUser>();
  PlistSettingsStore store(file, log);
  store.setBool("originalDock.saved", true);
  store.setBool("swipeRevealEnabled", false);
  EXPECT_EQ(store.object("originalDock.saved"), SettingsValue{true});
  EXPECT_EQ(readFile(file), "<plist><dict><key>precious");
  EXPECT_EQ(log.lines.size(), 1u) << "repeated identical failures are logged once";

  // Once the folder can be changed, synchronizing moves the file aside first.
  ordinary.reset();
  ::chmod(file.parent_path().c_str(), 0777);
  ordinary.emplace();
  EXPECT_TRUE(store.synchronize());
  EXPECT_EQ(namesIn(file.parent_path()).size(), 2u);
  EXPECT_EQ(PlistSettingsStore(file, log).object("swipeRevealEnabled"), SettingsValue{false});
}

TEST_F(SettingsFile, FailedWritesKeepValuesInMemoryLogOnceAndSynchronizeCatchesUp) {
  file = folder.path / "velmoryn" / "preferences.plist";
  PlistSettingsStore store(file, log);
  store.setInteger("position", 300);
  ::chmod(file.parent_path().c_str(), 0555);
  {
    ActingAsOrdinaryUser ordinary;
    store.setBool("originalDock.saved", true);
    store.remove("position");
    EXPECT_FALSE(store.synchronize());
  }
  EXPECT_EQ(store.object("originalDock.saved"), SettingsValue{true});
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_NE(log.lines[0].find(file.string()), std::string::npos) << log.lines[0];
  EXPECT_NE(log.lines[0].find("Permission denied"), std::string::npos) << log.lines[0];
  EXPECT_EQ(namesIn(file.parent_path()), std::vector<std::string>{"preferences.plist"})
      << "a failed write leaves no temporary file behind";
  EXPECT_EQ(PlistSettingsStore(file, log).object("position"), SettingsValue{std::int64_t{300}});

  ::chmod(file.parent_path().c_str(), 0700);
  EXPECT_TRUE(store.synchronize());
  EXPECT_EQ(log.lines.size(), 2u);  // and one line saying it is saved again
  PlistSettingsStore onDisk(file, log);
  EXPECT_EQ(onDisk.object("originalDock.saved"), SettingsValue{true});
  EXPECT_FALSE(onDisk.object("position").has_value());
}

TEST_F(SettingsFile, StaleTemporaryFilesAreClearedAndNeverReadAsTheStore) {
  PlistSettingsStore(file, log).setInteger("generation", 7);
  const fs::path stale = folder.path / ".preferences.plist.tmp-AbC123";
  const fs::path young = folder.path / ".preferences.plist.tmp-XyZ789";
  writeFile(stale, plistOf("<key>generation</key><integer>1</integer>"));
  writeFile(young, "half writ");
  const struct timespec twoHoursAgo[2] = {{::time(nullptr) - 7200, 0}, {::time(nullptr) - 7200, 0}};
  ::utimensat(AT_FDCWD, stale.c_str(), twoHoursAgo, 0);
  EXPECT_EQ(PlistSettingsStore(file, log).object("generation"), SettingsValue{std::int64_t{7}});
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(young)) << "a young one may belong to another instance writing now";
  EXPECT_TRUE(log.lines.empty());
}

}  // namespace
}  // namespace velmoryn
