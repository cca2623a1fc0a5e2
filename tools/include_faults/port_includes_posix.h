// checked as: src/platform/process_runner.h
// An interface needs more than the C++ standard library.
#include <unistd.h>
