// How a fuzz target reports a broken property: a message, then an abort,
// which libFuzzer takes as a crash and keeps the input of.
#pragma once

#include <cstdio>
#include <cstdlib>

inline void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "property failed: %s\n", what);
    std::abort();
  }
}
