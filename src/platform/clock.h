// Wall-clock time as seconds in a 64-bit float, like the platform's dates.
#pragma once

namespace velmoryn {

// So far back that any interval measured from it exceeds every window we use.
inline constexpr double kDistantPast = -63114076800.0;

class Clock {
 public:
  virtual ~Clock() = default;
  // Thread-safe.
  virtual double now() const = 0;
};

}  // namespace velmoryn
