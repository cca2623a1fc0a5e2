// Main thread only: the monitor's handler, the poll timer and the owner's
// calls all arrive there, so nothing here needs a lock.
#include "reveal/edge_reveal.h"

#include <cmath>
#include <span>
#include <utility>

#include "platform/platform.h"

namespace velmoryn {
namespace {

// The first screen in the platform's order whose frame contains the point.
const Screen* screenContaining(std::span<const Screen> screens, Point p) {
  for (const Screen& screen : screens) {
    if (screen.frame.contains(p)) return &screen;
  }
  return nullptr;
}

bool inEdgeZone(DockEdge edge, const Rect& frame, Point p, double depth) {
  switch (edge) {
    case DockEdge::bottom:
      return p.y <= frame.minY() + depth;
    case DockEdge::left:
      return p.x <= frame.minX() + depth;
    case DockEdge::right:
      return p.x >= frame.maxX() - depth;
  }
  return false;
}

// The scroll amount toward the edge, in points; positive means toward it.
double amountTowardEdge(DockEdge edge, const ScrollEvent& event, double wheelUnit) {
  const double scale = event.hasPreciseScrollingDeltas ? 1.0 : wheelUnit;
  // Undo natural scrolling so both amounts follow the fingers on the device.
  const double sign = event.isDirectionInvertedFromDevice ? -1.0 : 1.0;
  const double v = event.scrollingDeltaY * sign * scale;
  const double h = event.scrollingDeltaX * sign * scale;
  switch (edge) {
    case DockEdge::bottom:
      return v;
    case DockEdge::left:
      return std::abs(v) < std::abs(h) ? h : v;
    case DockEdge::right:
      return std::abs(v) < std::abs(h) ? -h : v;
  }
  return 0;
}

// How far the visible frame stands back from the frame at the edge: the room
// the Dock reserves there.
double insetAt(DockEdge edge, const Rect& frame, const Rect& visible) {
  switch (edge) {
    case DockEdge::bottom:
      return visible.minY() - frame.minY();
    case DockEdge::left:
      return visible.minX() - frame.minX();
    case DockEdge::right:
      return frame.maxX() - visible.maxX();
  }
  return 0;
}

// Strict comparisons: a pointer exactly on the limit keeps the Dock up.
bool beyondBand(DockEdge edge, const Rect& frame, Point p, double band, double margin) {
  switch (edge) {
    case DockEdge::bottom:
      return p.y > frame.minY() + band + margin;
    case DockEdge::left:
      return p.x > frame.minX() + band + margin;
    case DockEdge::right:
      return p.x < frame.maxX() - band - margin;
  }
  return true;
}

}  // namespace

void EdgeReveal::start() {
  if (monitor) return;
  auto handler = [weak = weak_from_this()](const ScrollEvent& event) {
    if (auto self = weak.lock()) self->handle(event);
  };
  monitor = platform().scrollMonitor->addGlobalMonitor(kScrollWheelMask, std::move(handler));
}

void EdgeReveal::stop() {
  if (monitor) platform().scrollMonitor->removeMonitor(*monitor);
  monitor.reset();
  cancel();
}

void EdgeReveal::cancel() {
  if (timer) {
    timer->invalidate();
    timer.reset();
  }
  revealing = false;
  accumulated = 0;
}

// Runs for every scroll event in the system: the guards come first and the
// whole path allocates nothing.
void EdgeReveal::handle(const ScrollEvent& event) {
  if (!isEnabled()) return;
  if (revealing) return;
  if (!isDockHidden()) return;

  const Platform& services = platform();
  const Point p = services.screens->mouseLocation();
  const Screen* screen = screenContaining(services.screens->screens(), p);
  if (screen == nullptr) return;

  const DockEdge edge = dock.edge();
  if (!inEdgeZone(edge, screen->frame, p, edgeZone)) {
    accumulated = 0;
    return;
  }

  const double now = services.clock->now();
  if (now - lastScrollAt > accumulateWindow) accumulated = 0;
  lastScrollAt = now;

  const double amount = amountTowardEdge(edge, event, wheelUnit);
  // Written so that a NaN delta resets the sum instead of poisoning it.
  if (!(amount > 0)) {
    accumulated = 0;
    return;
  }
  accumulated += amount;
  if (accumulated >= triggerAmount) {
    accumulated = 0;
    begin(*screen, edge);
  }
}

void EdgeReveal::begin(const Screen& screen, DockEdge edge) {
  revealing = true;
  revealedAt = platform().clock->now();
  // Copied before onReveal runs: the screen list may change under it.
  revealFrame = screen.frame;
  revealEdge = edge;
  onReveal();
  if (timer) {
    timer->invalidate();
    timer.reset();
  }
  // The owner may have cancelled (or stopped us) from inside onReveal; a timer
  // scheduled now would outlive the reveal and tick for nothing.
  if (!revealing) return;
  auto block = [weak = weak_from_this()] {
    if (auto self = weak.lock()) self->tick();
  };
  timer = platform().timers->scheduleRepeating(pollInterval, std::move(block));
}

void EdgeReveal::tick() {
  if (!revealing) return;
  const Platform& services = platform();
  if (services.clock->now() - revealedAt < minimumReveal) return;

  const Point p = services.screens->mouseLocation();
  if (!revealFrame.contains(p)) {
    conceal();
    return;
  }
  const Screen* screen = nullptr;
  for (const Screen& candidate : services.screens->screens()) {
    if (candidate.frame == revealFrame) {
      screen = &candidate;
      break;
    }
  }
  if (screen == nullptr) {
    conceal();
    return;
  }

  const double inset = insetAt(revealEdge, screen->frame, screen->visibleFrame);
  const double band = inset > 0 ? inset : fallbackThickness;
  if (beyondBand(revealEdge, screen->frame, p, band, leaveMargin)) conceal();
}

void EdgeReveal::conceal() {
  cancel();
  onConceal();
}

}  // namespace velmoryn
