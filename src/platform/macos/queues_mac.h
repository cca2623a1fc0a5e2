// The main dispatch queue and the global utility queue. Thread-safe.
#pragma once

#include "platform/queues.h"

namespace velmoryn {

class MacMainQueue : public Queue {
 public:
  void async(std::function<void()> work) override;
};

class MacUtilityQueue : public Queue {
 public:
  void async(std::function<void()> work) override;
};

}  // namespace velmoryn
