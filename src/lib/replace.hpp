// Replacing a file with a new version of it: the new version is written to a
// hidden file beside the original, given the original's owner, mode, ACLs and
// extended attributes, made durable, and only then renamed over it. On any
// failure, and on SIGINT, SIGTERM or SIGHUP, the new file is removed, so the
// original stays as it was and nothing is left behind.
#pragma once

#include <pthread.h>
#include <sys/stat.h>

#include <span>
#include <string>

namespace morek {

// The new version of a file, being written beside it.
struct new_file {
  int fd = -1;
  std::string path;
  dev_t dev = 0;  // its filesystem
  ino_t ino = 0;
};

// From now on SIGINT, SIGTERM and SIGHUP (where not ignored) remove the new
// files not yet in place, then end the process as the signal would have.
// SIGXFSZ is ignored, so that a file size limit fails a write instead.
void install_cleanup();

// Starts run(arg) on a thread of its own, on which the cleanup signals never
// arrive: new files are made on one thread only, where the handler runs, but
// any thread may put them in place or discard them. False when no thread could
// be started.
bool start_thread_without_cleanup_signals(pthread_t& thread, void* (*run)(void*), void* arg);

// Frees what the bookkeeping of files put in place or discarded still holds.
// On the thread that makes new files.
void release_forgotten();

// Creates an empty hidden file ".NAME.morek-XXXXXX", mode 0600, in the
// directory of target (a path to a regular file). False, with errno set, when
// it cannot be created. On one thread only: the one that installed the cleanup.
bool create_beside(const std::string& target, new_file& f);

// Gives f the owner and group of the original, open as fd at path with the
// status st, where the process may set them, and its mode, ACLs and extended
// attributes. False, with errno set, when the mode, ACLs or attributes could
// not be carried over.
bool copy_metadata(int fd, const std::string& path, const struct stat& st, const new_file& f);

// Makes what was written to the files durable, with one sync of each
// filesystem they are on. False, with errno set, when a sync fails.
bool make_durable(std::span<const new_file* const> files);

// Closes f and renames it over target. False, with errno set, when the rename
// fails; f is then still there, for discard.
bool put_in_place(new_file& f, const std::string& target);

// Closes and removes f.
void discard(new_file& f);

}  // namespace morek
