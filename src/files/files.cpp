#include "files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "byte_buffer.hpp"
#include "changes.hpp"
#include "editorconfig.hpp"
#include "file_work.hpp"
#include "jobs.hpp"
#include "kinds.hpp"
#include "languages.hpp"
#include "locate.hpp"
#include "names.hpp"
#include "regions.hpp"
#include "replace.hpp"
#include "report.hpp"
#include "textio.hpp"
#include "walk.hpp"

namespace morek {

namespace {

// New files of a batch wait for one sync of at most this many bytes in all.
constexpr std::uint64_t BATCH_BYTES = 64 << 20;

enum class state {
  to_do,      // located: to read, convert and judge
  unchanged,  // its conversion equals it
  changed,    // --check and --diff: shown holds its name or diff
  to_write,   // -i: text holds its conversion, to write beside it
  pending,    // -i: its conversion waits beside it to be put in place
  failed,     // left as it is; message says why
  duplicate,  // named before
  skipped,    // not for converting, or left as it is; message, if any, says why
};

// One file of the run, from its name to what became of it. Its work runs on
// a worker; the rest, in the order of the files, on the thread of the run and
// on the one that commits.
struct outcome : job_runner::job {
  const file_options* opt = nullptr;
  std::string name;   // as named on the command line, or as a walk reached it
  shared_dir root;    // reached through a directory: that directory, open
  std::string below;  // and the path below it
  written written_as = written::per_file;  // reached through a directory: what the walk writes, for its kinds
  state v = state::to_do;
  std::string message;     // failed: the reason; skipped: a note, if any
  std::string kept;        // converted or unchanged: a note on what the conversion kept, if any
  std::string preface;     // lines to write before any message of the file's own
  shared_dir dir;          // the directory that holds the file itself, links resolved
  std::string base;        // the file's name there
  file_settings settings;  // what the file is converted with
  std::string properties;  // --show-settings: "key=value" lines, as a core prints them
  bool opened = false;     // before is the file's, as it was opened
  struct stat before {};
  int original = -1;  // to_write and pending: the file, open, for its owner, mode and attributes
  byte_buffer text;   // to_write: its conversion
  new_file fresh;     // pending: its conversion, beside it
  std::string shown;  // what it puts on standard output
  line_selection lines;     // --changed-lines: the lines to convert, unless every one is
  bool some_lines = false;

  outcome() = default;
  outcome(const outcome&) = delete;
  outcome& operator=(const outcome&) = delete;
  ~outcome() override { close_original(); }

  bool walked() const { return root != nullptr; }
  void fail(std::string why) {
    v = state::failed;
    message = std::move(why);
  }
  void close_original() {
    if (original >= 0) ::close(original);
    original = -1;
  }
  bool run() override;

 private:
  void show_settings();
  void read_and_convert();
};

const char* const changed_meanwhile = "changed while it was being converted; left as it is";

// The file's bytes, all of them; none when it cannot be read.
byte_buffer whole_file(const outcome& o) {
  byte_buffer bytes;
  if (o.dir == nullptr) return bytes;
  const int fd = ::openat(o.dir->fd, o.base.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return bytes;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !bytes.read_from(fd, static_cast<std::size_t>(st.st_size)))
    bytes.clear();
  ::close(fd);
  return bytes;
}

bool outcome::run() {
  if (opt->show_settings) {
    show_settings();
    return false;
  }
  if (v == state::to_do) read_and_convert();
  return v == state::to_write;
}

// Each file's line goes to standard output, whatever became of it; the
// regions left alone are counted where there are some.
void outcome::show_settings() {
  if (v == state::duplicate) return;
  if (v == state::to_do) {
    const byte_buffer bytes = whole_file(*this);
    const std::string_view text = bytes.view();
    const language lang = file_language(opt->lang_auto, opt->lang, base, text.substr(0, 256));
    std::string what = describe(settings) + ", lang " + std::string(forms_of(lang).name);
    if (const std::size_t n = find_regions(text, lang).count; n > 0) what += ", regions " + std::to_string(n);
    shown = render_settings(name, what, properties);
    v = state::skipped;
  } else {
    shown = render_settings(name, message, properties);
  }
  message.clear();
}

// Reads the file, located, and converts it, up to the verdict.
void outcome::read_and_convert() {
  struct stat st;
  if (::fstatat(dir->fd, base.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    if (walked() && errno == ENOENT) {
      v = state::skipped;  // listed by git, and gone
      return;
    }
    return fail(with_errno("can't open", errno));
  }
  if (walked() && !S_ISREG(st.st_mode)) {
    v = state::skipped;  // a link, a submodule or a special file met on the way
    return;
  }
  if (S_ISDIR(st.st_mode)) return fail("is a directory");
  if (!S_ISREG(st.st_mode)) return fail("is not a regular file");
  // Not blocking and not following a link: the name may have been swapped
  // for a FIFO or a link since it was looked at.
  const int fd = ::openat(dir->fd, base.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return fail(errno == ELOOP ? std::string("is not a regular file") : with_errno("can't open", errno));
  original = fd;  // closed when done with, unless its new version waits
  if (::fstat(fd, &before) != 0) return fail(with_errno("can't read", errno));
  if (!S_ISREG(before.st_mode)) return fail("is not a regular file");
  if (before.st_dev != st.st_dev || before.st_ino != st.st_ino) return fail(changed_meanwhile);
  opened = true;
  byte_buffer bytes;
  if (!bytes.read_from(fd, static_cast<std::size_t>(before.st_size)))
    return fail(errno == ENOMEM ? std::string("cannot get memory; left as it is") : with_errno("can't read", errno));
  // The kind by the name, else by the first line, which the walk could not see.
  const std::string_view head = bytes.view().substr(0, 256);
  const file_kind kind = kind_of(base, head);
  if (walked() && kept_out(kind, written_as)) {
    v = state::skipped;
    return;
  }
  file_verdict fv = convert_file_text({.bytes = bytes.view(),
                                       .settings = settings,
                                       .lang = file_language(opt->lang_auto, opt->lang, base, head),
                                       .kind = kind,
                                       .lines = some_lines ? &lines : nullptr,
                                       .regions = true,
                                       .find = opt->mode == file_mode::check && opt->format != check_format::names});
  switch (fv.v) {
    case verdict::same:
      v = state::unchanged;
      kept = std::move(fv.note);
      break;
    case verdict::binary:
      // Reached through a directory, not a file to convert, nor a failure of the run.
      if (walked())
        v = state::skipped;
      else
        fail(std::move(fv.note));
      break;
    case verdict::failed:
      fail(std::move(fv.note));
      break;
    case verdict::unproven:
      v = state::skipped;  // and needs no change
      message = std::move(fv.note);
      break;
    case verdict::changed:
      kept = std::move(fv.note);
      if (before.st_nlink > 1) {
        fail("has " + std::to_string(before.st_nlink) + " hard links; left as it is");
      } else if (opt->mode == file_mode::in_place) {
        text = std::move(fv.text);
        v = state::to_write;
        return;  // the file stays open
      } else if (opt->mode == file_mode::check && opt->format != check_format::names) {
        shown = render_findings(opt->format, name, fv.findings, settings.latin1_input == 1);
        v = state::changed;
      } else {
        shown = render_change({.diff = opt->mode == file_mode::diff, .colour = opt->colour, .cwd = opt->cwd}, name,
                              bytes.view(), fv.text.view());
        v = state::changed;
      }
      break;
  }
  close_original();
}

// Whether the file is still in the state a that it had when it was opened:
// any write, truncation, chmod, chown or new link changes its change time.
bool same_state(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
         a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// Whether the file is still as it was when it was opened, both under its
// name and as the descriptor open on it sees it.
bool unchanged_since(const outcome& o) {
  struct stat by_name, by_fd;
  return ::fstatat(o.dir->fd, o.base.c_str(), &by_name, AT_SYMLINK_NOFOLLOW) == 0 && same_state(by_name, o.before) &&
         ::fstat(o.original, &by_fd) == 0 && same_state(by_fd, o.before);
}

// Files that wait to be put in place together, and reported in order.
struct file_batch : batch_committer::batch {
  std::vector<std::unique_ptr<outcome>> files;
  reporter* report = nullptr;
  void commit() override;
};

// Puts the waiting files of a batch in place and reports every outcome, in
// order.
void file_batch::commit() {
  std::vector<const new_file*> waiting;
  for (auto& p : files) {
    outcome& o = *p;
    if (o.v != state::pending) continue;
    // What is carried over is what the file has now, and only if nothing
    // else changed it meanwhile.
    struct stat now;
    if (::fstat(o.original, &now) != 0 || !same_state(now, o.before)) {
      discard(o.fresh);
      o.fail(changed_meanwhile);
    } else if (copy_metadata(o.original, now, o.fresh)) {
      waiting.push_back(&o.fresh);
    } else {
      const int e = errno;
      discard(o.fresh);
      o.fail(with_errno("can't keep its owner, mode or attributes", e));
    }
  }
  if (!waiting.empty() && !make_durable(waiting)) {
    const int e = errno;
    for (auto& p : files) {
      if (p->v != state::pending) continue;
      discard(p->fresh);
      p->fail(with_errno("can't write", e));
    }
  }
  for (auto& p : files) {
    outcome& o = *p;
    if (o.v == state::pending) {
      if (!unchanged_since(o)) {
        discard(o.fresh);
        o.fail(changed_meanwhile);
      } else if (!put_in_place(o.fresh, o.base)) {
        const int e = errno;
        discard(o.fresh);
        o.fail(with_errno("can't rename", e));
      }
    }
    o.close_original();
    report->preface(o.preface);
    if (o.v == state::failed)
      report->failure(o.name, o.message);
    else if (o.v == state::changed)
      report->change(o.shown);
    else if (o.v == state::skipped && !o.message.empty())
      report->note(o.name, o.message);
    if (!o.kept.empty() && (o.v == state::unchanged || o.v == state::changed || o.v == state::pending))
      report->note(o.name, o.kept);
    if (!o.shown.empty()) report->output(o.shown);  // --show-settings
  }
  files.clear();
  report->flush(false);
}

// Looks up the file's .editorconfig properties and the settings they give,
// or leaves the file alone: when none applies, when its charset is UTF-16,
// when a kind of file would be broken by them, and, as a failure, when a
// .editorconfig that governs it is refused (said once, before the first such
// file).
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
    o.v = state::failed;  // the message said it all
    if (opt.show_settings) o.message = "left alone: " + who + " is refused";
    return;
  }
  std::string why;
  if (!settings_from(props, opt.cli, o.settings, why)) {
    o.v = state::skipped;
    o.message = why;
    if (opt.show_settings && why.empty()) o.message = "no settings; left alone";
    return;
  }
  const written w = o.settings.spaces_only == 1   ? written::spaces
                    : o.settings.indent_only == 1 ? written::tabs
                                                  : written::per_file;  // every blank kept: no tab added
  o.written_as = w;
  if (o.walked() && kept_out(kind_by_name(o.base), w)) {
    o.v = state::skipped;
    if (opt.show_settings) o.message = "skipped: its format needs its blanks";
  }
}

// A run over files: each file is located and given its settings here, in
// order, worked on by the jobs, and then, in order again, written beside
// itself (-i) and committed in batches that report it.
class file_run {
 public:
  explicit file_run(const file_options& opt)
      : opt_(opt),
        given_(settings_in_force(opt.trim)),
        limits_(limits_for(opt.jobs)),
        report_(opt.mode == file_mode::diff, opt.mode == file_mode::check ? opt.format : check_format::names),
        jobs_(opt.jobs, limits_.window),
        where_(opt.editorconfig) {
    if (opt.mode == file_mode::in_place) {
      install_cleanup();
      threaded_ = committer_.start();
    }
    batch_ = std::make_unique<file_batch>();
  }

  // A file from a walk or the command line, or what a directory operand
  // says; in the order of the run.
  outcome& add(std::string name) {
    auto o = std::make_unique<outcome>();
    o->opt = &opt_;
    o->name = std::move(name);
    o->settings = given_;
    coming_ = std::move(o);
    return *coming_;
  }
  // Locates the file added last, and hands it to the jobs.
  void take();
  // Only --check, --diff and --show-settings write to standard output, and
  // they commit on this thread.
  bool stopped() const { return !threaded_ && report_.output_lost(); }
  written walk_writes() const {
    return opt_.editorconfig ? written::per_file : given_.spaces_only == 1 ? written::spaces : written::tabs;
  }
  shared_dir open_root(const char* operand) const { return where_.open_root(operand); }
  int finish();

 private:
  void settle(std::unique_ptr<outcome> o);
  void commit_batch();

  const file_options& opt_;
  const file_settings given_;
  const job_limits limits_;
  reporter report_;
  job_runner jobs_;
  batch_committer committer_;
  bool threaded_ = false;  // batches commit on a thread of their own
  locator where_;
  ec_lookup lookup_;
  std::set<std::string> reported_;  // .editorconfig files refused, and said so
  // The files met so far, to convert each only once, by device and inode.
  std::set<std::pair<dev_t, ino_t>> seen_;
  std::unique_ptr<outcome> coming_;
  std::unique_ptr<file_batch> batch_;
  std::uint64_t pending_bytes_ = 0;
};

void file_run::take() {
  std::unique_ptr<outcome> o = std::move(coming_);
  if (stopped()) {
    o->v = state::skipped;
    o->message.clear();
  }
  if (o->v == state::to_do) {
    place at;
    std::string why;
    const found f = o->walked() ? where_.below(o->root, o->below, at, why) : where_.operand(o->name, at, why);
    if (f == found::yes) {
      o->dir = std::move(at.dir);
      o->base = std::move(at.base);
    } else if (f == found::gone) {
      o->v = state::skipped;
    } else {
      o->fail(why);
    }
  }
  if (o->v == state::to_do && opt_.editorconfig) choose_settings(*o, lookup_, reported_, opt_);
  jobs_.push(std::move(o));
  // What is done goes on, in order; a full window waits for its first.
  while (auto done = jobs_.pop(jobs_.full())) settle(std::unique_ptr<outcome>(static_cast<outcome*>(done.release())));
}

// What follows a file's work, in the order of the files: -i writes its
// conversion beside it.
void file_run::settle(std::unique_ptr<outcome> o) {
  if (stopped()) {
    o->v = state::skipped;
    o->message.clear();
    o->shown.clear();
  }
  if (o->opened && !seen_.insert({o->before.st_dev, o->before.st_ino}).second) {
    o->v = state::duplicate;
    o->message.clear();
    o->shown.clear();
  }
  if (o->v == state::to_write) {
    if (!create_beside(o->dir->fd, o->base, o->fresh)) {
      o->fail(with_errno("can't create a new file beside it", errno));
    } else if (!write_all(o->fresh.fd, reinterpret_cast<const unsigned char*>(o->text.view().data()), o->text.size())) {
      const int e = errno;
      discard(o->fresh);
      o->fail(with_errno("can't write", e));
    } else {
      seen_.insert({o->fresh.dev, o->fresh.ino});  // named again later, it is the same file
      o->v = state::pending;
      pending_bytes_ += static_cast<std::uint64_t>(o->before.st_size);
    }
    o->text.clear();
  }
  if (o->v != state::pending) o->close_original();
  batch_->files.push_back(std::move(o));
  if (batch_->files.size() >= limits_.batch_files || pending_bytes_ >= BATCH_BYTES ||
      (!threaded_ && pending_bytes_ == 0))
    commit_batch();
}

void file_run::commit_batch() {
  batch_->report = &report_;
  committer_.hand_over(std::move(batch_));
  batch_ = std::make_unique<file_batch>();
  pending_bytes_ = 0;
}

int file_run::finish() {
  while (auto done = jobs_.pop(true)) settle(std::unique_ptr<outcome>(static_cast<outcome*>(done.release())));
  commit_batch();
  committer_.finish();
  where_.release();
  release_forgotten();
  report_.close();
  return report_.status();
}

}  // namespace

namespace {

// Gives the file the lines it is to convert, as the change set has them.
void select_lines(outcome& o, line_selection lines) {
  o.some_lines = !(lines.size() == 1 && lines[0].first == EVERY_LINE.first && lines[0].last == EVERY_LINE.last);
  if (o.some_lines) o.lines = std::move(lines);
}

// The directory that holds the file operand, and its name there.
std::pair<std::string, std::string> split_operand(const std::string& operand) {
  const std::size_t slash = operand.rfind('/');
  if (slash == std::string::npos) return {".", operand};
  return {slash == 0 ? "/" : operand.substr(0, slash), operand.substr(slash + 1)};
}

}  // namespace

int run_files(std::span<char* const> operands, const file_options& opt) {
  file_run run(opt);
  const bool by_lines = opt.changed == only_changed::lines;
  std::map<std::string, change_set> changes_in;  // of the directories that hold file operands
  for (char* operand : operands) {
    if (run.stopped()) break;
    if (!is_directory(operand)) {
      if (opt.changed != only_changed::no) {
        const auto [parent, base] = split_operand(operand);
        auto it = changes_in.find(parent);
        if (it == changes_in.end()) {
          const int fd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
          change_set c;
          if (fd < 0)
            c.error = with_errno(("can't open " + parent).c_str(), errno);
          else
            c = changes_since(fd, opt.since, by_lines);
          if (fd >= 0) ::close(fd);
          it = changes_in.emplace(parent, std::move(c)).first;
        }
        if (!it->second.error.empty()) {
          run.add(operand).fail(it->second.error);
          run.take();
          continue;
        }
        const auto file = it->second.files.find(base);
        struct stat st;
        if (file == it->second.files.end() && ::lstat(operand, &st) == 0) continue;  // the same as it was
        outcome& o = run.add(operand);
        if (file != it->second.files.end()) select_lines(o, file->second);
        run.take();
        continue;
      }
      run.add(operand);
      run.take();
      continue;
    }
    const shared_dir root = run.open_root(operand);
    if (root == nullptr) {
      run.add(operand).fail(with_errno("can't open", errno));
      run.take();
      continue;
    }
    change_set changes;
    if (opt.changed != only_changed::no) {
      changes = changes_since(root->fd, opt.since, by_lines);
      if (!changes.error.empty()) {
        run.add(operand).fail(changes.error);
        run.take();
        continue;
      }
    }
    const written w = run.walk_writes();
    listing listed = list_directory(root->fd, opt.filters, w);
    for (std::string& below : listed.paths) {
      if (run.stopped()) break;
      const auto file = changes.files.find(below);
      if (opt.changed != only_changed::no && file == changes.files.end()) continue;
      outcome& o = run.add(joined_name(operand, below));
      o.root = root;
      o.below = std::move(below);
      o.written_as = w;
      if (by_lines) select_lines(o, std::move(file->second));
      run.take();
    }
    if (!listed.note.empty()) {
      outcome& o = run.add(operand);
      o.v = state::skipped;  // said, and nothing more
      o.message = listed.note + "; walked instead, ignored files included";
      run.take();
    }
    for (const std::string& error : listed.errors) {
      run.add(operand).fail(error);
      run.take();
    }
  }
  return run.finish();
}

}  // namespace morek
