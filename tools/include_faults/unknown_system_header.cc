// checked as: src/platform/linux/log_linux.cc
// A library that has no place in the layering yet.
#include <systemd/sd-journal.h>
