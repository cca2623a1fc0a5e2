// The status bar, its item and menus as plain data that an adapter draws.
// Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/icon_image.h"

namespace velmoryn {

// A target/action pair: the selector names the action method it stands for.
struct Action {
  std::string selector;
  std::function<void()> perform;
};

enum class MenuItemState { off = 0, on = 1 };

struct MenuItem {
  bool isSeparator = false;
  std::string title;
  std::optional<Action> action;  // none: the item has no target
  std::string keyEquivalent;     // "q" means Command-Q; empty means none
  bool enabled = true;
  MenuItemState state = MenuItemState::off;
  std::string toolTip;

  static MenuItem separator() {
    MenuItem item;
    item.isSeparator = true;
    return item;
  }
};

struct Menu {
  std::vector<MenuItem> items;
};

// Event masks for sendActionOn.
inline constexpr std::uint64_t kLeftMouseUpMask = 1ULL << 2;   // 4
inline constexpr std::uint64_t kRightMouseUpMask = 1ULL << 4;  // 16

class StatusItem {
 public:
  virtual ~StatusItem() = default;
  virtual void setAutosaveName(const std::string& name) = 0;
  virtual bool hasButton() const = 0;
  // The button operations do nothing when there is no button.
  virtual void setButtonAction(Action action) = 0;
  virtual void sendActionOn(std::uint64_t mask) = 0;
  virtual void setButtonImage(const IconImage& image) = 0;
  // What VoiceOver reads for the button's image; kept across image changes.
  virtual void setButtonImageDescription(const std::string& description) = 0;
  virtual void setButtonToolTip(const std::string& toolTip) = 0;
  // A non-empty menu replaces the click action until it is cleared.
  virtual void setMenu(std::optional<Menu> menu) = 0;
  // With a menu attached: opens it and returns after it has closed; the chosen
  // item's action has then been performed.
  virtual void performClick() = 0;
};

inline constexpr double kVariableStatusItemLength = -1;

class StatusBar {
 public:
  virtual ~StatusBar() = default;
  // May return null when the system hands back no item.
  virtual std::unique_ptr<StatusItem> statusItem(double length) = 0;
};

}  // namespace velmoryn
