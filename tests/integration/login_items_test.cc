// The XDG autostart login item against real files in temporary folders.
#include "platform/linux/login_items_linux.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "integration/file_test_support.h"
#include "platform/linux/settings_store_linux.h"

namespace velmoryn {
namespace {

namespace fs = std::filesystem;
using testing::ActingAsOrdinaryUser;
using testing::readFile;
using testing::TemporaryFolder;
using testing::writeFile;

// An executable whose path needs quoting and escaping in the entry.
TEST(AutostartLoginItems, RegisterAndUnregisterRoundTripAnExecutableWithAnOddPath) {
  TemporaryFolder folder;
  const fs::path odd = folder.path / "My \"Apps\" $HOME 100%" / "velmoryn";
  fs::create_directories(odd.parent_path());
  writeFile(odd, "");
  const fs::path autostart = folder.path / "config" / "autostart";
  AutostartLoginItems items(autostart, odd);
  EXPECT_EQ(items.status(), kLoginItemNotRegistered);
  for (int times = 0; times < 2; ++times) {  // again is harmless
    EXPECT_EQ(items.registerApp(), std::nullopt);
    EXPECT_EQ(items.status(), kLoginItemEnabled);
  }
  const std::string entry = readFile(autostart / "velmoryn.desktop");
  EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u) << entry;
  for (const std::string& line :
       std::vector<std::string>{"Type=Application", "Name=Velmoryn",
                                "X-GNOME-Autostart-enabled=true", "Exec=" + desktopExecFor(odd)}) {
    EXPECT_NE(entry.find("\n" + line + "\n"), std::string::npos) << line << " in\n" << entry;
  }
  EXPECT_EQ(items.unregisterApp(), std::nullopt);
  EXPECT_EQ(items.status(), kLoginItemNotRegistered);
  EXPECT_TRUE(fs::is_empty(autostart)) << "nothing but the entry was ever left there";

  AutostartLoginItems relative(folder.path, "velmoryn");
  ASSERT_EQ(relative.registerApp(), std::nullopt);
  EXPECT_NE(readFile(folder.path / "velmoryn.desktop")
                .find("Exec=" + (fs::current_path() / "velmoryn").string() + "\n"),
            std::string::npos);
}

TEST(DesktopExec, QuotesAndEscapesByTheDesktopEntryRulesAndReadsBack) {
  const struct {
    const char* program;
    const char* exec;  // as it stands in the file after "Exec="
  } rows[] = {
      {"/usr/bin/velmoryn", "/usr/bin/velmoryn"},
      {"/opt/My Apps/velmoryn", "\"/opt/My Apps/velmoryn\""},
      {"/opt/say \"hi\"/v", "\"/opt/say \\\\\"hi\\\\\"/v\""},
      {"/a/b$c\\d", "\"/a/b\\\\$c\\\\\\\\d\""},
      {"/x/100%/v", "\"/x/100%%/v\""},
      {"/x/`cmd`", "\"/x/\\\\`cmd\\\\`\""},
      {"/tmp/tab\there", "\"/tmp/tab\\there\""},
      {"/home/ユーザー/velmoryn", "/home/ユーザー/velmoryn"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(desktopExecFor(row.program), row.exec) << row.program;
    EXPECT_EQ(parseExecProgram(row.exec), std::optional<std::string>(row.program)) << row.exec;
  }
  // Entries written by others.
  EXPECT_EQ(parseExecProgram("  \"/opt/my app/velmoryn\" %f"), "/opt/my app/velmoryn");
  EXPECT_EQ(parseExecProgram("/opt/my\\sapp --flag"), "/opt/my");  // \s is a space, which splits
  EXPECT_EQ(parseExecProgram("\"/opt/unterminated"), std::nullopt);
  EXPECT_EQ(parseExecProgram(""), std::nullopt);
}

TEST(AutostartLoginItems, TheStatusReadsTheEntryAsTheSessionWould) {
  TemporaryFolder folder;
  const fs::path self = fs::read_symlink("/proc/self/exe");
  fs::create_symlink(self, folder.path / "link");
  const std::string head = "# by hand\n[Desktop Entry]\nType=Application\nExec=";
  const struct {
    std::string exec;
    std::string rest;
    std::int64_t status;
  } rows[] = {
      {desktopExecFor(self), "", kLoginItemEnabled},
      {(folder.path / "link").string() + " %U", "", kLoginItemEnabled},
      {"/opt/old/velmoryn %U", "", kLoginItemNotRegistered},  // another copy's
      {desktopExecFor(self), "X-GNOME-Autostart-enabled=false\n", kLoginItemRequiresApproval},
      {desktopExecFor(self), "Hidden=true\n", kLoginItemNotRegistered},  // counts as deleted
      {desktopExecFor(self), "[Desktop Action extra]\nHidden=true\n", kLoginItemEnabled},
  };
  AutostartLoginItems items(folder.path, self);
  for (const auto& row : rows) {
    writeFile(folder.path / "velmoryn.desktop", head + row.exec + "\n" + row.rest);
    EXPECT_EQ(items.status(), row.status) << row.exec << "\n" << row.rest;
    // Registering takes any entry over for this copy and switches it on;
    // unregistering removes it whichever copy it starts.
    writeFile(folder.path / "velmoryn.desktop", head + row.exec + "\n" + row.rest);
    ASSERT_EQ(items.registerApp(), std::nullopt);
    EXPECT_EQ(items.status(), kLoginItemEnabled);
    writeFile(folder.path / "velmoryn.desktop", head + row.exec + "\n" + row.rest);
    EXPECT_EQ(items.unregisterApp(), std::nullopt);
    EXPECT_FALSE(fs::exists(folder.path / "velmoryn.desktop"));
  }
}

TEST(AutostartLoginItems, WhatCannotBeChangedGivesAClearErrorAndChangesNothing) {
  TemporaryFolder folder;
  const fs::path autostart = folder.path / "autostart";
  AutostartLoginItems items(autostart, "/usr/bin/velmoryn");
  writeFile(autostart, "");
  auto error = items.registerApp();
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->localizedDescription,
            "ログイン時に起動する設定を書き込めません（フォルダの場所にファイルがあります）");
  EXPECT_NE(error->description.find("Code=20 "), std::string::npos) << error->description;
  fs::remove(autostart);

  fs::create_directory(autostart);
  error = items.unregisterApp();
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->description,
            "Error Domain=VelmorynLoginItemErrorDomain Code=2 \"ログイン項目は登録されていません\" "
            "UserInfo={NSFilePath=" +
                (autostart / "velmoryn.desktop").string() +
                ", NSUnderlyingError=No such file or directory}");

  ::chmod(autostart.c_str(), 0555);
  {
    ActingAsOrdinaryUser ordinary;
    error = items.registerApp();
  }
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->description,
            "Error Domain=VelmorynLoginItemErrorDomain Code=13 \"ログイン時に起動する設定を"
            "書き込めません（アクセス権がありません）\" UserInfo={NSFilePath=" +
                autostart.string() + ", NSUnderlyingError=Permission denied}");
  EXPECT_TRUE(fs::is_empty(autostart));

  ::chmod(autostart.c_str(), 0755);
  ASSERT_EQ(items.registerApp(), std::nullopt);
  ::chmod(autostart.c_str(), 0555);
  {
    ActingAsOrdinaryUser ordinary;
    error = items.unregisterApp();
  }
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->localizedDescription,
            "ログイン時に起動する設定を削除できません（アクセス権がありません）");
  EXPECT_EQ(items.status(), kLoginItemEnabled);
}

TEST(DefaultPaths, FollowXdgConfigHomeAndFallBackToHomeWhenItIsNotAbsolute) {
  const char* xdg = ::getenv("XDG_CONFIG_HOME");
  const std::string savedXdg = xdg ? xdg : "", savedHome = ::getenv("HOME");
  ::setenv("HOME", "/home/someone", 1);
  for (const char* value :
       {"/xdg/config", "relative/config", "", static_cast<const char*>(nullptr)}) {
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
