// checked as: src/platform/macos/settings_store_mac.mm
// A macOS adapter includes the Linux property-list library.
#include <plist/plist.h>
