#include "platform/macos/clock_mac.h"

#include <CoreFoundation/CoreFoundation.h>

namespace velmoryn {

double MacClock::now() const { return CFAbsoluteTimeGetCurrent(); }

}  // namespace velmoryn
