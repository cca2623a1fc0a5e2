// checked as: src/sim/simulated_apple_script.cc
// The simulation reads the core.
#include "dock/dock.h"
