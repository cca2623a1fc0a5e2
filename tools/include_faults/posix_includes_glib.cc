// checked as: src/platform/posix/posix_process_runner.cc
// What is real on both systems needs a Linux library.
#include <glib.h>
