// checked as: src/boot/menu_bar_boot.cc
// A start-up chore reaches up into the application.
#include "app/app_delegate.h"
