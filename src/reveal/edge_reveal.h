// Lifts the hidden Dock while the user scrolls toward its screen edge with the
// pointer resting there, and puts it back once the pointer has moved away.
// Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "dock/dock.h"
#include "platform/clock.h"
#include "platform/geometry.h"
#include "platform/screens.h"
#include "platform/scroll_monitor.h"
#include "platform/timers.h"

namespace velmoryn {

class EdgeReveal : public std::enable_shared_from_this<EdgeReveal> {
 public:
  // The monitor's handler and the timer refer to the object weakly, so it must
  // be owned by a shared pointer. The Dock tells the edge to watch; it must
  // outlive the object.
  static std::shared_ptr<EdgeReveal> create(Dock& dock) {
    return std::shared_ptr<EdgeReveal>(new EdgeReveal(dock));
  }

  // Installs the global scroll monitor once; a refused install is retried by
  // the next start().
  void start();
  // Removes the monitor and ends a running reveal without onConceal.
  // Destruction does neither: the owner calls stop() on the way out, and a
  // monitor delivery or tick that comes after destruction does nothing.
  void stop();
  // Ends a running reveal without onConceal and restarts the gesture's sum.
  void cancel();
  bool isRevealing() const { return revealing; }

  std::function<bool()> isEnabled = [] { return true; };
  std::function<bool()> isDockHidden = [] { return false; };
  std::function<void()> onReveal = [] {};
  std::function<void()> onConceal = [] {};

 private:
  static constexpr double edgeZone = 5.0;
  static constexpr double triggerAmount = 12.0;
  static constexpr double wheelUnit = 20.0;
  static constexpr double accumulateWindow = 0.5;
  static constexpr double minimumReveal = 0.5;
  static constexpr double fallbackThickness = 90.0;
  static constexpr double leaveMargin = 12.0;
  static constexpr double pollInterval = 0.12;

  explicit EdgeReveal(Dock& dock) : dock(dock) {}

  void handle(const ScrollEvent& event);
  void begin(const Screen& screen, DockEdge edge);
  void tick();
  void conceal();

  Dock& dock;  // safe because whoever owns this object keeps the Dock for longer
  std::optional<MonitorToken> monitor;
  std::shared_ptr<RepeatingTimer> timer;
  double accumulated = 0;
  double lastScrollAt = kDistantPast;
  double revealedAt = kDistantPast;
  Rect revealFrame;
  DockEdge revealEdge = DockEdge::bottom;
  bool revealing = false;
};

}  // namespace velmoryn
