// CoreFoundation's preference keys are non-null: nil must not compile.
// expect: null passed to a callee that requires a non-null argument
#import <CoreFoundation/CoreFoundation.h>

CFPropertyListRef copyValue(CFStringRef key) {
#if VELMORYN_FAULT
  (void)key;
  return CFPreferencesCopyAppValue(nullptr, kCFPreferencesCurrentApplication);
#else
  return CFPreferencesCopyAppValue(key, kCFPreferencesCurrentApplication);
#endif
}
