// checked as: src/dock/dock.cc
// The core reaches past the interfaces into an adapter.
#include "platform/linux/run_loop_linux.h"
