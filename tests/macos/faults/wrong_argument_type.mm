// An argument of the wrong type must not compile.
// expect: cannot initialize a parameter of type 'NSString \* _Nonnull' with an rvalue of type
// 'const char \*'
#import <AppKit/AppKit.h>

#include <string>

NSMenuItem* makeItem(const std::string& title) {
#if VELMORYN_FAULT
  return [[NSMenuItem alloc] initWithTitle:title.c_str() action:nullptr keyEquivalent:@""];
#else
  (void)title;
  return [[NSMenuItem alloc] initWithTitle:@"title" action:nullptr keyEquivalent:@""];
#endif
}
