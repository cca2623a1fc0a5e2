// Type-check stub: the fixed-size types of the classic Mac APIs (LP64 layout).
#pragma once

typedef unsigned char UInt8;
typedef unsigned short UInt16;
typedef signed int SInt32;
typedef unsigned int UInt32;
typedef signed long long SInt64;
typedef unsigned char Boolean;
typedef SInt32 OSStatus;
typedef UInt32 FourCharCode;
typedef FourCharCode OSType;
typedef UInt32 OptionBits;
typedef unsigned long ItemCount;

enum { noErr = 0 };
