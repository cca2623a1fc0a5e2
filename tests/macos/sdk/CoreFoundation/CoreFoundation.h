// Type-check stub: the CoreFoundation types and functions the adapters use.
#pragma once

#include <MacTypes.h>

#ifdef __cplusplus
extern "C" {
#endif

#pragma clang assume_nonnull begin

typedef const void* CFTypeRef;
typedef const void* CFPropertyListRef;
typedef unsigned long CFTypeID;
typedef signed long CFIndex;
typedef const struct __CFAllocator* CFAllocatorRef;
typedef const struct __CFString* CFStringRef;
typedef const struct __CFBoolean* CFBooleanRef;
typedef const struct __CFNumber* CFNumberRef;
typedef double CFTimeInterval;
typedef CFTimeInterval CFAbsoluteTime;

void CFRelease(CFTypeRef cf);
CFTypeRef CFRetain(CFTypeRef cf);
CFTypeID CFGetTypeID(CFTypeRef cf);

typedef UInt32 CFStringEncoding;
enum { kCFStringEncodingUTF8 = 0x08000100 };
CFTypeID CFStringGetTypeID(void);
CFStringRef _Nullable CFStringCreateWithBytes(CFAllocatorRef _Nullable alloc, const UInt8* bytes,
                                              CFIndex numBytes, CFStringEncoding encoding,
                                              Boolean isExternalRepresentation);

extern const CFBooleanRef kCFBooleanTrue;
extern const CFBooleanRef kCFBooleanFalse;
CFTypeID CFBooleanGetTypeID(void);
Boolean CFBooleanGetValue(CFBooleanRef boolean);

// A typed enumeration, as CF_ENUM makes it: a raw integer is not a CFNumberType.
enum CFNumberType : CFIndex {
  kCFNumberSInt32Type = 3,
  kCFNumberSInt64Type = 4,
  kCFNumberFloat64Type = 6,
  kCFNumberDoubleType = 13,
};
typedef enum CFNumberType CFNumberType;
CFTypeID CFNumberGetTypeID(void);
CFNumberRef _Nullable CFNumberCreate(CFAllocatorRef _Nullable allocator, CFNumberType theType,
                                     const void* valuePtr);
Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr);
Boolean CFNumberIsFloatType(CFNumberRef number);

extern const CFStringRef kCFPreferencesCurrentApplication;
CFPropertyListRef _Nullable CFPreferencesCopyAppValue(CFStringRef key, CFStringRef applicationID);
void CFPreferencesSetAppValue(CFStringRef key, CFPropertyListRef _Nullable value,
                              CFStringRef applicationID);
Boolean CFPreferencesAppSynchronize(CFStringRef applicationID);

CFAbsoluteTime CFAbsoluteTimeGetCurrent(void);

#pragma clang assume_nonnull end

#ifdef __cplusplus
}
#endif
