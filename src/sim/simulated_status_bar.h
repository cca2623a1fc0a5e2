// The status bar of the simulated desktop: its item, the item's button and
// menus, each shown as one line. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/linux/run_loop_linux.h"
#include "platform/status_bar.h"
#include "sim/console.h"
#include "sim/control_command.h"
#include "sim/event_state.h"

namespace velmoryn {

class SimulatedStatusBar;

class SimulatedStatusItem : public StatusItem {
 public:
  SimulatedStatusItem(SimulatedStatusBar& bar) : bar(bar) {}
  ~SimulatedStatusItem() override;

  // The simulated bar keeps no item positions between runs.
  void setAutosaveName(const std::string&) override {}
  bool hasButton() const override { return true; }
  void setButtonAction(Action newAction) override { action = std::move(newAction); }
  void sendActionOn(std::uint64_t mask) override { actionMask = mask; }
  void setButtonImage(const IconImage& image) override;
  void setButtonToolTip(const std::string& toolTip) override;
  // The simulated bar has no screen reader to hand the description to.
  void setButtonImageDescription(const std::string&) override {}
  void setMenu(std::optional<Menu> newMenu) override { menu = std::move(newMenu); }
  void performClick() override;

  // A mouse-up on the button: an attached menu opens, otherwise the action
  // runs if the button acts on that mouse button.
  void click(const CurrentEvent& event);

  const std::optional<IconImage>& image() const { return buttonImage; }
  const std::string& toolTip() const { return buttonToolTip; }

 private:
  void openMenu(const Menu& shown);

  SimulatedStatusBar& bar;  // safe because the bar outlives its items: both live for the whole run
  std::optional<Action> action;
  std::uint64_t actionMask =
      kLeftMouseUpMask;  // a button acts on left mouse-up unless told otherwise
  std::optional<IconImage> buttonImage;
  std::string buttonToolTip;
  std::optional<Menu> menu;
};

class SimulatedStatusBar : public StatusBar {
 public:
  SimulatedStatusBar(RunLoop& loop, Console& console, EventState& events)
      : loop(loop), console(console), events(events) {}
  std::unique_ptr<StatusItem> statusItem(double length) override;

  // The item the control commands click: the last one made that still exists.
  SimulatedStatusItem* current() const { return item; }
  bool menuOpen() const { return open != nullptr; }

  // The control commands. Each prints its outcome or an error line.
  void click(control::ClickKind kind);
  void choose(int number);
  void dismiss();

 private:
  friend class SimulatedStatusItem;
  struct OpenMenu {
    const Menu* menu;
    bool closed = false;
    std::optional<std::size_t> chosen;
  };

  RunLoop& loop;       // safe because these live for the whole run
  Console& console;    // safe for the same reason
  EventState& events;  // safe for the same reason
  SimulatedStatusItem* item = nullptr;
  OpenMenu* open = nullptr;
};

}  // namespace velmoryn
