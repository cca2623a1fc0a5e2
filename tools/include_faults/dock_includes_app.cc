// checked as: src/dock/dock.cc
// The Dock operations reach up into the application.
#include "app/icon.h"
