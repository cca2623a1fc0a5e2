// checked as: bench/process_runner_bench.cc
// A benchmark includes a macOS adapter.
#include "platform/macos/log_mac.h"
