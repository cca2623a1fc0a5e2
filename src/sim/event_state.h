// The event the simulated application reports. Main thread only.
#pragma once

#include <optional>

#include "platform/application.h"

namespace velmoryn {

// The event the application reports while a click's action runs.
struct EventState {
  std::optional<CurrentEvent> current;
};

}  // namespace velmoryn
