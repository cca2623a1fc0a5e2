// checked as: src/platform/status_bar.h
// An interface includes an adapter.
#include "platform/posix/posix_process_runner.h"
