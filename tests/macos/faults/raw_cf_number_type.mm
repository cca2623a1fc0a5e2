// CFNumberType is an enumeration: a raw integer must not pass for one.
// expect: no known conversion from 'int' to 'CFNumberType'
#import <CoreFoundation/CoreFoundation.h>

#include <cstdint>

bool readInteger(CFNumberRef number, std::int64_t* value) {
#if VELMORYN_FAULT
  return CFNumberGetValue(number, 4, value);
#else
  return CFNumberGetValue(number, kCFNumberSInt64Type, value);
#endif
}
