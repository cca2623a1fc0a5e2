// The settings store and the autostart login item against real files in
// temporary folders. What any file reads as, and that a write keeps it, is
// the settings fuzzer's to check.
#include "platform/linux/settings_store_linux.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"
#include "integration/file_test_support.h"
#include "platform/linux/login_items_linux.h"

// The kernel calls of the atomic writer while a test listens: these stand in
// for the C library's fsync and rename in this test program.
static std::vector<std::string>* heardCalls = nullptr;

extern "C" int fsync(int fd) {
  char path[4096] = {};
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t length = ::readlink(link.c_str(), path, sizeof path - 1);
  if (heardCalls) heardCalls->push_back("fsync " + std::string(path, std::max<ssize_t>(length, 0)));
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
using testing::modeOf;
using testing::readFile;
using testing::writeFile;

std::string plistOf(const std::string& entries) {
  return "<plist version=\"1.0\"><dict>" + entries + "</dict></plist>";
}

struct SettingsFile : ::testing::Test {
  long count(const fs::path& where) { return std::distance(fs::directory_iterator(where), {}); }
  std::optional<SettingsValue> onDisk(const std::string& key) {
    return PlistSettingsStore(file, log).object(key);
  }
  testing::TemporaryFolder folder;
  fs::path file = folder.path / "preferences.plist";
  testing::FakeLog log;
};

// Each type reads as itself, and as a Boolean the platform's way: a text
// never as a number. That a set value reads back alike is the fuzzer's.
TEST_F(SettingsFile, EveryTypeReadsAsItselfAndAsABooleanByThePlatformsRule) {
  const struct {
    std::string xml;
    SettingsValue value;
    bool isTrue;
  } rows[] = {
      {"<true/>", true, true},
      {"<false/>", false, false},
      {"<integer>0</integer>", std::int64_t{0}, false},
      {"<integer>-5</integer>", std::int64_t{-5}, true},
      {"<real>0.0</real>", 0.0, false},
      {"<real>0.5</real>", 0.5, true},
      {"<string>NO</string>", std::string("NO"), false},
      {"<string>y</string>", std::string("y"), true},
      {"<string> +007</string>", std::string(" +007"), true},
      {"<string>0</string>", std::string("0"), false},
      {"<string></string>", std::string(), false},
      {"<data>AAECAwQF</data>", OtherValue{}, false},
      {"<array><integer>1</integer></array>", OtherValue{}, false},
  };
  std::string entries;
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    entries += "<key>k" + std::to_string(i) + "</key>" + rows[i].xml;
  }
  writeFile(file, plistOf(entries));
  PlistSettingsStore store(file, log);
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(store.object("k" + std::to_string(i)), rows[i].value) << rows[i].xml;
    EXPECT_EQ(store.boolForKey("k" + std::to_string(i)), rows[i].isTrue) << rows[i].xml;
  }
}

// A "--login off" run beside the running program: each writer applies only
// what it changed to the file as it is now, so neither loses the other's keys.
TEST_F(SettingsFile, TwoWritersMergeTheirChangesInsteadOfWritingBackStaleCopies) {
  {
    PlistSettingsStore running(file, log), commandLine(file, log);
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

// Durable at every instant: the new text reaches the disk before it takes the
// file's name, and the name before the write counts as done. Only the user
// may read the file and the folders made for it, whatever the umask.
TEST_F(SettingsFile, AWriteSyncsTheNewPrivateFileThenRenamesItThenSyncsTheFolder) {
  file = folder.path / "config" / "velmoryn" / "preferences.plist";
  const mode_t previousUmask = ::umask(0);
  PlistSettingsStore store(file, log);
  store.remove("originalDock.saved");
  EXPECT_TRUE(store.synchronize());
  EXPECT_FALSE(fs::exists(folder.path / "config")) << "nothing is created until a write";
  std::vector<std::string> calls;
  heardCalls = &calls;
  store.setBool("originalDock.saved", true);
  heardCalls = nullptr;
  ::umask(previousUmask);
  ASSERT_EQ(calls.size(), 3u) << ::testing::PrintToString(calls);
  const std::string temporary = calls[0].substr(6);
  EXPECT_EQ(fs::path(temporary).parent_path(), file.parent_path()) << calls[0];
  EXPECT_EQ(calls[1], "rename " + temporary + " " + file.string());
  EXPECT_EQ(calls[2], "fsync " + file.parent_path().string());
  EXPECT_EQ(onDisk("originalDock.saved"), SettingsValue{true});
  EXPECT_EQ(modeOf(folder.path / "config"), 0700u);
  EXPECT_EQ(modeOf(file.parent_path()), 0700u);
  ::chmod(file.c_str(), 0644);  // made readable to others by the user
  store.setBool("originalDock.saved", false);
  EXPECT_EQ(modeOf(file), 0600u);
}

// Each kind of damage is the fuzzer's; here files moved aside one after the
// other keep a name each, which the log line gives.
TEST_F(SettingsFile, UnreadableFilesAreMovedAsideEachUnderItsOwnNameWithALineSayingWhere) {
  const std::string broken[] = {"<plist><dict><key>a</ke", std::string("bplist00\xd1\x01", 10)};
  for (std::size_t i = 0; i < std::size(broken); ++i) {
    writeFile(file, broken[i]);
    EXPECT_FALSE(PlistSettingsStore(file, log).object("a").has_value());
    ASSERT_EQ(log.lines.size(), i + 1);
    const std::string& line = log.lines.back();
    const std::size_t at = line.find(file.string() + ".unreadable-");
    ASSERT_NE(at, std::string::npos) << line;
    EXPECT_EQ(readFile(line.substr(at, line.find(' ', at) - at)), broken[i]) << line;
    EXPECT_EQ(count(folder.path), i + 1);
  }
}

// A folder the user cannot change: values stay in memory, the file (readable
// or not) is never written over nor replaced, one line says why, and a
// synchronize once the folder can be changed again catches up.
TEST_F(SettingsFile, WhatCannotBeWrittenStaysInMemoryLoggedOnceUntilSynchronizeCatchesUp) {
  file = folder.path / "velmoryn" / "preferences.plist";
  const struct {
    std::string contents;
    long filesAfter, linesAfter;  // moved aside, then "saved again"
  } rows[] = {{plistOf("<key>position</key><integer>300</integer>"), 1, 2},
              {"<plist><dict><key>precious", 2, 3}};
  for (const auto& row : rows) {
    fs::remove_all(file.parent_path());
    fs::create_directory(file.parent_path());
    writeFile(file, row.contents);
    ::chmod(file.parent_path().c_str(), 0555);
    log.lines.clear();
    auto ordinary = std::make_optional<ActingAsOrdinaryUser>();
    PlistSettingsStore store(file, log);
    store.setBool("originalDock.saved", true);
    store.setBool("swipeRevealEnabled", false);
    EXPECT_FALSE(store.synchronize());
    EXPECT_EQ(store.object("originalDock.saved"), SettingsValue{true});
    EXPECT_EQ(readFile(file), row.contents);
    EXPECT_EQ(count(file.parent_path()), 1) << "no temporary file is left behind";
    ASSERT_EQ(log.lines.size(), 1u) << "repeated identical failures are logged once";
    EXPECT_NE(log.lines[0].find("Permission denied"), std::string::npos) << log.lines[0];
    EXPECT_NE(log.lines[0].find(file.string()), std::string::npos) << log.lines[0];
    ordinary.reset();
    ::chmod(file.parent_path().c_str(), 0777);
    ordinary.emplace();
    EXPECT_TRUE(store.synchronize());
    EXPECT_EQ(count(file.parent_path()), row.filesAfter);
    EXPECT_EQ(log.lines.size(), row.linesAfter);
    EXPECT_EQ(onDisk("swipeRevealEnabled"), SettingsValue{false});
  }
  EXPECT_EQ(onDisk("position"), std::nullopt) << "the damaged file's store started empty";
}

TEST_F(SettingsFile, StaleTemporaryFilesAreClearedAndNeverReadAsTheStore) {
  PlistSettingsStore(file, log).setInteger("generation", 7);
  const fs::path stale = folder.path / ".preferences.plist.tmp-AbC123";
  const fs::path young = folder.path / ".preferences.plist.tmp-XyZ789";
  writeFile(stale, plistOf("<key>generation</key><integer>1</integer>"));
  writeFile(young, "half writ");
  const timespec twoHoursAgo[2] = {{::time(nullptr) - 7200, 0}, {::time(nullptr) - 7200, 0}};
  ::utimensat(AT_FDCWD, stale.c_str(), twoHoursAgo, 0);
  EXPECT_EQ(onDisk("generation"), SettingsValue{std::int64_t{7}});
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(young)) << "a young one may belong to another instance writing now";
}

// The autostart entry that starts the program at login.
struct LoginItemFile : ::testing::Test {
  testing::TemporaryFolder folder;
  fs::path autostart = folder.path / "config" / "autostart", entry = autostart / "velmoryn.desktop";
};

// Registering writes an entry the session reads, and takes any entry over for
// this copy; unregistering removes it for good, whichever copy it starts.
TEST_F(LoginItemFile, RegisterAndUnregisterWriteAndRemoveTheEntryTheSessionReads) {
  const fs::path self = folder.path / "My \"Apps\" $HOME\\ 100% `x`\t" / "velmoryn";
  fs::create_directories(self.parent_path());
  writeFile(self, "");
  fs::create_symlink(self, folder.path / "link");
  AutostartLoginItems items(autostart, self);
  EXPECT_EQ(items.status(), kLoginItemNotRegistered);
  for (int times = 0; times < 2; ++times) EXPECT_EQ(items.registerApp(), std::nullopt);
  const std::string text = readFile(entry);
  EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u) << text;
  // Quoted, escaped twice (in quotes, then as a string), "%" doubled.
  const std::string exec = "Exec=\"" + folder.path.string() +
                           "/My \\\\\"Apps\\\\\" \\\\$HOME\\\\\\\\ 100%% \\\\`x\\\\`\\t/velmoryn\"";
  for (const std::string& line :
       {std::string("Type=Application"), exec, std::string("X-GNOME-Autostart-enabled=true")}) {
    EXPECT_NE(text.find("\n" + line + "\n"), std::string::npos) << line << " in\n" << text;
  }
  EXPECT_EQ(testing::modeOf(entry), 0644u) << "the session reads it";
  const struct {
    std::string exec, rest;
    std::int64_t status;
  } rows[] = {
      {desktopExecFor(self), "", kLoginItemEnabled},
      {(folder.path / "link").string() + " %U", "", kLoginItemEnabled},
      {"/opt/old/velmoryn %U", "", kLoginItemNotRegistered},  // another copy's
      {"\"/opt/unterminated", "", kLoginItemNotRegistered},
      {desktopExecFor(self), "X-GNOME-Autostart-enabled=false\n", kLoginItemRequiresApproval},
      {desktopExecFor(self), "Hidden=true\n", kLoginItemNotRegistered},  // counts as deleted
      {desktopExecFor(self), "[Desktop Action extra]\nHidden=true\n", kLoginItemEnabled},
  };
  for (const auto& row : rows) {
    const std::string text = "# by hand\n[Desktop Entry]\nExec=" + row.exec + "\n" + row.rest;
    writeFile(entry, text);
    EXPECT_EQ(items.status(), row.status) << text;
    ASSERT_EQ(items.registerApp(), std::nullopt);
    EXPECT_EQ(items.status(), kLoginItemEnabled);
    writeFile(entry, text);
    std::vector<std::string> calls;
    heardCalls = &calls;
    EXPECT_EQ(items.unregisterApp(), std::nullopt);
    heardCalls = nullptr;
    EXPECT_EQ(calls, std::vector<std::string>{"fsync " + autostart.string()});
    EXPECT_EQ(items.status(), kLoginItemNotRegistered);
    EXPECT_TRUE(fs::is_empty(autostart)) << "nothing but the entry was ever left there";
  }
  ASSERT_EQ(AutostartLoginItems(autostart, "ユーザー").registerApp(), std::nullopt);
  EXPECT_NE(readFile(entry).find("Exec=" + (fs::current_path() / "ユーザー").string() + "\n"),
            std::string::npos);
}

TEST_F(LoginItemFile, WhatCannotBeChangedGivesAClearErrorAndChangesNothing) {
  fs::create_directory(autostart.parent_path());
  AutostartLoginItems items(autostart, "/usr/bin/velmoryn");
  const auto asOrdinaryUser = [&](auto change) {
    ::chmod(autostart.c_str(), 0555);
    ActingAsOrdinaryUser ordinary;
    return change().value_or(LoginItemError{}).localizedDescription;
  };
  writeFile(autostart, "");
  EXPECT_EQ(items.registerApp().value_or(LoginItemError{}).localizedDescription,
            "ログイン時に起動する設定を書き込めません（フォルダの場所にファイルがあります）");
  fs::remove(autostart);
  fs::create_directory(autostart);
  EXPECT_EQ(items.unregisterApp().value_or(LoginItemError{}).description,
            "Error Domain=VelmorynLoginItemErrorDomain Code=2 \"ログイン項目は登録されていません\" "
            "UserInfo={NSFilePath=" +
                (autostart / "velmoryn.desktop").string() +
                ", NSUnderlyingError=No such file or directory}");
  fs::create_directory(autostart / "velmoryn.desktop");  // in the way of the rename
  EXPECT_EQ(items.registerApp().value_or(LoginItemError{}).localizedDescription,
            "ログイン時に起動する設定を書き込めません（Is a directory）");
  EXPECT_EQ(std::distance(fs::directory_iterator(autostart), {}), 1) << "no temporary file left";
  fs::remove(autostart / "velmoryn.desktop");
  EXPECT_EQ(asOrdinaryUser([&] { return items.registerApp(); }),
            "ログイン時に起動する設定を書き込めません（アクセス権がありません）");
  EXPECT_TRUE(fs::is_empty(autostart));
  ::chmod(autostart.c_str(), 0755);
  ASSERT_EQ(items.registerApp(), std::nullopt);
  EXPECT_EQ(asOrdinaryUser([&] { return items.unregisterApp(); }),
            "ログイン時に起動する設定を削除できません（アクセス権がありません）");
  EXPECT_EQ(items.status(), kLoginItemEnabled);
}

TEST(DefaultPaths, FollowXdgConfigHomeAndFallBackToHomeWhenItIsNotAbsolute) {
  const char* xdg = ::getenv("XDG_CONFIG_HOME");
  const std::string savedXdg = xdg ? xdg : "", savedHome = ::getenv("HOME");
  ::setenv("HOME", "/home/someone", 1);
  for (const char* value : {"/xdg/config", "relative/config", "", (const char*)nullptr}) {
    value ? ::setenv("XDG_CONFIG_HOME", value, 1) : ::unsetenv("XDG_CONFIG_HOME");
    const fs::path config = value && *value == '/' ? value : "/home/someone/.config";
    EXPECT_EQ(defaultAutostartDir(), config / "autostart");
    EXPECT_EQ(defaultSettingsPath(), config / "velmoryn" / "preferences.plist");
  }
  xdg ? ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
}  // namespace velmoryn
