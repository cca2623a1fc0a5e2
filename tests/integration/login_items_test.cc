// The XDG autostart login item against real files in temporary folders.
#include "platform/linux/login_items_linux.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
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

fs::path thisExecutable() {
  return fs::read_symlink("/proc/self/exe");
}

TEST(AutostartLoginItems, RegisterThenUnregisterRoundTripsTheStatus) {
  TemporaryFolder folder;
  fs::path autostart = folder.path / "config" / "autostart";
  AutostartLoginItems items(autostart, thisExecutable());

  EXPECT_EQ(items.status(), kLoginItemNotRegistered);
  EXPECT_EQ(items.registerApp(), std::nullopt);
  EXPECT_EQ(items.status(), kLoginItemEnabled);
  EXPECT_TRUE(fs::is_regular_file(autostart / "velmoryn.desktop"));
  // Registering again is harmless and keeps it enabled.
  EXPECT_EQ(items.registerApp(), std::nullopt);
  EXPECT_EQ(items.status(), kLoginItemEnabled);

  EXPECT_EQ(items.unregisterApp(), std::nullopt);
  EXPECT_EQ(items.status(), kLoginItemNotRegistered);
  EXPECT_FALSE(fs::exists(autostart / "velmoryn.desktop"));
  // Nothing but the entry was ever left in the folder.
  EXPECT_TRUE(fs::is_empty(autostart));
}

TEST(AutostartLoginItems, TheEntryStartsThisExecutableAtLogin) {
  TemporaryFolder folder;
  AutostartLoginItems items(folder.path, thisExecutable());
  ASSERT_EQ(items.registerApp(), std::nullopt);
  std::string entry = readFile(folder.path / "velmoryn.desktop");
  EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u) << entry;
  for (const std::string& line : std::vector<std::string>{
           "Type=Application", "Name=Velmoryn", "X-GNOME-Autostart-enabled=true",
           "Exec=" + desktopExecFor(thisExecutable())}) {
    EXPECT_NE(entry.find("\n" + line + "\n"), std::string::npos) << line << " missing in\n"
                                                                 << entry;
  }
  EXPECT_EQ(entry.find("Hidden=true"), std::string::npos);
}

TEST(AutostartLoginItems, ARelativeExecutableIsRecordedAsAnAbsolutePath) {
  TemporaryFolder folder;
  AutostartLoginItems items(folder.path, "velmoryn");
  ASSERT_EQ(items.registerApp(), std::nullopt);
  std::string entry = readFile(folder.path / "velmoryn.desktop");
  EXPECT_NE(entry.find("Exec=" + (fs::current_path() / "velmoryn").string() + "\n"),
            std::string::npos)
      << entry;
}

struct ExecCase {
  const char* program;
  const char* exec;  // as it stands in the file after "Exec="
};

TEST(DesktopExec, QuotesAndEscapesByTheDesktopEntryRulesAndReadsBack) {
  for (const ExecCase& c : {
           ExecCase{"/usr/bin/velmoryn", "/usr/bin/velmoryn"},
           ExecCase{"/opt/My Apps/velmoryn", "\"/opt/My Apps/velmoryn\""},
           ExecCase{"/opt/say \"hi\"/v", "\"/opt/say \\\\\"hi\\\\\"/v\""},
           ExecCase{"/a/b$c\\d", "\"/a/b\\\\$c\\\\\\\\d\""},
           ExecCase{"/x/100%/v", "\"/x/100%%/v\""},
           ExecCase{"/x/`cmd`", "\"/x/\\\\`cmd\\\\`\""},
           ExecCase{"/tmp/tab\there", "\"/tmp/tab\\there\""},
           ExecCase{"/home/ユーザー/velmoryn", "/home/ユーザー/velmoryn"},
       }) {
    EXPECT_EQ(desktopExecFor(c.program), c.exec) << c.program;
    EXPECT_EQ(parseExecProgram(c.exec), std::optional<std::string>(c.program)) << c.exec;
  }
}

TEST(DesktopExec, ReadsTheProgramOfEntriesWrittenByOthers) {
  EXPECT_EQ(parseExecProgram("/usr/bin/velmoryn --flag %U"), "/usr/bin/velmoryn");
  EXPECT_EQ(parseExecProgram("  \"/opt/my app/velmoryn\" %f"), "/opt/my app/velmoryn");
  EXPECT_EQ(parseExecProgram("/opt/my\\sapp"), "/opt/my");  // \s is a space, which splits
  EXPECT_EQ(parseExecProgram("\"/opt/unterminated"), std::nullopt);
  EXPECT_EQ(parseExecProgram(""), std::nullopt);
}

TEST(AutostartLoginItems, AnExecutablePathThatNeedsQuotingStillReportsEnabled) {
  TemporaryFolder folder;
  fs::path odd = folder.path / "My \"Apps\" $HOME 100%" / "velmoryn";
  fs::create_directories(odd.parent_path());
  writeFile(odd, "");
  AutostartLoginItems items(folder.path / "autostart", odd);
  ASSERT_EQ(items.registerApp(), std::nullopt);
  EXPECT_EQ(items.status(), kLoginItemEnabled);
}

TEST(AutostartLoginItems, AnEntryForAnotherExecutableIsNotThisProgramsLoginItem) {
  TemporaryFolder folder;
  fs::path entry = folder.path / "velmoryn.desktop";
  const std::string other =
      "[Desktop Entry]\nType=Application\nName=Velmoryn\nExec=/opt/old/velmoryn %U\n";
  writeFile(entry, other);
  AutostartLoginItems items(folder.path, thisExecutable());
  EXPECT_EQ(items.status(), kLoginItemNotRegistered);

  // Registering takes the one Velmoryn entry over for this copy.
  ASSERT_EQ(items.registerApp(), std::nullopt);
  EXPECT_EQ(items.status(), kLoginItemEnabled);

  // Unregistering removes the entry whichever copy it starts: afterwards no
  // Velmoryn starts at login.
  writeFile(entry, other);
  EXPECT_EQ(items.unregisterApp(), std::nullopt);
  EXPECT_FALSE(fs::exists(entry));
}

TEST(AutostartLoginItems, ALinkToThisExecutableCountsAsThisExecutable) {
  TemporaryFolder folder;
  fs::path link = folder.path / "velmoryn-link";
  fs::create_symlink(thisExecutable(), link);
  writeFile(folder.path / "velmoryn.desktop",
            "[Desktop Entry]\nType=Application\nName=Velmoryn\nExec=" + link.string() + "\n");
  AutostartLoginItems items(folder.path, thisExecutable());
  EXPECT_EQ(items.status(), kLoginItemEnabled);
}

TEST(AutostartLoginItems, AnEntrySwitchedOffOrHiddenIsNotEnabled) {
  TemporaryFolder folder;
  fs::path entry = folder.path / "velmoryn.desktop";
  const std::string head = "# written by hand\n[Desktop Entry]\nType=Application\nExec=" +
                           desktopExecFor(thisExecutable()) + "\n";
  AutostartLoginItems items(folder.path, thisExecutable());

  // Switched off in the session's settings: registered, but waiting for the user.
  writeFile(entry, head + "X-GNOME-Autostart-enabled=false\n");
  EXPECT_EQ(items.status(), kLoginItemRequiresApproval);
  // Hidden entries count as deleted.
  writeFile(entry, head + "Hidden=true\n");
  EXPECT_EQ(items.status(), kLoginItemNotRegistered);
  // Keys of another group do not count.
  writeFile(entry, head + "[Desktop Action extra]\nHidden=true\n");
  EXPECT_EQ(items.status(), kLoginItemEnabled);
  // Registering switches it back on.
  writeFile(entry, head + "X-GNOME-Autostart-enabled=false\n");
  ASSERT_EQ(items.registerApp(), std::nullopt);
  EXPECT_EQ(items.status(), kLoginItemEnabled);
}

TEST(AutostartLoginItems, UnregisteringWhatWasNeverRegisteredFailsWithAClearError) {
  TemporaryFolder folder;
  AutostartLoginItems items(folder.path, thisExecutable());
  auto error = items.unregisterApp();
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->localizedDescription, "ログイン項目は登録されていません");
  EXPECT_EQ(error->description,
            "Error Domain=VelmorynLoginItemErrorDomain Code=2 \"ログイン項目は登録されていません\" "
            "UserInfo={NSFilePath=" +
                (folder.path / "velmoryn.desktop").string() +
                ", NSUnderlyingError=No such file or directory}");
}

TEST(AutostartLoginItems, AnUnwritableAutostartFolderGivesAnErrorAndChangesNothing) {
  TemporaryFolder folder;
  fs::path autostart = folder.path / "autostart";
  fs::create_directory(autostart);
  ::chmod(autostart.c_str(), 0555);
  AutostartLoginItems items(autostart, thisExecutable());
  std::optional<LoginItemError> error;
  {
    ActingAsOrdinaryUser ordinary;
    error = items.registerApp();
  }
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->localizedDescription,
            "ログイン時に起動する設定を書き込めません（アクセス権がありません）");
  EXPECT_EQ(error->description, "Error Domain=VelmorynLoginItemErrorDomain Code=13 \"" +
                                    error->localizedDescription + "\" UserInfo={NSFilePath=" +
                                    autostart.string() + ", NSUnderlyingError=Permission denied}");
  EXPECT_EQ(items.status(), kLoginItemNotRegistered);
  EXPECT_TRUE(fs::is_empty(autostart));

  // An entry in a folder that cannot be changed cannot be removed either.
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
  EXPECT_NE(error->description.find("Code=13"), std::string::npos) << error->description;
  EXPECT_EQ(items.status(), kLoginItemEnabled);
}

TEST(AutostartLoginItems, AFileWhereTheAutostartFolderShouldBeGivesAnError) {
  TemporaryFolder folder;
  writeFile(folder.path / "autostart", "");
  AutostartLoginItems items(folder.path / "autostart", thisExecutable());
  auto error = items.registerApp();
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->localizedDescription,
            "ログイン時に起動する設定を書き込めません（フォルダの場所にファイルがあります）");
  EXPECT_NE(error->description.find("Code=20 "), std::string::npos) << error->description;
  EXPECT_NE(error->description.find("NSFilePath=" + (folder.path / "autostart").string()),
            std::string::npos)
      << error->description;
  EXPECT_EQ(items.status(), kLoginItemNotRegistered);
}

TEST(DefaultPaths, FollowXdgConfigHomeAndFallBackToHomeWhenItIsNotAbsolute) {
  std::string savedXdg = getenv("XDG_CONFIG_HOME") ? getenv("XDG_CONFIG_HOME") : "";
  bool hadXdg = getenv("XDG_CONFIG_HOME") != nullptr;
  std::string savedHome = getenv("HOME") ? getenv("HOME") : "";
  setenv("HOME", "/home/someone", 1);
  setenv("XDG_CONFIG_HOME", "/xdg/config", 1);
  EXPECT_EQ(defaultAutostartDir(), fs::path("/xdg/config/autostart"));
  EXPECT_EQ(defaultSettingsPath(), fs::path("/xdg/config/velmoryn/preferences.plist"));
  setenv("XDG_CONFIG_HOME", "relative/config", 1);
  EXPECT_EQ(defaultAutostartDir(), fs::path("/home/someone/.config/autostart"));
  setenv("XDG_CONFIG_HOME", "", 1);
  EXPECT_EQ(defaultAutostartDir(), fs::path("/home/someone/.config/autostart"));
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(defaultAutostartDir(), fs::path("/home/someone/.config/autostart"));
  EXPECT_EQ(defaultSettingsPath(), fs::path("/home/someone/.config/velmoryn/preferences.plist"));
  if (hadXdg) setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
  setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
}  // namespace velmoryn
