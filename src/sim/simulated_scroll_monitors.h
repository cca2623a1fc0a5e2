// Global scroll monitors on the simulated desktop. Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>

#include "platform/scroll_monitor.h"

namespace velmoryn {

class SimulatedScrollMonitors : public ScrollMonitorService {
 public:
  std::optional<MonitorToken> addGlobalMonitor(
      std::uint64_t mask, std::function<void(const ScrollEvent&)> handler) override;
  void removeMonitor(MonitorToken token) override;
  // Hands the event to every monitor installed for scroll-wheel events, in the
  // order they were installed; returns how many saw it.
  int deliver(const ScrollEvent& event);
  std::size_t installed() const { return monitors.size(); }

 private:
  struct Monitor {
    std::uint64_t mask;
    std::function<void(const ScrollEvent&)> handler;
  };
  MonitorToken next = 1;
  std::map<MonitorToken, Monitor> monitors;
};

}  // namespace velmoryn
