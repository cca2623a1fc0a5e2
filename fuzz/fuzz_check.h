// A broken invariant in a fuzz target: say which one and abort, so that
// libFuzzer records the input as a crash.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, what)                                                        \
  do {                                                                                     \
    if (!(condition)) {                                                                    \
      std::fprintf(stderr, "%s:%d: invariant broken: %s (%s)\n", __FILE__, __LINE__, what, \
                   #condition);                                                            \
      std::abort();                                                                        \
    }                                                                                      \
  } while (false)
