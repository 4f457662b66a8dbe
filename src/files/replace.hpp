// Replacing a file with a new version of it: the new version is written to a
// hidden file beside the original, given the original's owner, mode, ACLs and
// extended attributes, made durable, and only then renamed over it. Every
// step works relative to the descriptor of the file's directory, so a path
// swapped meanwhile cannot move any of it elsewhere. On any failure, and on
// any signal that would end the process, the new file is removed, so the
// original stays as it was and nothing is left behind.
#pragma once

#include <pthread.h>
#include <sys/stat.h>

#include <span>
#include <string>
#include <string_view>

namespace morek {

// The new version of a file, being written beside it.
struct new_file {
  int fd = -1;
  int dir = -1;      // the directory it is in; the caller keeps it open until f is put in place or discarded
  std::string name;  // its name there
  dev_t dev = 0;     // its filesystem
  ino_t ino = 0;
};

// From now on every signal that would end the process and can be caught
// (where not ignored) removes the new files not yet in place, then ends the
// process as the signal would have. SIGXFSZ is ignored, so that a file size
// limit fails a write instead.
void install_cleanup();

// True once such a signal has come: the process is about to end, and
// failures that follow from the removal are not worth a message.
bool cleanup_started();

// Starts run(arg) on a thread of its own, on which the cleanup signals never
// arrive: new files are made on one thread only, where the handler runs, but
// any thread may put them in place or discard them. False when no thread could
// be started.
bool start_thread_without_cleanup_signals(pthread_t& thread, void* (*run)(void*), void* arg);

// Frees what the bookkeeping of files put in place or discarded still holds.
// On the thread that makes new files.
void release_forgotten();

// Creates an empty hidden file ".NAME.morek-XXXXXX", mode 0600, in the
// directory open as dir, beside the file named base there. False, with errno
// set, when it cannot be created. On one thread only: the one that installed
// the cleanup.
bool create_beside(int dir, std::string_view base, new_file& f);

// Gives f the owner and group of the original, open as fd with the status
// st, where the process may set them, and its mode, ACLs and extended
// attributes. False, with errno set, when the mode, ACLs or attributes could
// not be carried over; without libacl and libattr, false with ENOTSUP when
// the original has any that f does not already carry.
bool copy_metadata(int fd, const struct stat& st, const new_file& f);

// Makes what was written to the files durable, with one sync of each
// filesystem they are on, or, where the system cannot sync a filesystem, as
// sync_each does. False, with errno set, when a sync fails.
bool make_durable(std::span<const new_file* const> files);

// Makes the files durable one by one, several at a time, and then each of
// their directories, once, with the new names in it. False, with errno set,
// when a sync fails.
bool sync_each(std::span<const new_file* const> files);

// How many threads sync_each has started to sync beside its caller's; they
// are kept for the rest of the run.
std::size_t sync_helpers();

// Whether each extended attribute of the file open as from (ACLs among them)
// is on the file open as to, with the same value: what a build without
// libacl and libattr asks before it replaces a file, since it cannot carry
// them over. False, with errno ENOTSUP, when one is missing or differs, or
// with the errno of a failure to read them.
bool attributes_already_there(int from, int to);

// Closes f and renames it over the file named target in its directory. False,
// with errno set, when the rename fails; f is then still there, for discard.
bool put_in_place(new_file& f, std::string_view target);

// Closes and removes f.
void discard(new_file& f);

}  // namespace morek
