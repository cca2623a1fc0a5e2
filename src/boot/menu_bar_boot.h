// Start-up chores: the login item and the status item's remembered position.
// Main thread only, during launch.
#pragma once

#include <string_view>

#include "boot/command_line.h"
#include "platform/login_items.h"

namespace velmoryn {

class MenuBarBoot {
 public:
  static constexpr std::string_view autosaveName = "Velmoryn";

  // `asked` is what the command line asked for; only "--login" is answered here.
  explicit MenuBarBoot(CommandLine asked) : asked(asked) {}

  // Answers "--login on|off|status" and ends the process; returns at once
  // when the command line asked for anything else.
  void handleLoginArguments();
  // Stores the seed position unless any value is stored already.
  void seedPosition();
  // Registers the login item at the first launch that succeeds in doing so.
  void ensureRegistered();

  // Registers or unregisters the login item. An item the system finds already
  // as asked is done once its status, read again, agrees; else it failed.
  static LoginItemResult changeLoginItem(bool registered);

 private:
  CommandLine asked;
};

}  // namespace velmoryn
