// Repeating timers on the main run loop. A firing may come late, never early.
#pragma once

#include <functional>
#include <memory>

namespace velmoryn {

class RepeatingTimer {
 public:
  virtual ~RepeatingTimer() = default;
  // After it returns the block is never called again.
  virtual void invalidate() = 0;
};

class TimerService {
 public:
  virtual ~TimerService() = default;
  // The run loop keeps the timer until it is invalidated, whether or not the
  // caller keeps the handle. First firing one interval after scheduling.
  virtual std::shared_ptr<RepeatingTimer> scheduleRepeating(double intervalSeconds,
                                                            std::function<void()> block) = 0;
};

}  // namespace velmoryn
