// For tests only: puts the Dock's one-time state back to that of a new process.
#pragma once

namespace velmoryn {

void resetDockStateForTesting();

}  // namespace velmoryn
