// checked as: tests/macos/path_translation_test.cc
// A native test of the macOS adapters includes Objective-C.
#include "platform/macos/string_bridge.h"
