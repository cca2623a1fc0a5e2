// checked as: src/platform/macos/icon_image_mac.mm
// A macOS adapter includes the Linux icon renderer's library.
#include <cairo.h>
