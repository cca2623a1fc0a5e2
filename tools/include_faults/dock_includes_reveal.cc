// checked as: src/dock/dock.cc
// The floor of the core reaches up into the edge gesture.
#include "reveal/edge_reveal.h"
