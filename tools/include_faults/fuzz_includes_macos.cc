// checked as: fuzz/settings_store_fuzz.cc
// A fuzz target includes a macOS adapter.
#include "platform/macos/settings_store_mac.h"
