// A selector the SDK does not declare must not compile.
// expect: declares the selector 'statusItemWithLenght:'
#import <AppKit/AppKit.h>

NSStatusItem* makeItem() {
#if VELMORYN_FAULT
  return [[NSStatusBar systemStatusBar] statusItemWithLenght:NSVariableStatusItemLength];
#else
  return [[NSStatusBar systemStatusBar] statusItemWithLength:NSVariableStatusItemLength];
#endif
}
