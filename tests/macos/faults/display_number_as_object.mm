// A screen's display number is an NSNumber in its device description; the
// display calls take the plain number.
// expect: no matching function for call to 'CGDisplayIsBuiltin'
#import <AppKit/AppKit.h>

bool isBuiltIn(NSScreen* screen) {
  NSNumber* number = screen.deviceDescription[@"NSScreenNumber"];
#if VELMORYN_FAULT
  return CGDisplayIsBuiltin(number) != 0;
#else
  return CGDisplayIsBuiltin(static_cast<CGDirectDisplayID>(number.unsignedIntValue)) != 0;
#endif
}
