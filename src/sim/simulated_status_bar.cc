// Main thread only.
#include "sim/simulated_status_bar.h"

namespace velmoryn {
namespace {

std::string describeIcon(const IconImage& image) {
  return image.hidden ? "icon: hidden (arrow)" : "icon: shown (three squares)";
}

// One line for a menu, e.g.
// menu: 1 "Dockを表示" | --- | 3 "ショートカット: ⌃⌥⌘D" (disabled) | 4 [x] "…" | 7 "Velmoryn
// を終了" ⌘Q
std::string describeMenu(const Menu& menu) {
  std::string line = "menu:";
  for (std::size_t i = 0; i < menu.items.size(); ++i) {
    const MenuItem& item = menu.items[i];
    line += i == 0 ? " " : " | ";
    if (item.isSeparator) {
      line += "---";
      continue;
    }
    line += std::to_string(i + 1);
    if (item.state == MenuItemState::on) line += " [x]";
    line += " \"" + item.title + "\"";
    if (!item.enabled || !item.action) line += " (disabled)";
    if (!item.keyEquivalent.empty()) {
      std::string key = item.keyEquivalent;
      for (char& c : key) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      }
      line += " ⌘" + key;
    }
  }
  if (menu.items.empty()) line += " (empty)";
  return line;
}

}  // namespace

SimulatedStatusItem::~SimulatedStatusItem() {
  if (bar.item == this) bar.item = nullptr;
}

void SimulatedStatusItem::setButtonImage(const IconImage& image) {
  const bool changed = !buttonImage || buttonImage->hidden != image.hidden;
  buttonImage = image;
  if (changed) bar.console.printLine(describeIcon(image));
}

void SimulatedStatusItem::setButtonToolTip(const std::string& toolTip) {
  if (toolTip == buttonToolTip) return;
  buttonToolTip = toolTip;
  bar.console.printLine("tooltip: " + toolTip);
}

void SimulatedStatusItem::performClick() {
  if (!menu) {
    if (action) {
      const Action copy = *action;
      copy.perform();
    }
    return;
  }
  // A copy: the owner may attach another menu while this one is open.
  const Menu shown = *menu;
  openMenu(shown);
}

void SimulatedStatusItem::openMenu(const Menu& shown) {
  if (bar.open) return;  // one menu at a time, as a person has one pointer
  SimulatedStatusBar::OpenMenu session{&shown, false, std::nullopt};
  bar.open = &session;
  bar.console.printLine(describeMenu(shown));
  // Safe because the session lives on this frame until the nested loop ends.
  bar.loop.runModalUntil([&session] { return session.closed; });
  bar.open = nullptr;
  bar.console.printLine("menu: closed");
  // As on the platform, the chosen item's action comes after the menu has closed.
  if (session.chosen) {
    const Action chosen = *shown.items[*session.chosen].action;
    chosen.perform();
  }
}

void SimulatedStatusItem::click(const CurrentEvent& event) {
  if (menu) {
    performClick();
    return;
  }
  const std::uint64_t bit = 1ULL << static_cast<std::uint32_t>(event.type);
  if (!(actionMask & bit)) {
    bar.console.printLine("click: the status item does not act on this button");
    return;
  }
  if (!action) {
    bar.console.printLine("click: the status item has no action");
    return;
  }
  const Action copy = *action;
  const std::optional<CurrentEvent> before = bar.events.current;
  bar.events.current = event;
  copy.perform();
  bar.events.current = before;
}

std::unique_ptr<StatusItem> SimulatedStatusBar::statusItem(double) {
  auto made = std::make_unique<SimulatedStatusItem>(*this);
  item = made.get();
  return made;
}

void SimulatedStatusBar::click(control::ClickKind kind) {
  if (!item) {
    console.printLine("error: there is no status item");
    return;
  }
  if (open) {
    console.printLine("error: a menu is open: choose an item or dismiss it");
    return;
  }
  CurrentEvent event;
  switch (kind) {
    case control::ClickKind::left:
      console.printLine("click: left");
      event = {EventType::leftMouseUp, 0};
      break;
    case control::ClickKind::right:
      console.printLine("click: right");
      event = {EventType::rightMouseUp, 0};
      break;
    case control::ClickKind::control:
      console.printLine("click: control");
      event = {EventType::leftMouseUp, kControlModifierFlag};
      break;
  }
  item->click(event);
}

void SimulatedStatusBar::choose(int number) {
  if (!open) {
    console.printLine("error: no menu is open");
    return;
  }
  const auto& items = open->menu->items;
  if (number < 1 || static_cast<std::size_t>(number) > items.size()) {
    console.printLine("error: the menu has no item " + std::to_string(number));
    return;
  }
  const MenuItem& chosen = items[number - 1];
  if (chosen.isSeparator) {
    console.printLine("error: item " + std::to_string(number) + " is a separator");
    return;
  }
  if (!chosen.enabled || !chosen.action) {
    console.printLine("error: item " + std::to_string(number) + " is disabled");
    return;
  }
  console.printLine("menu: chose " + std::to_string(number) + " \"" + chosen.title + "\"");
  open->chosen = static_cast<std::size_t>(number - 1);
  open->closed = true;
}

void SimulatedStatusBar::dismiss() {
  if (!open) {
    console.printLine("error: no menu is open");
    return;
  }
  open->closed = true;
}

}  // namespace velmoryn
