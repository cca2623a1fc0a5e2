// The global scroll-wheel monitor on NSEvent. Main thread only.
#pragma once

#include <memory>

#include "platform/scroll_monitor.h"

namespace velmoryn {

class MacScrollMonitor : public ScrollMonitorService {
 public:
  MacScrollMonitor();
  ~MacScrollMonitor() override;

  std::optional<MonitorToken> addGlobalMonitor(
      std::uint64_t mask, std::function<void(const ScrollEvent&)> handler) override;
  void removeMonitor(MonitorToken token) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl;
};

}  // namespace velmoryn
