// The settings store on real files; file contents at large are the fuzzer's, and what
// each type reads as is a table here over the fuzzer's seed files.
#include "platform/linux/settings_store_linux.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"
#include "integration/file_test_support.h"
#include "platform/posix/file_lock.h"

namespace fs = std::filesystem;

namespace velmoryn {
namespace {

using testing::ActingAsOrdinaryUser;
using testing::fileCallsDuring;
using testing::modeOf;
using testing::readFile;
using testing::writeFile;

struct SettingsStoreTest : ::testing::Test {
  std::optional<SettingsValue> onDisk(const std::string& key) {
    return PlistSettingsStore(file, log).object(key);
  }
  testing::TemporaryFolder folder;
  fs::path file = folder.path / "preferences.plist";
  testing::FakeLog log;
};

// Each entry reads with its own type, from XML and binary alike; a binary file
// reads as its XML will once the store has written it, so of a key named twice
// the last entry counts.
TEST_F(SettingsStoreTest, EachEntryReadsWithItsOwnTypeFromXmlAndBinaryAlike) {
  // The same dictionary in both forms: a large and a negative integer, the
  // smallest real, a text, and an array ("list") and a dictionary ("nested"),
  // present though the program reads nothing of theirs.
  const std::map<std::string, SettingsValue> foreignTypes = {
      {"big", std::int64_t{INT64_MAX}}, {"negative", std::int64_t{-5}}, {"tiny", 5e-324},
      {"text", std::string("日本語")},  {"list", OtherValue{}},         {"nested", OtherValue{}}};
  const struct {
    const char* file;  // a seed of the fuzzer's
    std::map<std::string, SettingsValue> entries;
  } rows[] = {
      {.file = "foreign_types.xml", .entries = foreignTypes},
      {.file = "foreign_types.bplist", .entries = foreignTypes},
      // swipeRevealEnabled true, then false
      {.file = "key_named_twice.bplist", .entries = {{"swipeRevealEnabled", false}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file);
    writeFile(file,
              readFile(fs::path(VELMORYN_SOURCE_DIR) / "fuzz/corpus/settings_store" / row.file));
    for (const auto& [key, value] : row.entries) EXPECT_EQ(onDisk(key), value) << key;
  }
}

// A "--login off" run beside the running program: each applies only its own changes.
TEST_F(SettingsStoreTest, TwoWritersMergeTheirChangesInsteadOfWritingBackStaleCopies) {
  {
    PlistSettingsStore running(file, log), commandLine(file, log);
    running.setBool("swipeRevealEnabled", true);
    running.setBool("originalDock.saved", true);
    commandLine.setBool("menuBarBoot.loginRegistered", false);
    commandLine.remove("originalDock.saved");
    running.setBool("swipeRevealEnabled", false);
    EXPECT_EQ(running.object("menuBarBoot.loginRegistered"), SettingsValue{false});
  }
  EXPECT_EQ(onDisk("menuBarBoot.loginRegistered"), SettingsValue{false});
  EXPECT_EQ(onDisk("swipeRevealEnabled"), SettingsValue{false});
  EXPECT_FALSE(onDisk("originalDock.saved").has_value());
}

// The text is on disk before it takes the name, the name before the write is
// done; the file and its new folders are the user's alone, whatever the umask.
TEST_F(SettingsStoreTest, AWriteSyncsTheNewPrivateFileThenRenamesItThenSyncsTheFolder) {
  file = folder.path / "config" / "velmoryn" / "preferences.plist";
  const mode_t previousUmask = ::umask(0);
  PlistSettingsStore store(file, log);
  store.remove("originalDock.saved");
  EXPECT_TRUE(store.synchronize());
  EXPECT_FALSE(fs::exists(folder.path / "config")) << "nothing is created until a write";
  const auto calls = fileCallsDuring([&] { store.setBool("originalDock.saved", true); });
  ::umask(previousUmask);
  ASSERT_EQ(calls.size(), 3u) << ::testing::PrintToString(calls);
  const std::string temporary = calls[0].substr(6);
  EXPECT_EQ(fs::path(temporary).parent_path(), file.parent_path()) << calls[0];
  EXPECT_EQ(calls[1], "rename " + temporary + " " + file.string());
  EXPECT_EQ(calls[2], "fsync " + file.parent_path().string());
  EXPECT_EQ(modeOf(folder.path / "config"), 0700u);
  EXPECT_EQ(modeOf(file), 0600u);
}

// What keeps a write from landing: values stay in memory, the file (readable
// or not) is left alone, one line says why, and the next change catches up.
TEST_F(SettingsStoreTest, WhatCannotBeWrittenStaysInMemoryLoggedOnceUntilTheNextChangeCatchesUp) {
  enum class Fault { readOnlyFolder, folderLockedElsewhere, renameLost };
  const std::string readable =
      "<plist><dict><key>position</key><integer>300</integer></dict></plist>";
  const struct {
    const char* name;
    std::string contents;
    Fault fault;
    const char* logged;  // a part of the one line while the fault lasts
    long filesAfter;
    std::size_t linesAfter;
  } rows[] = {
      {.name = "a folder the user cannot change",
       .contents = readable,
       .fault = Fault::readOnlyFolder,
       .logged = "Permission denied",
       .filesAfter = 1,
       .linesAfter = 2},
      {.name = "the same with a damaged file, which cannot be moved aside either",
       .contents = "<plist><dict><key>precious",
       .fault = Fault::readOnlyFolder,
       .logged = "Permission denied",
       .filesAfter = 2,
       .linesAfter = 3},
      {.name = "another process keeps the folder's lock",
       .contents = readable,
       .fault = Fault::folderLockedElsewhere,
       .logged = "のロックを他のプロセスが持ったままです",
       .filesAfter = 1,
       .linesAfter = 2},
      {.name = "the new file never arrives though every call succeeded",
       .contents = readable,
       .fault = Fault::renameLost,
       .logged = "書いた内容を読み戻せません",
       .filesAfter = 1,
       .linesAfter = 2},
  };
  file = folder.path / "velmoryn" / "preferences.plist";
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove_all(file.parent_path());
    fs::create_directory(file.parent_path());
    writeFile(file, row.contents);
    log.lines.clear();
    // On the heap: GCC takes an empty optional of these for uninitialised at -O1.
    std::unique_ptr<ActingAsOrdinaryUser> ordinary;
    std::unique_ptr<FileLock> lock;
    if (row.fault == Fault::readOnlyFolder) {
      ::chmod(file.parent_path().c_str(), 0555);
      ordinary = std::make_unique<ActingAsOrdinaryUser>();
    }
    if (row.fault == Fault::folderLockedElsewhere) {
      // An open of its own: the kernel keeps it from the store as it would another process's.
      lock = std::make_unique<FileLock>(file.parent_path(), O_RDONLY, 0, std::chrono::seconds(0));
      ASSERT_EQ(lock->outcome(), FileLock::Outcome::held);
    }
    testing::renamesAreLost = row.fault == Fault::renameLost;
    PlistSettingsStore store(file, log, std::chrono::milliseconds(50));
    store.setBool("originalDock.saved", true);
    store.setBool("swipeRevealEnabled", false);
    EXPECT_FALSE(store.synchronize());
    testing::renamesAreLost = false;
    EXPECT_EQ(store.object("originalDock.saved"), SettingsValue{true});
    EXPECT_EQ(readFile(file), row.contents);
    ASSERT_EQ(log.lines.size(), 1u) << "repeated identical failures are logged once";
    EXPECT_NE(log.lines[0].find(row.logged), std::string::npos) << log.lines[0];
    EXPECT_NE(log.lines[0].find(file.string()), std::string::npos) << log.lines[0];
    ordinary.reset();
    lock.reset();
    ::chmod(file.parent_path().c_str(), 0777);
    store.setBool("menuBarBoot.loginRegistered", true);
    EXPECT_EQ(onDisk("swipeRevealEnabled"), SettingsValue{false});
    EXPECT_EQ(onDisk("originalDock.saved"), SettingsValue{true});
    EXPECT_TRUE(store.synchronize());
    EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), {}), row.filesAfter);
    EXPECT_EQ(log.lines.size(), row.linesAfter);
    EXPECT_EQ(onDisk("position").has_value(), row.contents == readable);
  }
}

// Whatever lies at the settings path, the store starts without waiting on it. A
// link stays a link and the file it names takes the writes, even one not there
// yet; what cannot be read, a FIFO for one, is moved aside (a link itself, never
// what it names), and the next write puts a regular file in its place.
TEST_F(SettingsStoreTest, AFifoIsMovedAsideUnreadAndALinkStaysALinkWhoseFileTakesTheWrites) {
  const fs::path elsewhere = folder.path / "dotfiles", target = elsewhere / "target.plist";
  const struct {
    const char* name;
    std::function<void()> put;                             // what is at `file` before the launch
    std::optional<SettingsValue> position = std::nullopt;  // read at the launch
    const char* logged = nullptr;  // a part of the launch's one line, or none
    fs::file_type movedAside = fs::file_type::not_found;  // by the launch, if anything
    fs::file_type fileAfter;
    fs::file_type targetAfter = fs::file_type::not_found;
  } rows[] = {
      {.name = "a relative link to a file",
       .put =
           [&] {
             writeFile(target,
                       "<plist><dict><key>position</key><integer>300</integer></dict></plist>");
             fs::create_symlink("dotfiles/target.plist", file);
           },
       .position = SettingsValue{std::int64_t{300}},
       .fileAfter = fs::file_type::symlink,
       .targetAfter = fs::file_type::regular},
      {.name = "a link to a file not there yet",
       .put = [&] { fs::create_symlink(target, file); },
       .fileAfter = fs::file_type::symlink,
       .targetAfter = fs::file_type::regular},
      {.name = "a link to a FIFO",
       .put =
           [&] {
             ::mkfifo(target.c_str(), 0600);
             fs::create_symlink(target, file);
           },
       .logged = "通常のファイルではありません",
       .movedAside = fs::file_type::symlink,
       .fileAfter = fs::file_type::regular,
       .targetAfter = fs::file_type::fifo},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove_all(elsewhere);
    fs::remove(file);
    for (const auto& entry : fs::directory_iterator(folder.path)) fs::remove(entry.path());
    fs::create_directory(elsewhere);
    row.put();
    log.lines.clear();
    PlistSettingsStore store(file, log);
    EXPECT_EQ(store.object("position"), row.position);
    const std::string said = log.lines.empty() ? "" : log.lines[0];
    EXPECT_EQ(log.lines.size(), row.logged ? 1u : 0u) << said;
    EXPECT_NE(said.find(row.logged ? row.logged : ""), std::string::npos) << said;
    store.setBool("swipeRevealEnabled", false);
    EXPECT_TRUE(store.synchronize());
    fs::file_type aside = fs::file_type::not_found;
    for (const auto& entry : fs::directory_iterator(folder.path))
      if (::fnmatch("preferences.plist.unreadable-[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9]-"
                    "[0-9][0-9][0-9][0-9][0-9][0-9]",
                    entry.path().filename().c_str(), 0) == 0)
        aside = entry.symlink_status().type();
    EXPECT_EQ(aside, row.movedAside);
    EXPECT_EQ(fs::symlink_status(file).type(), row.fileAfter);
    EXPECT_EQ(fs::symlink_status(target).type(), row.targetAfter);
    if (row.targetAfter == fs::file_type::regular) {
      EXPECT_EQ(PlistSettingsStore(target, log).object("swipeRevealEnabled"), SettingsValue{false});
    }
    EXPECT_EQ(onDisk("swipeRevealEnabled"), SettingsValue{false});
  }
}

// At launch only: before a write, the write meets the same trouble and says so itself.
TEST_F(SettingsStoreTest, AFileTheUserCannotOpenIsMovedAsideAtLaunch) {
  writeFile(file, "<plist><dict><key>position</key><integer>300</integer></dict></plist>");
  ::chmod(file.c_str(), 0);
  ::chmod(folder.path.c_str(), 0777);
  {
    ActingAsOrdinaryUser ordinary;
    EXPECT_FALSE(PlistSettingsStore(file, log).object("position").has_value());
  }
  EXPECT_FALSE(fs::exists(file));
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_NE(log.lines[0].find("Permission denied"), std::string::npos) << log.lines[0];
}

TEST_F(SettingsStoreTest, StaleTemporaryFilesAreClearedAndNeverReadAsTheStore) {
  PlistSettingsStore(file, log).setInteger("generation", 7);
  const fs::path stale = folder.path / ".preferences.plist.tmp-AbC123",
                 young = folder.path / ".preferences.plist.tmp-XyZ789";
  writeFile(stale, "<plist><dict><key>generation</key><integer>1</integer></dict></plist>");
  writeFile(young, "half writ");
  const timespec twoHoursAgo[2] = {{::time(nullptr) - 7200, 0}, {::time(nullptr) - 7200, 0}};
  ::utimensat(AT_FDCWD, stale.c_str(), twoHoursAgo, 0);
  EXPECT_EQ(onDisk("generation"), SettingsValue{std::int64_t{7}});
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(young)) << "a young one may belong to another instance writing now";
}

}  // namespace
}  // namespace velmoryn
