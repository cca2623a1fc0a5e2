// checked as: src/platform/linux/files_linux.cc
// A Linux adapter includes an Apple framework.
#include <CoreFoundation/CoreFoundation.h>
