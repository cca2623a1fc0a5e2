// Start-up chores: the login item and the status item's remembered position.
// Main thread only, during launch.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/login_items.h"

namespace velmoryn {

struct MenuBarBoot {
  MenuBarBoot() = delete;

  static constexpr std::string_view autosaveName = "Velmoryn";
  // A fixed text that must end in the autosave name: the status bar looks the
  // position up under this key.
  static constexpr const char* positionKey = "NSStatusItem Preferred Position Velmoryn";
  static constexpr std::int64_t seedPositionValue = 300;
  // Present (true or false) once the program has registered or unregistered
  // the login item itself; from then on it never registers on its own.
  static constexpr const char* loginRegisteredKey = "menuBarBoot.loginRegistered";

  // Stores the seed position unless any value is stored already.
  static void seedPosition();
  // Registers the login item at the first launch that succeeds in doing so.
  static void ensureRegistered();
  // Answers "--login on|off|status" and ends the process; returns only when
  // "--login" is not among the arguments.
  static void handleLoginArguments();

  // Register or unregister the login item; empty on success. An item that
  // already is as asked counts as success: the service refuses to register a
  // registered item (code 12) and to unregister one that is not (code 6).
  static std::optional<LoginItemError> registerLoginItem();
  static std::optional<LoginItemError> unregisterLoginItem();

  // The Japanese text for a login-item status.
  static std::string_view statusText(std::int64_t status);
};

}  // namespace velmoryn
