// Work queues: the main queue (runs on the main thread between other events)
// and a background utility queue.
#pragma once

#include <functional>

namespace velmoryn {

class Queue {
 public:
  virtual ~Queue() = default;
  // Thread-safe; the work runs later, never inside this call.
  virtual void async(std::function<void()> work) = 0;
};

}  // namespace velmoryn
