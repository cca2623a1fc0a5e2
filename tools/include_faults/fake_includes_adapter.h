// checked as: tests/fakes/fake_platform.h
// A fake is built on the simulation.
#include "sim/simulated_dock.h"
