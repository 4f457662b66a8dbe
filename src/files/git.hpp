// git, run on a tree that someone else may have written: found once outside
// it, in an environment of the user's without git's own variables, with
// nothing the tree's configuration names to run, and for a bounded time.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace morek {

// How long git may take before it is stopped: a FIFO among the files it
// reads would otherwise hold the run for ever. MOREK_GIT_TIMEOUT (seconds)
// sets it.
inline constexpr int GIT_SECONDS = 60;
int git_timeout_seconds();

struct git_run {
  enum class end {
    exited,       // status says how
    not_found,    // no git on the PATH
    not_started,  // error says why
    timed_out,    // stopped after seconds
  } how = end::exited;
  int error = 0;
  int status = -1;  // exited: its exit status; -1: a signal ended it
  int seconds = 0;
  std::string out;  // all it wrote
  std::string err;  // all it said
  bool ok() const { return how == end::exited && status == 0; }
  std::vector<std::string> said() const;  // err, a line each
  std::string why() const;                // what went wrong, in a few words
};

// Runs git with args in the directory open as dir, standard input on
// /dev/null. git is the one the PATH gives as the directory the run started
// in sees it (a relative entry would find a program the tree holds), and
// runs without pager, file system monitor, hooks or transport, never
// fetching a missing object.
git_run run_git(int dir, std::span<const std::string> args);

}  // namespace morek
