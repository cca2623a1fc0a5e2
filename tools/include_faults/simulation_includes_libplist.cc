// checked as: src/sim/dock_domain.cc
// The simulation reads property lists past the Linux adapter.
#include <plist/plist.h>
