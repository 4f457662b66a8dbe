#include "files.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "diff.hpp"
#include "editorconfig.hpp"
#include "errmsg.hpp"
#include "file_settings.hpp"
#include "kinds.hpp"
#include "languages.hpp"
#include "lexer.hpp"
#include "locate.hpp"
#include "names.hpp"
#include "python_indent.hpp"
#include "replace.hpp"
#include "settings.hpp"
#include "stream.hpp"
#include "walk.hpp"

namespace morek {

namespace {

// Files are committed in batches: the new versions of a batch wait for one
// sync of their filesystem before they are renamed into place, since a sync
// per file would cost more than the conversion. Messages wait with them, to
// keep the order of the files. Two batches may be open at a time, one
// converting and one committing, and each waiting file holds up to three
// descriptors (the file, its new version and its directory); a few more are
// the standard streams and the file converting. Batches shrink to fit the
// descriptors the process may open, down to one file.
constexpr std::size_t BATCH_FILES = 128;
constexpr std::uint64_t BATCH_BYTES = 64 << 20;
constexpr rlim_t RESERVED_FDS = 10;

std::size_t batch_files() {
  rlimit lim{};
  if (::getrlimit(RLIMIT_NOFILE, &lim) != 0 || lim.rlim_cur == RLIM_INFINITY) return BATCH_FILES;
  const rlim_t fit = lim.rlim_cur > RESERVED_FDS + 6 ? (lim.rlim_cur - RESERVED_FDS) / 6 : 1;
  return fit < BATCH_FILES ? static_cast<std::size_t>(fit) : BATCH_FILES;
}

enum class verdict {
  unchanged,  // the conversion equals the file
  changed,    // --check and --diff: the conversion differs
  pending,    // -i: the conversion waits beside the file to be put in place
  failed,     // left as it is; message says why
  duplicate,  // named before
  skipped,    // reached through a directory, and not for converting; message, if any, says why
};

// What became of one file.
struct outcome {
  std::string name;   // as named on the command line, or as a walk reached it
  shared_dir root;    // reached through a directory: that directory, open
  std::string below;  // and the path below it
  verdict v = verdict::unchanged;
  std::string message;        // failed: the reason
  shared_dir dir;             // the directory that holds the file itself, links resolved
  std::string base;           // the file's name there
  struct stat before {};      // the file when it was opened
  new_file fresh;             // pending: its conversion
  int original = -1;          // pending: the file, open, for its owner, mode and attributes
  std::string preface;        // a line to write before any message of the file's own
  file_settings settings;     // --editorconfig: what the file is converted with
  std::string converted;      // --diff: the conversion, once it differs from the file
  std::string original_text;  // --diff: the file, once its conversion differs
  std::string diff;           // --diff: what to print
  written written_as = written::per_file;  // reached through a directory: what the walk writes, for its kinds
  std::string properties;                  // --show-settings: "key=value" lines, as a core prints them

  bool walked() const { return root != nullptr; }
  // Done with the file: what is still open of it is closed.
  void close_original() {
    if (original >= 0) ::close(original);
    original = -1;
  }
};

// The file being converted, as the output target sees it.
struct job_state {
  enum { comparing, writing, capturing, ignoring } mode = comparing;
  int fd = -1;     // the file, read again to compare
  off_t same = 0;  // bytes of output so far, all equal to the file's
  file_mode what = file_mode::in_place;
  final_newline final = final_newline::keep;
  std::string held;            // final: the CRs and LFs at the output's end so far, held back
  bool delivered = false;      // some output went on
  bool last_end_crlf = false;  // final: the last line end that went on was CR LF
  bool last_byte_cr = false;   // and the last byte that went on was a CR
  outcome* out = nullptr;
  text_reader* reader = nullptr;
  python_indent_check* python = nullptr;  // a Python file: its output's indentation, checked
  std::string failure;  // what stopped the job
};
job_state* job;

unsigned char compare_buf[64 * 1024];

void fail_job(job_state& j, std::string why) {
  j.failure = std::move(why);
  j.mode = job_state::ignoring;
  j.reader->stop();
  if (j.out->fresh.fd >= 0) discard(j.out->fresh);
}

// How many of the n output bytes at p match the file from j.same on; j.same
// moves past them.
std::size_t matching(job_state& j, const unsigned char* p, std::size_t n) {
  std::size_t k = 0;
  while (k < n) {
    const std::size_t want = std::min(n - k, sizeof compare_buf);
    const ssize_t got = ::pread(j.fd, compare_buf, want, j.same);
    if (got <= 0) break;  // the output runs past the file's end
    const auto len = static_cast<std::size_t>(got);
    const std::size_t equal =
        static_cast<std::size_t>(std::mismatch(compare_buf, compare_buf + len, p + k).first - compare_buf);
    k += equal;
    j.same += static_cast<off_t>(equal);
    if (equal < len) break;
  }
  return k;
}

const char* const changed_meanwhile = "changed while it was being converted; left as it is";

// Copies the first len bytes of the file at in_fd to out_fd, at its offset.
// False with errno set when that fails, or with errno 0 when the file has
// become shorter.
bool copy_prefix(int in_fd, int out_fd, off_t len) {
  off_t at = 0;
  while (at < len) {
    errno = 0;
    const ssize_t n = ::copy_file_range(in_fd, &at, out_fd, nullptr, static_cast<std::size_t>(len - at), 0);
    if (n > 0) continue;
    if (n == 0) return false;
    if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
    // Where the filesystem cannot copy by itself.
    while (at < len) {
      errno = 0;
      const ssize_t got =
          ::pread(in_fd, compare_buf, std::min(sizeof compare_buf, static_cast<std::size_t>(len - at)), at);
      if (got <= 0 || !write_all(out_fd, compare_buf, static_cast<std::size_t>(got))) return false;
      at += got;
    }
  }
  return true;
}

// Appends the bytes [from, to) of the file at fd to out. False, with errno
// set, when they cannot be read, or with errno 0 when the file has become
// shorter.
bool read_range(int fd, off_t from, off_t to, std::string& out) {
  // Straight into the string, which grows once.
  std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(to - from));
  while (from < to) {
    errno = 0;
    const ssize_t got = ::pread(fd, out.data() + at, static_cast<std::size_t>(to - from), from);
    if (got <= 0) {
      out.resize(at);
      return false;
    }
    at += static_cast<std::size_t>(got);
    from += got;
  }
  return true;
}

// The conversion first differs from the file after j.same bytes, of which the
// last in_hand are still in the output buffer, on their way to the new file.
void start_differing(job_state& j, std::size_t in_hand) {
  outcome& o = *j.out;
  if (o.before.st_nlink > 1) {
    fail_job(j, "has " + std::to_string(o.before.st_nlink) + " hard links; left as it is");
    return;
  }
  if (j.what == file_mode::check) {
    o.v = verdict::changed;
    j.mode = job_state::ignoring;
    return;
  }
  if (j.what == file_mode::diff) {
    // The file, read once, and the conversion so far: the file's own bytes
    // up to the output in hand.
    const auto prefix = static_cast<std::size_t>(j.same) - in_hand;
    if (!read_range(j.fd, 0, o.before.st_size, o.original_text) || o.original_text.size() < prefix)
      return fail_job(j, errno == 0 ? changed_meanwhile : with_errno("can't read", errno));
    o.converted.reserve(o.original_text.size() + o.original_text.size() / 4);
    o.converted.assign(o.original_text, 0, prefix);
    o.v = verdict::changed;
    j.mode = job_state::capturing;
    return;
  }
  if (!create_beside(o.dir->fd, o.base, o.fresh))
    return fail_job(j, with_errno("can't create a new file beside it", errno));
  if (!copy_prefix(j.fd, o.fresh.fd, j.same - static_cast<off_t>(in_hand)))
    return fail_job(j, errno == 0 ? changed_meanwhile : with_errno("can't write", errno));
  o.v = verdict::pending;
  j.mode = job_state::writing;
}

void deliver(job_state& j, const unsigned char* p, std::size_t n);

bool line_end_byte(unsigned char c) { return c == '\n' || c == '\r'; }

// The output, less the CRs and LFs at its very end, which wait to be kept,
// dropped or added to when the output is complete (insert_final_newline).
bool to_job(const unsigned char* p, std::size_t n) {
  job_state& j = *job;
  if (j.python != nullptr) j.python->feed(p, n);
  if (j.final == final_newline::keep) {
    deliver(j, p, n);
    return true;
  }
  std::size_t body = n;
  while (body > 0 && line_end_byte(p[body - 1])) --body;
  if (body > 0) {
    deliver(j, reinterpret_cast<const unsigned char*>(j.held.data()), j.held.size());
    j.held.clear();
    deliver(j, p, body);
  }
  j.held.append(reinterpret_cast<const char*>(p + body), n - body);
  return true;
}

// The output is complete: a last line without a line end gets one of the
// file's own kind (insert), or the line ends at the end go (remove), so that
// the file does not end with one.
void finish_final_line(job_state& j) {
  if (j.final == final_newline::keep) return;
  std::string& h = j.held;
  if (j.final == final_newline::remove) {
    for (;;) {
      if (!h.empty() && h.back() == '\n') {
        h.pop_back();
        if (!h.empty() && h.back() == '\r') h.pop_back();
      } else {
        break;  // a lone CR is a character of the line
      }
    }
  }
  const bool adds = j.final == final_newline::insert && (h.empty() || h.back() != '\n') && j.delivered;
  // Where end_of_line names the line end, the CRs before the one added
  // are part of it, as a run of CRs before an LF is when the file is read.
  if (adds && line_ends != eol_mode::keep)
    while (!h.empty() && h.back() == '\r') h.pop_back();
  deliver(j, reinterpret_cast<const unsigned char*>(h.data()), h.size());
  if (adds) {
    const bool crlf = line_ends == eol_mode::crlf || (line_ends == eol_mode::keep && j.last_end_crlf);
    deliver(j, reinterpret_cast<const unsigned char*>(crlf ? "\r\n" : "\n"), crlf ? 2 : 1);
  }
  h.clear();
}

void deliver(job_state& j, const unsigned char* p, std::size_t n) {
  if (n == 0) return;
  if (j.final == final_newline::insert) {
    // The kind of the last line end so far, for one that is added.
    if (const void* lf = ::memrchr(p, '\n', n)) {
      const auto i = static_cast<std::size_t>(static_cast<const unsigned char*>(lf) - p);
      j.last_end_crlf = i > 0 ? p[i - 1] == '\r' : j.last_byte_cr;
    }
    j.last_byte_cr = p[n - 1] == '\r';
  }
  j.delivered = true;
  if (j.mode == job_state::comparing) {
    const std::size_t k = matching(j, p, n);
    if (k == n) return;
    start_differing(j, k);  // the whole buffer goes to the new file
  }
  if (j.mode == job_state::writing && !write_all(j.out->fresh.fd, p, n)) fail_job(j, with_errno("can't write", errno));
  if (j.mode == job_state::capturing) j.out->converted.append(reinterpret_cast<const char*>(p), n);
}

// The files met so far, to convert each only once, by device and inode.
std::set<std::pair<dev_t, ino_t>> seen;

bool seen_before(const struct stat& st) { return !seen.insert({st.st_dev, st.st_ino}).second; }

void fail(outcome& o, std::string why) {
  o.v = verdict::failed;
  o.message = std::move(why);
}

// Whether the file is still in the state st0 that it had when it was opened:
// any write, truncation, chmod, chown or new link changes its change time.
bool same_state(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
         a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// Whether the file at fd begins with a UTF-16 or UTF-32 byte order mark.
bool wide_text(int fd) {
  unsigned char head[4] = {};
  const ssize_t n = ::pread(fd, head, sizeof head, 0);
  return n >= 2 && ((head[0] == 0xFF && head[1] == 0xFE) || (head[0] == 0xFE && head[1] == 0xFF) ||
                    (n == 4 && head[0] == 0 && head[1] == 0 && head[2] == 0xFE && head[3] == 0xFF));
}

// The language a file is read in: --lang's, else its own (YAML by every
// name of the table of kinds), by its name or its first bytes (head).
language file_language(const file_options& opt, std::string_view base, std::string_view head) {
  if (!opt.lang_auto) return opt.lang;
  return kind_of(base, head) == file_kind::yaml ? language::yaml : language_of(base, head);
}

// The first bytes of the file, for a name that does not say its language;
// empty when it cannot be read (or need not be).
std::string first_line(const outcome& o) {
  if (language_by_name(o.base) != language::text) return {};
  const int fd = ::openat(o.dir->fd, o.base.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return {};
  struct stat st;
  char head[256];
  const ssize_t n = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? ::pread(fd, head, sizeof head, 0) : -1;
  ::close(fd);
  return n > 0 ? std::string(head, static_cast<std::size_t>(n)) : std::string();
}

// Converts one file, located, into o, up to where it waits to be put in place.
void convert_file(outcome& o, text_reader& reader, unsigned char* in_buf, const file_options& opt) {
  struct stat st;
  if (::fstatat(o.dir->fd, o.base.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    if (o.walked() && errno == ENOENT) {
      o.v = verdict::skipped;  // listed by git, and gone
      return;
    }
    return fail(o, with_errno("can't open", errno));
  }
  if (o.walked() && !S_ISREG(st.st_mode)) {
    o.v = verdict::skipped;  // a link, a submodule or a special file met on the way
    return;
  }
  if (S_ISDIR(st.st_mode)) return fail(o, "is a directory");
  if (!S_ISREG(st.st_mode)) return fail(o, "is not a regular file");
  // Not blocking and not following a link: the name may have been swapped
  // for a FIFO or a link since it was looked at.
  const int fd = ::openat(o.dir->fd, o.base.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return fail(o, errno == ELOOP ? std::string("is not a regular file") : with_errno("can't open", errno));
  // Closed at the end, unless its new version waits: that takes it along.
  struct closer {
    int fd;
    ~closer() {
      if (fd >= 0) ::close(fd);
    }
  } close_fd{fd};
  if (::fstat(fd, &o.before) != 0) return fail(o, with_errno("can't read", errno));
  if (!S_ISREG(o.before.st_mode)) return fail(o, "is not a regular file");
  if (o.before.st_dev != st.st_dev || o.before.st_ino != st.st_ino) return fail(o, changed_meanwhile);
  if (seen_before(o.before)) {
    o.v = verdict::duplicate;
    return;
  }
  if (o.walked() && wide_text(fd)) {
    o.v = verdict::skipped;
    return;
  }
  // The kind by the name, else by the first line, which the walk could not see.
  char head[256];
  const ssize_t head_len = ::pread(fd, head, sizeof head, 0);
  const file_kind kind = kind_of(o.base, std::string_view(head, head_len > 0 ? static_cast<std::size_t>(head_len) : 0));
  if (o.walked() && kept_out(kind, o.written_as)) {
    o.v = verdict::skipped;
    return;
  }
  python_indent_check python;
  // A file in a language keeps its literals as its lexer finds them.
  static literal_lexer file_lexer;
  const language lang =
      file_language(opt, o.base, std::string_view(head, head_len > 0 ? static_cast<std::size_t>(head_len) : 0));
  literal_lexer* const literals_given = literals;
  file_lexer.start(lang);
  literals = lang == language::text ? nullptr : &file_lexer;

  job_state j;
  j.fd = fd;
  j.what = opt.mode;
  j.final = o.settings.final;
  j.out = &o;
  j.reader = &reader;
  j.python = kind == file_kind::python ? &python : nullptr;
  job = &j;
  make_lines = kind == file_kind::makefile ? 1 : 0;
  yaml_lines = kind == file_kind::yaml || lang == language::yaml ? 1 : 0;
  reader.reset(fd, {.bytewise = true,
                    .track_crs = line_ends == eol_mode::keep,
                    .stop_at_nul = true,
                    .cr_runs = line_ends == eol_mode::lf || line_ends == eol_mode::crlf});
  out_target = to_job;
  const stream_result r = convert_stream(reader, in_buf, o.settings.trim, true, o.settings.final == final_newline::insert);
  (void)out_flush();
  const bool whole = !r.no_memory && !r.too_wide;
  if (whole && !reader.nul_seen()) finish_final_line(j);
  out_target = write_stdout;
  job = nullptr;
  make_lines = yaml_lines = 0;
  literals = literals_given;
  python.finish();

  if (o.walked() && reader.nul_seen()) {
    // Binary: not a file to convert, nor a failure of the run.
    if (o.fresh.fd >= 0) discard(o.fresh);
    o.converted.clear();
    o.original_text.clear();
    o.v = verdict::skipped;
    return;
  }
  if (const std::size_t line = python.rejected_line(); line != 0 && !reader.failed() && !reader.nul_seen() &&
                                                      whole && j.failure.empty()) {
    // Python would reject the conversion: the file stays as it is, and needs no change.
    if (o.fresh.fd >= 0) discard(o.fresh);
    o.converted.clear();
    o.original_text.clear();
    o.v = verdict::skipped;
    o.message = "skipped: line " + std::to_string(line) + ": Python would reject its indentation";
    return;
  }
  if (reader.failed()) fail_job(j, with_errno("can't read", reader.errno_value()));
  if (reader.nul_seen()) fail_job(j, "holds a NUL byte; left as it is");
  if (r.no_memory) fail_job(j, "line " + std::to_string(r.lines + 1) + ": cannot get memory; left as it is");
  if (r.too_wide)
    fail_job(j, "line " + std::to_string(r.lines + 1) + " is wider than " + std::to_string(LONG_LINE_COLUMNS) +
                    " columns; left as it is");
  if (j.mode == job_state::comparing) {
    // The conversion so far is the file's start: it differs if it is shorter.
    struct stat now;
    if (::fstat(fd, &now) != 0) fail_job(j, with_errno("can't read", errno));
    if (j.mode == job_state::comparing && now.st_size != j.same) start_differing(j, 0);
  }
  if (!j.failure.empty()) return fail(o, j.failure);
  if (o.v == verdict::changed && opt.mode == file_mode::diff) {
    unified_diff(diff_path(o.name, opt.cwd), o.original_text, o.converted, opt.colour, o.diff);
    o.converted = std::string();
    o.original_text = std::string();
  }
  if (o.v == verdict::pending) {
    seen.insert({o.fresh.dev, o.fresh.ino});  // named again later, it is the same file
    o.original = fd;
    close_fd.fd = -1;
  }
}

// Whether the file is still as it was when it was opened, both under its
// name and as the descriptor open on it sees it.
bool unchanged_since(const outcome& o) {
  struct stat by_name, by_fd;
  return ::fstatat(o.dir->fd, o.base.c_str(), &by_name, AT_SYMLINK_NOFOLLOW) == 0 && same_state(by_name, o.before) &&
         ::fstat(o.original, &by_fd) == 0 && same_state(by_fd, o.before);
}

// Writes "NAME: reason" whole, however long the name, unless the process is
// dying of a signal.
void report(const std::string& name, const std::string& why) {
  if (cleanup_started()) return;
  const std::string line = quoted_name(name) + ": " + why + "\n";
  (void)write_all(2, reinterpret_cast<const unsigned char*>(line.data()), line.size());
}

// What the run comes to, written by whichever thread commits.
struct results {
  bool failed = false;
  bool changed = false;
  std::string names;  // --check and --diff: names or diffs not yet written
  bool output_lost = false;  // standard output failed: said once, and the run stops
};

void write_names(results& res, bool all) {
  if (res.names.empty() || (!all && res.names.size() < 64 * 1024)) return;
  if (!res.output_lost && !write_stdout(reinterpret_cast<const unsigned char*>(res.names.data()), res.names.size())) {
    errmsg("stdout: can't write\n");
    res.failed = true;
    res.output_lost = true;
  }
  res.names.clear();
}

// Puts the waiting files of a batch in place and reports every outcome, in
// order.
void commit(std::vector<outcome>& batch, results& res) {
  std::vector<const new_file*> files;
  for (outcome& o : batch) {
    if (o.v != verdict::pending) continue;
    // What is carried over is what the file has now, and only if nothing
    // else changed it meanwhile.
    struct stat now;
    if (::fstat(o.original, &now) != 0 || !same_state(now, o.before)) {
      discard(o.fresh);
      fail(o, changed_meanwhile);
    } else if (copy_metadata(o.original, now, o.fresh)) {
      files.push_back(&o.fresh);
    } else {
      const int e = errno;
      discard(o.fresh);
      fail(o, with_errno("can't keep its owner, mode or attributes", e));
    }
  }
  if (!files.empty() && !make_durable(files)) {
    const int e = errno;
    for (outcome& o : batch) {
      if (o.v != verdict::pending) continue;
      discard(o.fresh);
      fail(o, with_errno("can't write", e));
    }
  }
  for (outcome& o : batch) {
    if (o.v == verdict::pending) {
      if (!unchanged_since(o)) {
        discard(o.fresh);
        fail(o, changed_meanwhile);
      } else if (!put_in_place(o.fresh, o.base)) {
        const int e = errno;
        discard(o.fresh);
        fail(o, with_errno("can't rename", e));
      }
    }
    o.close_original();
    if (!o.preface.empty() && !cleanup_started())
      (void)write_all(2, reinterpret_cast<const unsigned char*>(o.preface.data()), o.preface.size());
    if (o.v == verdict::failed) {
      if (!o.message.empty()) report(o.name, o.message);
      res.failed = true;
    } else if (o.v == verdict::changed) {
      if (o.diff.empty()) {
        res.names.append(quoted_name(o.name)).append("\n");
      } else {
        // A diff is most of a file: it goes out as it is, after what waits.
        write_names(res, true);
        res.names.swap(o.diff);
        write_names(res, true);
      }
      res.changed = true;
    } else if (o.v == verdict::skipped && !o.message.empty()) {
      report(o.name, o.message);
    }
  }
  batch.clear();
  write_names(res, false);
}

// Commits batches on a thread of its own, one after the other, while the
// next files convert: the sync and the renames, and the freeing of the old
// files that they bring, overlap the conversion.
class committer {
 public:
  explicit committer(results& res) : res_(res) {}
  committer(const committer&) = delete;
  committer& operator=(const committer&) = delete;

  // False when no thread could be started: the caller commits itself.
  bool start() { return running_ = start_thread_without_cleanup_signals(thread_, run, this); }

  // Takes the batch, once the one before is committed; batch is left empty.
  void hand_over(std::vector<outcome>& batch) {
    pthread_mutex_lock(&lock_);
    while (has_work_) pthread_cond_wait(&cond_, &lock_);
    work_.swap(batch);
    has_work_ = true;
    pthread_cond_broadcast(&cond_);
    pthread_mutex_unlock(&lock_);
  }

  // Waits for the last batch, and for the thread to end.
  void finish() {
    if (!running_) return;
    pthread_mutex_lock(&lock_);
    while (has_work_) pthread_cond_wait(&cond_, &lock_);
    quit_ = true;
    pthread_cond_broadcast(&cond_);
    pthread_mutex_unlock(&lock_);
    pthread_join(thread_, nullptr);
    running_ = false;
  }

 private:
  static void* run(void* self) {
    static_cast<committer*>(self)->loop();
    return nullptr;
  }
  void loop() {
    std::vector<outcome> batch;
    pthread_mutex_lock(&lock_);
    for (;;) {
      while (!has_work_ && !quit_) pthread_cond_wait(&cond_, &lock_);
      if (!has_work_) break;
      batch.swap(work_);
      pthread_mutex_unlock(&lock_);
      commit(batch, res_);
      pthread_mutex_lock(&lock_);
      has_work_ = false;
      pthread_cond_broadcast(&cond_);
    }
    pthread_mutex_unlock(&lock_);
  }

  results& res_;
  pthread_t thread_{};
  pthread_mutex_t lock_ = PTHREAD_MUTEX_INITIALIZER;
  pthread_cond_t cond_ = PTHREAD_COND_INITIALIZER;
  std::vector<outcome> work_;  // the batch handed over
  bool has_work_ = false;
  bool quit_ = false;
  bool running_ = false;
};

// Looks up the file's .editorconfig properties and puts the settings they
// give in force, or leaves the file alone: when none applies, when its
// charset is UTF-16, when a kind of file would be broken by them, and, as a
// failure, when a .editorconfig that governs it is refused (said once, before
// the first such file).
void choose_settings(outcome& o, ec_lookup& lookup, std::set<std::string>& reported, const file_options& opt) {
  const ec_properties props =
      lookup.properties(o.dir->absolute.empty() ? std::string() : joined_path(o.dir->absolute, o.base), o.dir->fd);
  for (const auto& [file, why] : props.notes)
    if (reported.insert(file).second) o.preface += quoted_name(file) + ": " + why + "\n";
  if (opt.show_settings)
    for (const auto& [key, value] : props.shown) o.properties += key + "=" + value + "\n";
  if (!props.error.empty()) {
    const std::string& who = props.error_file.empty() ? o.name : props.error_file;
    if (reported.insert(who).second) o.preface += quoted_name(who) + ": " + props.error + "\n";
    o.v = verdict::failed;  // the message said it all
    if (opt.show_settings) o.message = "left alone: " + who + " is refused";
    return;
  }
  std::string why;
  if (!settings_from(props, opt.cli, o.settings, why)) {
    o.v = verdict::skipped;
    o.message = why;
    if (opt.show_settings && why.empty()) o.message = "no settings; left alone";
    return;
  }
  const written w = o.settings.spaces_only == 1   ? written::spaces
                    : o.settings.indent_only == 1 ? written::tabs
                                                  : written::per_file;  // every blank kept: no tab added
  o.written_as = w;
  if (o.walked() && kept_out(kind_by_name(o.base), w)) {
    o.v = verdict::skipped;
    if (opt.show_settings) o.message = "skipped: its format needs its blanks";
    return;
  }
  put_in_force(o.settings);
}

}  // namespace

int run_files(std::span<char* const> operands, const file_options& opt, text_reader& reader, unsigned char* in_buf) {
  const bool in_place = opt.mode == file_mode::in_place;
  results res;
  committer on_the_side(res);
  if (in_place) install_cleanup();
  // --check and --diff have nothing to wait for: each outcome is reported at once.
  const bool threaded = in_place && on_the_side.start();
  std::vector<outcome> batch;
  const std::size_t files_a_batch = batch_files();
  std::uint64_t pending_bytes = 0;
  auto commit_batch = [&] {
    if (threaded)
      on_the_side.hand_over(batch);
    else
      commit(batch, res);
    pending_bytes = 0;
  };
  locator where(opt.editorconfig);
  ec_lookup lookup;
  std::set<std::string> reported;  // .editorconfig files refused, and said so
  const file_settings given = settings_in_force(opt.trim);
  // Only --check, --diff and --show-settings write to standard output, and
  // they commit on this thread.
  auto stopped = [&] { return !threaded && res.output_lost; };
  auto take = [&](outcome& o) {
    if (stopped()) {
      o.v = verdict::skipped;
      o.message.clear();
      return;
    }
    o.settings = given;
    if (o.v == verdict::unchanged) {
      place at;
      std::string why;
      const found f = o.walked() ? where.below(o.root, o.below, at, why) : where.operand(o.name, at, why);
      if (f == found::yes) {
        o.dir = std::move(at.dir);
        o.base = std::move(at.base);
      } else if (f == found::gone) {
        o.v = verdict::skipped;
      } else {
        fail(o, why);
      }
    }
    if (o.v == verdict::unchanged && opt.editorconfig) choose_settings(o, lookup, reported, opt);
    if (opt.show_settings && o.v != verdict::duplicate) {
      // Each file's line goes to standard output, whatever became of it.
      const language lang = file_language(opt, o.base, first_line(o));
      res.names += quoted_name(o.name) + ": " +
                   (o.v == verdict::unchanged ? describe(o.settings) + ", lang " + std::string(forms_of(lang).name)
                                              : o.message) +
                   "\n";
      res.names += o.properties;
      o.message.clear();
      if (o.v == verdict::unchanged) o.v = verdict::skipped;
    }
    if (o.v == verdict::unchanged) convert_file(o, reader, in_buf, opt);
    if (o.v == verdict::pending) pending_bytes += static_cast<std::uint64_t>(o.before.st_size);
    if (batch.size() >= files_a_batch || pending_bytes >= BATCH_BYTES || (!threaded && pending_bytes == 0))
      commit_batch();
  };
  for (char* operand : operands) {
    if (stopped()) break;
    if (!is_directory(operand)) {
      outcome& o = batch.emplace_back();
      o.name = operand;
      take(o);
      continue;
    }
    const shared_dir root = where.open_root(operand);
    if (root == nullptr) {
      outcome& o = batch.emplace_back();
      o.name = operand;
      fail(o, with_errno("can't open", errno));
      take(o);
      continue;
    }
    const written w = opt.editorconfig ? written::per_file : spaces_only == 1 ? written::spaces : written::tabs;
    listing listed = list_directory(root->fd, opt.filters, w);
    for (std::string& below : listed.paths) {
      if (stopped()) break;
      outcome& o = batch.emplace_back();
      o.name = joined_name(operand, below);
      o.root = root;
      o.below = std::move(below);
      o.written_as = w;
      take(o);
    }
    if (!listed.note.empty()) {
      outcome& o = batch.emplace_back();
      o.name = operand;
      o.v = verdict::skipped;  // said, and nothing more
      o.message = listed.note + "; walked instead, ignored files included";
      take(o);
    }
    for (const std::string& error : listed.errors) {
      outcome& o = batch.emplace_back();
      o.name = operand;
      fail(o, error);
      take(o);
    }
  }
  commit_batch();
  on_the_side.finish();
  put_in_force(given);
  where.release();
  release_forgotten();
  write_names(res, true);
  return res.failed ? 2 : res.changed ? 1 : 0;
}

}  // namespace morek
