// checked as: tests/integration/desktop_test.cc
// An integration test drives the core instead of an adapter.
#include "dock/dock.h"
