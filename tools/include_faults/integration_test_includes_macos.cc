// checked as: tests/integration/run_loop_test.cc
// An integration test on Linux includes a macOS adapter.
#include "platform/macos/log_mac.h"
