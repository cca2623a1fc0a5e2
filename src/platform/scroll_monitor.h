// The global scroll-wheel monitor: observes, never consumes. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace velmoryn {

struct ScrollEvent {
  bool hasPreciseScrollingDeltas = false;  // points (trackpad) rather than lines (wheel)
  bool isDirectionInvertedFromDevice = false;
  double scrollingDeltaY = 0;
  double scrollingDeltaX = 0;
};

using MonitorToken = std::uint64_t;

// The scroll-wheel event type and its mask bit.
inline constexpr std::uint64_t kScrollWheelMask = 1ULL << 22;

class ScrollMonitorService {
 public:
  virtual ~ScrollMonitorService() = default;
  // Empty when no monitor could be installed.
  virtual std::optional<MonitorToken> addGlobalMonitor(
      std::uint64_t mask, std::function<void(const ScrollEvent&)> handler) = 0;
  // After it returns the handler is no longer called.
  virtual void removeMonitor(MonitorToken token) = 0;
};

}  // namespace velmoryn
