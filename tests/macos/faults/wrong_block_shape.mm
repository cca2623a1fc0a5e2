// A block of the wrong shape for a handler must not compile.
// expect: parameter of type 'BOOL \(\^ _Nonnull\)\(NSRect\)' with an rvalue of type 'void
// \(\^\)\(NSRect\)'
#import <AppKit/AppKit.h>

NSImage* makeImage() {
#if VELMORYN_FAULT
  return [NSImage imageWithSize:NSMakeSize(24, 16)
                        flipped:NO
                 drawingHandler:^(NSRect){
                 }];
#else
  return [NSImage imageWithSize:NSMakeSize(24, 16)
                        flipped:NO
                 drawingHandler:^BOOL(NSRect) {
                   return YES;
                 }];
#endif
}
