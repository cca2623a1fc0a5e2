// Seconds since the platform's reference date (1 January 2001), the same scale
// as the distant past the core measures from. Thread-safe.
#pragma once

#include "platform/clock.h"

namespace velmoryn {

class MacClock : public Clock {
 public:
  double now() const override;
};

}  // namespace velmoryn
