// Wall-clock time as seconds in a 64-bit float, like the platform's dates.
#pragma once

namespace velmoryn {

// So far back that any interval measured from it exceeds every window we use.
inline constexpr double kDistantPast = -63114076800.0;

// The platform's reference date, 2001-01-01 00:00:00 UTC, in seconds since the
// Unix epoch: the platform's dates, and so now(), count from it.
inline constexpr double kReferenceDateInUnixTime = 978307200.0;

class Clock {
 public:
  virtual ~Clock() = default;
  // Thread-safe.
  virtual double now() const = 0;
};

}  // namespace velmoryn
