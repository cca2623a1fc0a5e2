#include "platform/macos/scroll_monitor_mac.h"

#import <AppKit/AppKit.h>

#include <map>
#include <utility>

namespace velmoryn {
namespace {

ScrollEvent scrollEventFrom(NSEvent* event) {
  ScrollEvent scroll;
  scroll.hasPreciseScrollingDeltas = event.hasPreciseScrollingDeltas;
  scroll.isDirectionInvertedFromDevice = event.isDirectionInvertedFromDevice;
  scroll.scrollingDeltaY = event.scrollingDeltaY;
  scroll.scrollingDeltaX = event.scrollingDeltaX;
  return scroll;
}

}  // namespace

struct MacScrollMonitor::Impl {
  MonitorToken next = 1;
  std::map<MonitorToken, id> monitors;  // the objects AppKit handed back, kept strongly
};

MacScrollMonitor::MacScrollMonitor() : impl(std::make_unique<Impl>()) {}
MacScrollMonitor::~MacScrollMonitor() = default;

std::optional<MonitorToken> MacScrollMonitor::addGlobalMonitor(
    std::uint64_t mask, std::function<void(const ScrollEvent&)> handler) {
  id monitor = [NSEvent addGlobalMonitorForEventsMatchingMask:static_cast<NSEventMask>(mask)
                                                      handler:^(NSEvent* event) {
                                                        handler(scrollEventFrom(event));
                                                      }];
  if (monitor == nil) return std::nullopt;
  const MonitorToken token = impl->next++;
  impl->monitors[token] = monitor;
  return token;
}

void MacScrollMonitor::removeMonitor(MonitorToken token) {
  auto found = impl->monitors.find(token);
  if (found == impl->monitors.end()) return;
  [NSEvent removeMonitor:found->second];
  impl->monitors.erase(found);
}

}  // namespace velmoryn
