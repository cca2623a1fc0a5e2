// checked as: src/platform/linux/run_loop_linux.cc
// A real adapter includes the simulation.
#include "sim/console.h"
