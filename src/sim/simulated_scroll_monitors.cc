// Main thread only.
#include "sim/simulated_scroll_monitors.h"

#include <vector>

namespace velmoryn {

std::optional<MonitorToken> SimulatedScrollMonitors::addGlobalMonitor(
    std::uint64_t mask, std::function<void(const ScrollEvent&)> handler) {
  if (!handler) return std::nullopt;
  const MonitorToken token = next++;
  monitors.emplace(token, Monitor{mask, std::move(handler)});
  return token;
}

void SimulatedScrollMonitors::removeMonitor(MonitorToken token) {
  monitors.erase(token);
}

int SimulatedScrollMonitors::deliver(const ScrollEvent& event) {
  std::vector<MonitorToken> tokens;
  for (const auto& [token, monitor] : monitors) {
    if (monitor.mask & kScrollWheelMask) tokens.push_back(token);
  }
  int seen = 0;
  for (MonitorToken token : tokens) {
    // A handler may remove monitors, its own included: look each one up afresh
    // and call a copy.
    auto found = monitors.find(token);
    if (found == monitors.end()) continue;
    auto handler = found->second.handler;
    handler(event);
    ++seen;
  }
  return seen;
}

}  // namespace velmoryn
