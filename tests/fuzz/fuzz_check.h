#pragma once

#include <cstdio>
#include <cstdlib>

// A broken promise is a crash for the fuzzer, with the promise named.
#define Check(condition)                                                           \
  do {                                                                             \
    if (!(condition)) {                                                            \
      std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                \
    }                                                                              \
  } while (false)
