// checked as: src/hotkey/hot_key.cc
// The shortcut reaches up into the application.
#include "app/app_delegate.h"
