#include "boot/menu_bar_boot.h"

// Placeholder bodies.
namespace velmoryn {
void MenuBarBoot::seedPosition() {}
void MenuBarBoot::ensureRegistered() {}
void MenuBarBoot::handleLoginArguments() {}
std::string_view MenuBarBoot::statusText(std::int64_t) { return "不明"; }
}  // namespace velmoryn
