// Apple's libc++ withholds floating-point to_chars before macOS 13.3; the app
// runs from 13.0.
// expect: 'to_chars' is unavailable
#include <charconv>

char* format(char* first, char* last) {
#if VELMORYN_FAULT
  return std::to_chars(first, last, 0.5).ptr;
#else
  return std::to_chars(first, last, 5).ptr;  // the integer forms are fine
#endif
}
