# What the system offers beyond POSIX, found by feature tests and written as
# MOREK_HAVE_* to the generated morek_config.h. Each call found here has a
# POSIX fallback in the code; MOREK_FORCE_FALLBACKS takes them all as missing,
# so that the fallbacks are built, and tested, where the calls exist.
include(CheckCXXSourceCompiles)
include(CheckCXXSymbolExists)

# name: MOREK_HAVE_<name>; then how to find it.
function(morek_feature name)
  if(ARGV1 STREQUAL "SYMBOL")
    check_cxx_symbol_exists(${ARGV2} "${ARGV3}" MOREK_FOUND_${name})
  else()
    check_cxx_source_compiles("${ARGV2}" MOREK_FOUND_${name})
  endif()
  if(MOREK_FOUND_${name} AND NOT MOREK_FORCE_FALLBACKS)
    set(MOREK_HAVE_${name} 1 PARENT_SCOPE)
  else()
    set(MOREK_HAVE_${name} 0 PARENT_SCOPE)
  endif()
endfunction()

# One sync for a whole filesystem; else each file and its directory.
morek_feature(SYNCFS SYMBOL syncfs unistd.h)
# Directories opened only to be searched, not read; else opened to be read,
# and reached by a relative path where that is not allowed.
morek_feature(O_PATH SYMBOL O_PATH fcntl.h)
morek_feature(O_SEARCH SYMBOL O_SEARCH fcntl.h)
# Pipes that are close-on-exec from the start; else set so at once, before
# another program can start.
morek_feature(PIPE2 SYMBOL pipe2 unistd.h)
# The names of new files from the system's random numbers; else from
# /dev/urandom.
morek_feature(GETRANDOM SYMBOL getrandom sys/random.h)
morek_feature(ARC4RANDOM_BUF SYMBOL arc4random_buf stdlib.h)
# git started in a directory given by its descriptor; else by fork, fchdir
# and execve.
morek_feature(SPAWN_ADDFCHDIR SYMBOL posix_spawn_file_actions_addfchdir spawn.h)
morek_feature(SPAWN_ADDFCHDIR_NP SYMBOL posix_spawn_file_actions_addfchdir_np spawn.h)
# A text searched for a word at the speed of the C library; else a byte at a
# time from each of the word's first byte.
morek_feature(MEMMEM SYMBOL memmem string.h)
# A directory's path from the kernel (/proc/self/fd), tried at run time; else
# found by climbing through "..".
if(MOREK_FORCE_FALLBACKS)
  set(MOREK_HAVE_PROC_FD_PATHS 0)
else()
  set(MOREK_HAVE_PROC_FD_PATHS 1)
endif()

# Not a call with a fallback, so never forced: writing a file's data early
# (POSIX, where it is offered), and listing a file's extended attributes, by
# which a build without libacl and libattr tells a file that has them.
check_cxx_symbol_exists(posix_fadvise fcntl.h MOREK_FOUND_POSIX_FADVISE)
check_cxx_source_compiles("
#include <sys/types.h>
#include <sys/xattr.h>
int main() {
  char b[16];
  return static_cast<int>(flistxattr(0, b, sizeof b) + fgetxattr(0, \"user.x\", b, sizeof b));
}" MOREK_FOUND_XATTR)
foreach(name POSIX_FADVISE XATTR)
  if(MOREK_FOUND_${name})
    set(MOREK_HAVE_${name} 1)
  else()
    set(MOREK_HAVE_${name} 0)
  endif()
endforeach()

# ACLs and extended attributes carried over by libacl and libattr, where
# both are found and wanted.
set(MOREK_HAVE_LIBACL 0)
if(MOREK_ACL)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(ACL IMPORTED_TARGET libacl)
  pkg_check_modules(ATTR IMPORTED_TARGET libattr)
  if(ACL_FOUND AND ATTR_FOUND)
    set(MOREK_HAVE_LIBACL 1)
  endif()
endif()
if(NOT MOREK_HAVE_LIBACL)
  if(MOREK_HAVE_XATTR)
    message(STATUS "Without libacl and libattr: -i leaves a file that has ACLs or extended attributes as it is, with a note")
  else()
    message(STATUS "Without libacl, libattr and flistxattr: -i cannot see ACLs and extended attributes, and keeps only the mode and owner")
  endif()
endif()
if(MOREK_FORCE_FALLBACKS)
  message(STATUS "Every POSIX fallback forced")
endif()

configure_file(${CMAKE_CURRENT_LIST_DIR}/morek_config.h.in ${CMAKE_BINARY_DIR}/generated/morek_config.h @ONLY)
