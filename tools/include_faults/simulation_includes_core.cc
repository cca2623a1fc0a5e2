// checked as: src/sim/apple_script_linux.cc
// The simulation reads the core.
#include "dock/dock.h"
