// checked as: src/platform/linux/log_linux.cc
// Linux and macOS include each other.
#include "platform/macos/log_mac.h"
