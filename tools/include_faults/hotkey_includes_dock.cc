// checked as: src/hotkey/hot_key.cc
// The shortcut knows the Dock instead of only its action.
#include "dock/dock.h"
