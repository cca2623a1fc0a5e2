// checked as: src/platform/macos/log_mac.mm
// A macOS adapter includes GLib.
#include <glib.h>
