// The login item as an autostart entry on real files.
#include "platform/linux/login_items_linux.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "integration/file_test_support.h"

namespace velmoryn {
namespace {

namespace fs = std::filesystem;
using testing::ActingAsOrdinaryUser;
using testing::fileCallsDuring;
using testing::modeOf;
using testing::readFile;
using testing::writeFile;

struct LoginItems : ::testing::Test {
  testing::TemporaryFolder folder;
  fs::path autostart = folder.path / "autostart", entry = autostart / "velmoryn.desktop";
};

// Registering takes any entry over but an enabled one of its own, which is already as asked;
// unregistering removes it for good, whichever copy it starts.
TEST_F(LoginItems, RegisterAndUnregisterWriteAndRemoveTheEntryTheSessionReads) {
  using Outcome = LoginItemResult::Outcome;
  const fs::path self = folder.path / "My \"Apps\" $HOME\\ 100% `x`\t" / "velmoryn";
  fs::create_directories(self.parent_path());
  writeFile(self, "");
  fs::create_symlink(self, folder.path / "link");
  AutostartLoginItems items(autostart, self);
  EXPECT_EQ(items.registerApp().outcome, Outcome::done);
  const std::string text = readFile(entry);
  // Quoted, escaped twice (in quotes, then as a string), "%" doubled.
  const std::string exec = "Exec=\"" + folder.path.string() +
                           "/My \\\\\"Apps\\\\\" \\\\$HOME\\\\\\\\ 100%% \\\\`x\\\\`\\t/velmoryn\"";
  EXPECT_NE(text.find("\nType=Application\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\n" + exec + "\n"), std::string::npos) << text;
  EXPECT_EQ(modeOf(entry), 0644u) << "the session reads it";
  const std::string own = desktopExecFor(self);
  const struct {
    const char* name;
    std::string exec;  // the Exec value of an entry written by hand
    std::int64_t status;
  } rows[] = {
      {.name = "a link to this copy",
       .exec = (folder.path / "link").string() + " %U",
       .status = kLoginItemEnabled},
      {.name = "another copy's", .exec = "/opt/old/velmoryn %U", .status = kLoginItemNotRegistered},
      {.name = "a quote that never closes",
       .exec = own.substr(0, own.size() - 1),
       .status = kLoginItemNotRegistered},
      {.name = "switched off in the session's settings",
       .exec = own + "\nX-GNOME-Autostart-enabled=false",
       .status = kLoginItemRequiresApproval},
      {.name = "hidden, which counts as deleted",
       .exec = own + "\nHidden=true",
       .status = kLoginItemNotRegistered},
      {.name = "hidden in another group only",
       .exec = own + "\n[Desktop Action extra]\nHidden=true",
       .status = kLoginItemEnabled},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string text = "# by hand\n[Desktop Entry]\nExec=" + row.exec + "\n";
    writeFile(entry, text);
    EXPECT_EQ(items.status(), row.status);
    EXPECT_EQ(items.registerApp().outcome,
              row.status == kLoginItemEnabled ? Outcome::alreadyAsAsked : Outcome::done);
    EXPECT_EQ(items.status(), kLoginItemEnabled);
    writeFile(entry, text);
    const auto calls =
        fileCallsDuring([&] { EXPECT_EQ(items.unregisterApp().outcome, Outcome::done); });
    EXPECT_EQ(calls, std::vector<std::string>{"fsync " + autostart.string()});
    EXPECT_EQ(items.status(), kLoginItemNotRegistered);
    EXPECT_TRUE(fs::is_empty(autostart)) << "nothing but the entry was ever left there";
  }
  ASSERT_EQ(AutostartLoginItems(autostart, "ユーザー").registerApp().outcome, Outcome::done);
  EXPECT_NE(readFile(entry).find("Exec=" + (fs::current_path() / "ユーザー").string() + "\n"),
            std::string::npos);
}

TEST_F(LoginItems, WhatCannotBeChangedGivesAClearErrorAndChangesNothing) {
  AutostartLoginItems items(autostart, "/usr/bin/velmoryn");
  const auto said = [](const LoginItemResult& result) {
    return result.outcome == LoginItemResult::Outcome::failed ? result.reason.localizedDescription
                                                              : "";
  };
  writeFile(autostart, "");
  EXPECT_EQ(said(items.registerApp()),
            "ログイン時に起動する設定を書き込めません（フォルダの場所にファイルがあります）");
  fs::remove(autostart);
  fs::create_directory(autostart);
  // No entry at all is already as asked; the description serves should the status disagree.
  const LoginItemResult none = items.unregisterApp();
  EXPECT_EQ(none.outcome, LoginItemResult::Outcome::alreadyAsAsked);
  EXPECT_EQ(none.reason.description,
            "Error Domain=VelmorynLoginItemErrorDomain Code=2 \"ログイン項目は登録されていません\" "
            "UserInfo={NSFilePath=" +
                entry.string() + ", NSUnderlyingError=No such file or directory}");
  fs::create_directory(entry);  // in the way of the rename
  EXPECT_EQ(said(items.registerApp()),
            "ログイン時に起動する設定を書き込めません（Is a directory）");
  fs::remove(entry);
  writeFile(entry, "[Desktop Entry]\n");
  ::chmod(autostart.c_str(), 0555);
  ActingAsOrdinaryUser ordinary;
  EXPECT_EQ(said(items.unregisterApp()),
            "ログイン時に起動する設定を削除できません（アクセス権がありません）");
  EXPECT_EQ(std::distance(fs::directory_iterator(autostart), {}), 1) << "no temporary file left";
}

}  // namespace
}  // namespace velmoryn
