#include "platform/macos/timers_mac.h"

#import <Foundation/Foundation.h>

namespace velmoryn {
namespace {

class MacRepeatingTimer : public RepeatingTimer {
 public:
  explicit MacRepeatingTimer(NSTimer* timer) : timer(timer) {}
  void invalidate() override { [timer invalidate]; }

 private:
  // The run loop keeps the timer; this reference lets it be stopped.
  NSTimer* timer;
};

}  // namespace

std::shared_ptr<RepeatingTimer> MacTimers::scheduleRepeating(double intervalSeconds,
                                                             std::function<void()> block) {
  NSTimer* timer = [NSTimer scheduledTimerWithTimeInterval:intervalSeconds
                                                   repeats:YES
                                                     block:^(NSTimer*) {
                                                       if (block) block();
                                                     }];
  return std::make_shared<MacRepeatingTimer>(timer);
}

}  // namespace velmoryn
