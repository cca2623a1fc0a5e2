// Repeating NSTimers on the main run loop, default mode. Main thread only.
#pragma once

#include "platform/timers.h"

namespace velmoryn {

class MacTimers : public TimerService {
 public:
  std::shared_ptr<RepeatingTimer> scheduleRepeating(double intervalSeconds,
                                                    std::function<void()> block) override;
};

}  // namespace velmoryn
