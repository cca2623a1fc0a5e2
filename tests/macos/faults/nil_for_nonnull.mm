// Passing nil where the SDK promises a non-null argument must not compile.
// expect: null passed to a callee that requires a non-null argument
#import <AppKit/AppKit.h>

NSMenu* makeMenu() {
#if VELMORYN_FAULT
  return [[NSMenu alloc] initWithTitle:nil];
#else
  return [[NSMenu alloc] initWithTitle:@""];
#endif
}
