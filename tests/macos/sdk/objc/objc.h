// Type-check stub: the Objective-C basics, as Apple documents them. Declarations
// only, for compiling the adapters with -fsyntax-only on other systems.
#pragma once

typedef signed char BOOL;  // x86_64 (bool on arm64); either way YES and NO
#define YES ((BOOL)1)
#define NO ((BOOL)0)

#ifndef nil
#define nil nullptr
#endif
