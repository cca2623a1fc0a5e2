// checked as: tests/unit/dock_test.cc
// A unit test reaches a real adapter instead of the fakes.
#include "platform/linux/files_linux.h"
