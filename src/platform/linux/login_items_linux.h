// The login item on Linux: an XDG autostart entry "velmoryn.desktop" that
// starts this executable when the user logs in. Main thread only.
//
// status(): 1 when the entry exists and starts this executable; 2 when it does
// but the user has switched it off (X-GNOME-Autostart-enabled=false), which is
// "registered, the user must still allow it"; 0 when there is no entry, it is
// Hidden (the autostart rules treat that as deleted), or it starts another
// executable (another copy of the program: this one is not registered).
// registerApp() writes the entry atomically, replacing one for another copy or
// one switched off; an enabled entry of this executable is already as asked.
// unregisterApp() removes the entry whichever copy it starts, since there is
// one Velmoryn login item per user; with no entry at all it is already as asked.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/login_items.h"

namespace velmoryn {

// $XDG_CONFIG_HOME/autostart, or $HOME/.config/autostart.
std::filesystem::path defaultAutostartDir();

class AutostartLoginItems : public LoginItemService {
 public:
  // A relative executable is taken from the current folder.
  AutostartLoginItems(const std::filesystem::path& autostartDir, std::filesystem::path executable);

  std::int64_t status() override;
  LoginItemResult registerApp() override;
  LoginItemResult unregisterApp() override;
  // The desktop has no approval pane: an entry switched off is edited by hand.
  void openSystemSettingsLoginItems() override {}

  // The entry's text, as registerApp() writes it.
  std::string entryContents() const;

 private:
  std::filesystem::path entry;
  std::filesystem::path executable;
};

// The Exec value for one program path, quoted and escaped by the Desktop
// Entry rules; parseExecProgram() reads the program back from an Exec value.
std::string desktopExecFor(const std::filesystem::path& program);
std::optional<std::string> parseExecProgram(const std::string& execValue);

}  // namespace velmoryn
