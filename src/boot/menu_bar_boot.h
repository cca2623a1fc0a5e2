// Start-up chores: the login item and the status item's remembered position.
// Main thread only, during launch.
#pragma once

#include <cstdint>
#include <string_view>

namespace velmoryn {

struct MenuBarBoot {
  MenuBarBoot() = delete;

  static constexpr std::string_view autosaveName = "Velmoryn";
  // Must end in the autosave name.
  static constexpr const char* positionKey = "NSStatusItem Preferred Position Velmoryn";
  static constexpr std::int64_t seedPositionValue = 300;
  static constexpr const char* loginRegisteredKey = "menuBarBoot.loginRegistered";

  static void seedPosition();
  static void ensureRegistered();
  // Returns only when "--login" is not among the arguments.
  static void handleLoginArguments();

  static std::string_view statusText(std::int64_t status);
};

}  // namespace velmoryn
