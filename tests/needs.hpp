// Tests that need what only some systems offer. Such a test is named for it
// (a name that ends in "_needs_proc", say), skipped with its reason in a
// build that lacks it, and counted there under a label of its own at the end
// of the run (tests/CMakeLists.txt).
#pragma once

#include "morek_config.h"

// A feature of the system that the build may lack, and what it is.
struct system_feature {
  bool have;
  const char* what;
};

// A directory's path from the kernel, whatever a path to it crosses.
inline constexpr system_feature proc_paths{MOREK_HAVE_PROC_FD_PATHS != 0, "the kernel's paths of open directories, /proc/self/fd"};

// Skips the test, saying why, where the build lacks the feature.
#define MOREK_NEEDS(feature) \
  if (!(feature).have) GTEST_SKIP() << "left out: needs " << (feature).what
