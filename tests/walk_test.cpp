// Directory operands on real trees and git repositories: what a walk takes
// and leaves, in what order, a directory swapped for a link during a run,
// --diff output applied with patch and git apply, a buffer on standard
// input (--stdin-filename) converted as its file would be, and --check's
// formats read back by their readers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "needs.hpp"
#include "run_tool.hpp"
#include "test_support.hpp"

namespace fs = std::filesystem;

namespace {

// A scratch directory whose put() makes the directories above a file.
struct scratch : scratch_dir {
  void put(const std::string& name, const std::string& bytes) const { (void)write(name, bytes); }
};

// Runs a shell command in dir; true when it succeeds.
bool sh(const std::string& dir, const std::string& command) {
  const std::string full = "cd '" + dir + "' && (" + command + ") >/dev/null 2>&1";
  return std::system(full.c_str()) == 0;
}

const std::string git = "git -c user.name=t -c user.email=t@t -c protocol.file.allow=always";

// Files of every kind a walk meets. Those that 8 4 changes hold a tab
// before their first word (a makefile's recipe line keeps its blanks: the
// Makefile changes under no style).
void fill_tree(const scratch& s, const std::string& root) {
  s.put(root + "/a.c", "\tx\n");
  s.put(root + "/b.c", "x\n");
  s.put(root + "/name with space.c", "\tx\n");
  s.put(root + "/Makefile", "all:\n\techo  hi\n");
  s.put(root + "/conf.yml", "a:\n  b:\t1\n");
  s.put(root + "/conf.yaml", "a:\n        b:\t1\n");
  s.put(root + "/data.tsv", "\ta\tb\n");
  s.put(root + "/fix.patch", " ctx  \n-\told\n+\tnew\n");
  s.put(root + "/old.diff", "\tx\n");
  s.put(root + "/bin.c", std::string("\tx\0\n", 4));
  s.put(root + "/utf16.c", "\xff\xfe\tx\n");
  s.put(root + "/long.c", "\tx\n" + std::string(600, 'x') + "\n");
  s.put(root + "/sub/c.c", "\tx\n");
  s.put(root + "/sub/deep/d.c", "\tx\n");
  s.put(root + "/nested/n.c", "\tx\n");
  // What tools write and fetch, left out unless --all-files.
  for (const char* generated : {"package-lock.json", "app.min.js", "node_modules/m.c", ".venv/p.c",
                                "vendor/v.c", "rust/target/t.c", "Cargo.lock"})
    s.put(root + "/" + generated, "\tx\n");
  s.put(root + "/vendor/modules.txt", "x\n");
  s.put(root + "/rust/Cargo.toml", "x\n");
  s.put(root + "/target/kept.c", "\tx\n");  // no Cargo.toml beside it: an ordinary directory
  fs::create_symlink("a.c", s.path(root + "/link.c"));
  fs::create_symlink("sub", s.path(root + "/linkdir"));
}

struct walk_case {
  const char* name;
  std::vector<std::string> args;  // the operands follow
  std::vector<std::string> operands;
  std::string git_out;    // in the git work tree
  std::string plain_out;  // in the same tree, not under git
  std::string err;        // both
  int status;
};
void PrintTo(const walk_case& c, std::ostream* os) { *os << c.name; }

class Walk : public testing::TestWithParam<walk_case> {
 protected:
  // One git work tree and one plain tree, for all the cases.
  static void SetUpTestSuite() {
    trees = new scratch;
    fill_tree(*trees, "git");
    fill_tree(*trees, "plain");
    for (const char* vcs : {".git", ".hg", ".svn"}) trees->put(std::string("plain/") + vcs + "/e.c", "\tx\n");
    trees->put("plain/nested/.git/HEAD", "\tx\n");
    const std::string g = trees->path("git");
    trees->put("git/.gitignore", "ignored.c\n");
    trees->put("git/ignored.c", "\tx\n");
    trees->put("git/gone.c", "\tx\n");
    trees->put("subrepo/s.c", "\tx\n");
    ok = sh(trees->path("subrepo"), "git init -q && " + git + " add . && " + git + " commit -qm s") &&
         sh(g + "/nested", "git init -q") &&
         sh(g, "git init -q && " + git + " add -- a.c b.c Makefile conf.yml conf.yaml sub gone.c .gitignore && " + git +
                   " submodule -q add ../subrepo sm && " + git + " commit -qm t && rm gone.c");
  }
  static void TearDownTestSuite() { delete trees; }
  static scratch* trees;
  static bool ok;
};
scratch* Walk::trees = nullptr;
bool Walk::ok = false;

TEST_P(Walk, TakesWhatItShould) {
  ASSERT_TRUE(ok) << "the git repositories could not be made";
  const walk_case& c = GetParam();
  for (const char* tree : {"git", "plain"}) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), c.operands.begin(), c.operands.end());
    run_options opt;
    const std::string cwd = trees->path(tree);
    opt.cwd = cwd.c_str();
    const tool_result r = run_tool_with(args, opt);
    EXPECT_EQ(r.out, std::string(tree) == "git" ? c.git_out : c.plain_out) << tree;
    EXPECT_EQ(r.err, c.err) << tree;
    EXPECT_EQ(r.status, c.status) << tree;
  }
}


const walk_case walk_cases[] = {
    {"everything_in_byte_order",
     {"--check", "8", "4"},
     {"."},
     ".gitmodules\na.c\nlong.c\nname with space.c\nsub/c.c\nsub/deep/d.c\ntarget/kept.c\n",
     "a.c\nlong.c\nname with space.c\nnested/n.c\nsub/c.c\nsub/deep/d.c\ntarget/kept.c\n",
     "",
     1},
    {"untracked_files_too",
     {"--check", "--include=*.c", "8", "4"},
     {"."},
     "a.c\nlong.c\nname with space.c\nsub/c.c\nsub/deep/d.c\ntarget/kept.c\n",
     "a.c\nlong.c\nname with space.c\nnested/n.c\nsub/c.c\nsub/deep/d.c\ntarget/kept.c\n",
     "",
     1},
    {"exclude_by_name_and_path",
     {"--check", "--exclude=a.c", "--exclude=sub/deep/*", "8", "4"},
     {"."},
     ".gitmodules\nlong.c\nname with space.c\nsub/c.c\ntarget/kept.c\n",
     "long.c\nname with space.c\nnested/n.c\nsub/c.c\ntarget/kept.c\n",
     "",
     1},
    {"exclude_dir",
     {"--check", "--exclude-dir=deep", "--exclude-dir=nested", "--exclude=long.c", "8", "4"},
     {"."},
     ".gitmodules\na.c\nname with space.c\nsub/c.c\ntarget/kept.c\n",
     "a.c\nname with space.c\nsub/c.c\ntarget/kept.c\n",
     "",
     1},
    {"exclude_dir_with_the_slash_completion_writes",
     {"--check", "--exclude-dir=deep/", "--exclude-dir=nested//", "--exclude=long.c", "8", "4"},
     {"."},
     ".gitmodules\na.c\nname with space.c\nsub/c.c\ntarget/kept.c\n",
     "a.c\nname with space.c\nsub/c.c\ntarget/kept.c\n",
     "",
     1},
    {"all_files_takes_what_tools_write",
     {"--check", "--all-files", "--exclude-dir=sub", "--exclude=*.c", "8", "4"},
     {"."},
     ".gitmodules\nCargo.lock\napp.min.js\npackage-lock.json\n",
     "Cargo.lock\napp.min.js\npackage-lock.json\n",
     "",
     1},
    {"all_files_enters_fetched_directories",
     {"--check", "--all-files", "--include=?.c", "8", "4"},
     {"."},
     ".venv/p.c\na.c\nnode_modules/m.c\nrust/target/t.c\nsub/c.c\nsub/deep/d.c\nvendor/v.c\n",
     ".venv/p.c\na.c\nnested/n.c\nnode_modules/m.c\nrust/target/t.c\nsub/c.c\nsub/deep/d.c\nvendor/v.c\n",
     "",
     1},
    {"a_subdirectory_named_from_above",
     {"--check", "8", "4"},
     {"sub", "sub/deep/"},
     "sub/c.c\nsub/deep/d.c\n",
     "sub/c.c\nsub/deep/d.c\n",
     "",
     1},
    {"spaces_leave_makefiles",
     {"--check", "--spaces", "8"},
     {"."},
     ".gitmodules\na.c\nconf.yaml\nconf.yml\nlong.c\nname with space.c\nsub/c.c\nsub/deep/d.c\ntarget/kept.c\n",
     "a.c\nconf.yaml\nconf.yml\nlong.c\nname with space.c\nnested/n.c\nsub/c.c\nsub/deep/d.c\ntarget/kept.c\n",
     "",
     1},
    {"files_named_directly_are_as_before",
     {"--check", "8", "4"},
     {"bin.c", "link.c", "fix.patch", "data.tsv"},
     "link.c\nfix.patch\ndata.tsv\n",
     "link.c\nfix.patch\ndata.tsv\n",
     "bin.c: holds a NUL byte; left as it is\n",
     2},
    {"named_twice_is_converted_once",
     {"--check", "8", "4"},
     {"sub", ".", "sub/c.c"},
     "sub/c.c\nsub/deep/d.c\n.gitmodules\na.c\nlong.c\nname with space.c\ntarget/kept.c\n",
     "sub/c.c\nsub/deep/d.c\na.c\nlong.c\nname with space.c\nnested/n.c\ntarget/kept.c\n",
     "",
     1},
};
INSTANTIATE_TEST_SUITE_P(Table, Walk, testing::ValuesIn(walk_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WalkSwaps, DirectorySwappedForALinkLeadsNowhere) {
  // While a large file early in the walk converts, a directory later in it
  // becomes a link to one outside the tree. One file at a time, the walk
  // reaches it after the swap; with jobs, it may have reached it before,
  // and then converts the file in the directory it opened, renamed.
  for (const char* jobs : {"-j1", "-j2"}) {
    scratch s;
    std::string same;
    while (same.size() < (48u << 20)) same += "int x = 1;\n";
    s.put("tree/a/big.c", same + "\tx\n");
    s.put("tree/b/x.c", "\tx\n");
    s.put("outside/x.c", "\tx\n");
    const pid_t pid = start_tool({jobs, "-i", "8", "4", s.path("tree")}, "/dev/null", "/dev/null", s.path("err"));
    const bool opened = wait_for([&] { return has_open(pid, s.path("tree/a/big.c")); });
    fs::rename(s.path("tree/b"), s.path("b.real"));
    fs::create_directory_symlink(s.path("outside"), s.path("tree/b"));
    const int status = wait_tool(pid);
    ASSERT_TRUE(opened);
    EXPECT_EQ(read_file(s.path("outside/x.c")), "\tx\n") << "a file outside the tree changed";
    EXPECT_EQ(std::distance(fs::directory_iterator(s.path("outside")), fs::directory_iterator()), 1);
    const bool reached_before = std::string(jobs) != "-j1" && status == 0;
    EXPECT_EQ(read_file(s.path("b.real/x.c")), reached_before ? "\t\tx\n" : "\tx\n") << jobs;
    EXPECT_EQ(read_file(s.path("err")), reached_before ? "" : s.path("tree/b/x.c") + ": can't open: Not a directory\n")
        << jobs;
    EXPECT_EQ(status, reached_before ? 0 : 2) << jobs;
  }
}

// ---- trees that someone else wrote ------------------------------------

const bool root = geteuid() == 0;

// Runs the tool through the shell in dir, with env (assignments, or a
// command such as setpriv) before it.
tool_result run_in(const scratch& s, const std::string& dir, const std::string& env, const std::string& args) {
  const std::string command = "cd '" + s.path(dir) + "' && " + env + " '" + tool_path() + "' " + args + " >'" +
                              s.path("out") + "' 2>'" + s.path("err") + "'";
  const int st = std::system(command.c_str());
  return {read_file(s.path("out")), read_file(s.path("err")), WIFEXITED(st) ? WEXITSTATUS(st) : -1};
}

const std::string as_nobody_env = "setpriv --reuid=65534 --regid=65534 --clear-groups";

#if defined(MOREK_EMULATED)
constexpr bool emulated = true;
#else
constexpr bool emulated = false;
#endif
// A bound on a run that must end: its memory where it can be limited (not
// under the sanitizers, which reserve more, nor under an emulator, on which
// the limit falls), else its time.
const std::string bounded = sanitized || emulated ? "timeout 60 " : "ulimit -v 2000000 && ";

// A git repository at dir holding a.c (tracked, 8 4 changes it), with
// .gitignore naming ignored.c, which is there too.
bool git_repo(const scratch& s, const std::string& dir) {
  s.put(dir + "/a.c", "\tx\n");
  s.put(dir + "/.gitignore", "ignored.c\n");
  s.put(dir + "/ignored.c", "\tx\n");
  return sh(s.path(dir), "git init -q && " + git + " add a.c .gitignore && " + git + " commit -qm t");
}

// A 20,000-level tree made by descriptors, each level "d", with f.c at the
// bottom, and its removal, level by level from the top, since no path
// reaches that deep.
constexpr int deep_levels = 20000;

bool make_deep(const std::string& top, const char* text = "\tx\n", int levels = deep_levels) {
  ::mkdir(top.c_str(), 0755);
  int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY);
  for (int i = 0; i < levels && fd >= 0; ++i) {
    ::mkdirat(fd, "d", 0755);
    const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
    ::close(fd);
    fd = next;
  }
  const int f = fd < 0 ? -1 : ::openat(fd, "f.c", O_WRONLY | O_CREAT, 0644);
  const auto len = static_cast<ssize_t>(std::strlen(text));
  const bool ok = f >= 0 && ::write(f, text, static_cast<std::size_t>(len)) == len;
  if (f >= 0) ::close(f);
  if (fd >= 0) ::close(fd);
  return ok;
}

void remove_deep(const std::string& top) {
  const int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  // The level below the first moves up to take its place.
  while (::renameat(fd, "d/d", fd, "up") == 0) {
    ::unlinkat(fd, "d", AT_REMOVEDIR);
    ::renameat(fd, "up", fd, "d");
  }
  ::unlinkat(fd, "d/f.c", 0);
  ::unlinkat(fd, "d", AT_REMOVEDIR);
  ::close(fd);
}

struct hostile_case {
  const char* name;
  std::function<bool(const scratch&)> make;  // false: the tree could not be made
  std::string dir;                           // where the tool runs
  std::string env;
  std::string args;
  std::string err_has;                              // a part of standard error
  int status;
  std::function<bool(const scratch&)> unharmed;     // nothing outside was touched, nothing ran
  bool needs_root = false;
  std::function<void(const scratch&)> clean_up = nullptr;
  const system_feature* needs = nullptr;  // what the system must offer; the name ends in "_needs_" and its name
};
void PrintTo(const hostile_case& c, std::ostream* os) { *os << c.name; }

class HostileTree : public testing::TestWithParam<hostile_case> {};

TEST_P(HostileTree, IsRefusedOrWalkedSafely) {
  const hostile_case& c = GetParam();
  if (c.needs_root && !root) GTEST_SKIP() << "needs root, for other users";
  if (c.needs != nullptr) {
    MOREK_NEEDS(*c.needs);
  }
  scratch s;
  ASSERT_TRUE(c.make(s)) << "the tree could not be made";
  const tool_result r = run_in(s, c.dir, c.env, c.args);
  // Line by line: a walk meets a folder's entries in the order the file
  // system keeps them, which differs between file systems.
  for (std::size_t at = 0; at < c.err_has.size();) {
    const std::size_t end = c.err_has.find('\n', at);
    const std::string line = c.err_has.substr(at, end == std::string::npos ? std::string::npos : end + 1 - at);
    EXPECT_NE(r.err.find(line), std::string::npos) << r.err;
    at = end == std::string::npos ? c.err_has.size() : end + 1;
  }
  EXPECT_EQ(r.status, c.status) << r.err;
  if (c.unharmed) {
    EXPECT_TRUE(c.unharmed(s)) << r.err;
  }
  if (c.clean_up) c.clean_up(s);
}

// A repository at dir whose a.c changed in its second line since it was
// committed, and a script, evil, that leaves the file ran when something runs
// it (and passes its input on, as a filter would).
bool changed_repo(const scratch& s, const std::string& dir) {
  s.put("evil", "#!/bin/sh\ntouch '" + s.path("ran") + "'\ncat\n");
  if (!git_repo(s, dir) || ::chmod(s.path("evil").c_str(), 0755) != 0) return false;
  s.put(dir + "/a.c", "\tx\n\ty\n");
  return true;
}

// The same, with git's configuration (and attributes) set to run evil.
std::function<bool(const scratch&)> changed_repo_with(const std::string& config, const std::string& attributes = "") {
  return [config, attributes](const scratch& s) {
    if (!changed_repo(s, "tree")) return false;
    if (!attributes.empty()) s.put("tree/.git/info/attributes", attributes);
    std::string command;
    for (std::size_t at = 0; at < config.size();) {
      std::size_t end = config.find(' ', at);
      if (end == std::string::npos) end = config.size();
      command += "git config " + config.substr(at, end - at) + " '" + s.path("evil") + "' && ";
      at = end + 1;
    }
    return sh(s.path("tree"), command + "true");
  };
}

bool nothing_ran(const scratch& s) { return !fs::exists(s.path("ran")) && read_file(s.path("out")) == "a.c\n"; }

const hostile_case hostile_cases[] = {
    // What git's diff would run for --changed and --changed-lines: each
    // setting names the script, which must not run.
    {"changed_lines_no_external_diff", changed_repo_with("diff.external"), "tree", "",
     "--check --changed-lines 8 4 .", "", 1, nothing_ran},
    {"changed_lines_no_external_diff_from_the_environment", changed_repo_with(""), "tree",
     "GIT_EXTERNAL_DIFF=../evil", "--check --changed-lines 8 4 .", "", 1, nothing_ran},
    {"changed_lines_no_diff_driver_command", changed_repo_with("diff.drv.command", "*.c diff=drv\n"), "tree", "",
     "--check --changed-lines 8 4 .", "", 1, nothing_ran},
    {"changed_lines_no_text_conversion", changed_repo_with("diff.drv.textconv", "*.c diff=drv\n"), "tree", "",
     "--check --changed-lines 8 4 .", "", 1, nothing_ran},
    {"changed_lines_no_clean_filter", changed_repo_with("filter.f.clean filter.f.smudge", "*.c filter=f\n"),
     "tree", "", "--check --changed-lines 8 4 .", "", 1, nothing_ran},
    {"changed_no_required_filter_process",
     [](const scratch& s) {
       return changed_repo_with("filter.f.process", "*.c filter=f\n")(s) &&
              sh(s.path("tree"), "git config filter.f.required true");
     },
     "tree", "", "--check --changed 8 4 .", "", 1, nothing_ran},
    {"changed_lines_no_fsmonitor", changed_repo_with("core.fsmonitor"), "tree", "",
     "--check --changed-lines 8 4 .", "", 1, nothing_ran},
    {"changed_lines_no_pager", changed_repo_with("core.pager pager.diff"), "tree", "GIT_PAGER=../evil PAGER=../evil",
     "--check --changed-lines 8 4 .", "", 1, nothing_ran},
    {"changed_lines_no_hooks",
     [](const scratch& s) {
       return changed_repo(s, "tree") && sh(s.path("tree"), "mkdir -p .git/hooks && cp ../evil .git/hooks/post-index-change");
     },
     "tree", "", "--check --changed-lines 8 4 .", "", 1, nothing_ran},
    {"changed_lines_git_inside_the_tree_is_not_run",
     [](const scratch& s) { return changed_repo(s, "tree") && sh(s.path("tree"), "cp ../evil git"); },
     ".", "PATH=.:/usr/bin:/bin", "--check --changed-lines 8 4 tree/a.c tree", "", 1,
     [](const scratch& s) {
       return !fs::exists(s.path("ran")) && read_file(s.path("out")) == "tree/a.c\n";
     }},
    {"changed_a_revision_that_is_not_one_is_named",
     [](const scratch& s) { return changed_repo(s, "tree"); },
     "tree", "", "--check --changed=no-such-branch 8 4 . a.c",
     ".: no-such-branch: no such revision\na.c: no-such-branch: no such revision\n", 2, nullptr},
    {"changed_lines_a_revision_like_an_option_is_a_revision",
     [](const scratch& s) { return changed_repo(s, "tree"); },
     "tree", "", "--check --changed-lines=--output=../written 8 4 .", ".: --output=../written: no such revision\n", 2,
     [](const scratch& s) { return !fs::exists(s.path("written")); }},
    {"changed_outside_a_work_tree_fails",
     [](const scratch& s) {
       s.put("tree/a.c", "\tx\n");
       return true;
     },
     "tree", "", "--check --changed 8 4 .", ".: not in a git work tree\n", 2, nullptr},
    {"dot_dot_in_gits_index",
     [](const scratch& s) {
       s.put("outside/victim.c", "\tx\n");
       // An index whose one entry is ../outside/victim.c, with its checksum.
       return git_repo(s, "tree") &&
              sh(s.path("tree"),
                 "python3 -c \"import hashlib,struct;d=open('.git/index','rb').read();n=b'../outside/victim.c';"
                 "e=d[12:72]+struct.pack('>H',len(n))+n;e+=bytes(8-len(e)%8);"
                 "b=b'DIRC'+struct.pack('>II',2,1)+e;open('.git/index','wb').write(b+hashlib.sha1(b).digest())\"");
     },
     ".", "", "-i 8 4 tree", "tree: git lists a path outside it; refused: ../outside/victim.c\n", 2,
     [](const scratch& s) { return read_file(s.path("outside/victim.c")) == "\tx\n"; }},
    {"partial_clone_never_fetches",
     [](const scratch& s) {
       // .gitignore is left out of the checkout, and its blob was never fetched:
       // git would fetch it to know what is ignored, by the command the
       // repository's configuration names.
       return git_repo(s, "src") && sh(s.path("src"), "git config uploadpack.allowFilter true") &&
              sh(s.dir, "git clone -q --no-checkout --filter=blob:none file://" + s.path("src") + " dst") &&
              sh(s.path("dst"), "git sparse-checkout set --no-cone /a.c && git checkout -q && "
                                "git config remote.origin.uploadpack 'touch ../ran; git-upload-pack' && "
                                "printf 'x\\n' > ignored.c");
     },
     "dst", "", "--check 8 4 .", "walked instead, ignored files included", 1,
     [](const scratch& s) { return !fs::exists(s.path("ran")); }},
    {"git_inside_the_tree_is_not_run",
     [](const scratch& s) {
       s.put("tree/a.c", "\tx\n");
       s.put("tree/git", "#!/bin/sh\ntouch ../ran\n");
       return ::chmod(s.path("tree/git").c_str(), 0755) == 0;
     },
     ".", "PATH=.:/usr/bin:/bin", "--check 8 4 tree", "", 1,
     [](const scratch& s) { return !fs::exists(s.path("ran")); }},
    {"git_dir_in_the_environment_is_not_gits",
     [](const scratch& s) {
       s.put("tree/.gitignore", "ignored.c\n");
       s.put("tree/sub/ignored.c", "\tx\n");
       s.put("tree/sub/b.c", "x\n");
       return sh(s.path("tree"), "git init -q && " + git + " add . && " + git + " commit -qm t");
     },
     ".", "GIT_DIR=\"$PWD/tree/.git\" GIT_WORK_TREE=\"$PWD/tree/sub\"", "--check 8 4 tree/sub", "", 0, nullptr},
    {"fifo_named_gitignore_is_waited_for_a_bounded_time",
     [](const scratch& s) { return git_repo(s, "tree") && sh(s.path("tree"), "rm .gitignore && mkfifo .gitignore"); },
     "tree", "MOREK_GIT_TIMEOUT=1", "--check 8 4 .", ".: git did not list it within 1 s", 2, nullptr},
    {"what_git_cannot_read_is_a_failure",
     [](const scratch& s) {
       s.put("tree/secret/b.c", "\tx\n");
       return git_repo(s, "tree") && sh(s.dir, "chmod 755 . && chown -R 65534:65534 tree && chown 0:0 tree/secret && "
                                                "chmod 700 tree/secret");
     },
     "tree", as_nobody_env, "--check 8 4 .", ".: can't read all of it: git: warning: could not open directory", 2,
     nullptr, true},
    {"each_unreadable_directory_is_named",
     [](const scratch& s) {
       s.put("tree/a.c", "\tx\n");
       s.put("tree/one/b.c", "\tx\n");
       s.put("tree/two/c.c", "\tx\n");
       return sh(s.dir, "chown -R 65534:65534 tree && chown 0:0 tree/one tree/two && chmod 700 tree/one tree/two");
     },
     "tree", as_nobody_env + " env PATH=/nonexistent",
     "--check 8 4 .",
     ".: can't read all of it: one: Permission denied\n.: can't read all of it: two: Permission denied\n", 2,
     nullptr, true},
    {"walking_instead_of_git_is_said",
     [](const scratch& s) { return git_repo(s, "tree"); },
     "tree", "PATH=/nonexistent", "--check 8 4 .", ".: git not found; walked instead, ignored files included\n", 1,
     nullptr},
    {"editorconfig_lookup_from_below_an_unsearchable_directory_ends",
     [](const scratch& s) {
       s.put("locked/work/sub/a.c", "\tx\n");
       s.put("locked/work/.editorconfig", "[*]\nindent_style = tab\n");  // not the root: the lookup climbs
       return sh(s.dir, "chmod 755 . && chown -R 65534:65534 locked/work && chmod 700 locked");
     },
     "locked/work", bounded + as_nobody_env, "--check --editorconfig sub/a.c",
     "/locked/.editorconfig: Permission denied\n", 2, nullptr, true},
    {"names_with_control_characters_are_quoted",
     [](const scratch& s) {
       s.put("tree/evil\netc/hosts", "\tx\n");
       s.put("tree/tab\there.c", "\tx\n");
       return true;
     },
     "tree", "", "--check 8 4 .", "", 1,
     [](const scratch& s) { return read_file(s.path("out")) == "\"evil\\netc/hosts\"\n\"tab\\there.c\"\n"; }},
    {"editorconfig_globs_that_cost_too_much_leave_their_files_alone",
     [](const scratch& s) {
       // Sections of a thousand different alternatives: every byte of a path
       // visits thousands of states in each.
       std::string alternatives;
       for (char a = 'a'; a <= 'z'; ++a)
         for (char b = 'a'; b <= 'z'; ++b) alternatives += std::string("*") + a + b + ",";
       std::string text = "root = true\n";
       for (int k = 0; k < 100; ++k) text += "[{" + alternatives + "*}x]\nindent_style = tab\n";
       s.put("tree/.editorconfig", text);
       s.put("tree/some/directories/down/a_file_with_a_longer_name.c", "\tx\n");
       return true;
     },
     "tree", "", "--check --editorconfig some/directories/down/a_file_with_a_longer_name.c",
     "a_file_with_a_longer_name.c: matching the globs of ", 2,
     [](const scratch& s) {
       return read_file(s.path("err")).find("/tree/.editorconfig against its path costs too much; left as it is\n") !=
              std::string::npos;
     }},
    {"editorconfig_below_an_unsearchable_directory_is_read",
     [](const scratch& s) {
       s.put("locked/work/sub/a.c", "        x\n");
       s.put("locked/work/.editorconfig", "root = true\n[*]\nindent_style = tab\n");
       return sh(s.dir, "chmod 755 . && chown -R 65534:65534 locked/work && chmod 700 locked");
     },
     "locked/work", as_nobody_env, "--check --editorconfig sub/a.c", "", 1,
     [](const scratch& s) { return read_file(s.path("out")) == "sub/a.c\n"; }, true},
    {"editorconfig_below_an_unsearchable_directory_is_read_through_dot_dot",
     [](const scratch& s) {
       s.put("locked/work/sub/a.c", "        x\n");
       s.put("locked/work/.editorconfig", "root = true\n[*]\nindent_style = tab\n");
       return sh(s.dir, "chmod 755 . && chown -R 65534:65534 locked/work && chmod 700 locked");
     },
     "locked/work/sub", as_nobody_env, "--check --editorconfig ../sub/./a.c", "", 1,
     [](const scratch& s) { return read_file(s.path("out")) == "../sub/./a.c\n"; }, true},
    {"editorconfig_below_an_unsearchable_directory_is_read_through_a_link_needs_proc",
     [](const scratch& s) {
       s.put("locked/work/sub/a.c", "        x\n");
       s.put("locked/work/.editorconfig", "root = true\n[*]\nindent_style = tab\n");
       return sh(s.dir, "ln -s sub locked/work/link && chmod 755 . && chown -R 65534:65534 locked/work && "
                        "chmod 700 locked");
     },
     "locked/work", as_nobody_env, "--check --editorconfig link/a.c", "", 1,
     [](const scratch& s) { return read_file(s.path("out")) == "link/a.c\n"; }, true, nullptr, &proc_paths},
    {"git_that_cannot_start_is_walked_instead",
     [](const scratch& s) {
       s.put("bin/git", "#!/nonexistent/interpreter\n");
       return git_repo(s, "tree") && sh(s.dir, "chmod 755 bin/git");
     },
     "tree", "PATH=../bin", "--check 8 4 .",
     // Under qemu-user the emulated vfork is a fork, so the failed exec comes
     // back as the child's status 127 instead of its errno.
     emulated ? ".: git failed; walked instead, ignored files included\n"
              : ".: can't run git: No such file or directory; walked instead, ignored files included\n",
     1,
     [](const scratch& s) { return read_file(s.path("out")) == "a.c\nignored.c\n"; }},
    {"editorconfig_deeper_than_path_max_is_read",
     [](const scratch& s) {
       // Past PATH_MAX, with a path of 2,100 levels of "d/".
       s.put("tree/.editorconfig", "root = true\n[*.c]\nindent_style = tab\n");
       return make_deep(s.path("tree"), "        x\n", 2100);
     },
     "tree", "", "--check --editorconfig .", "", 1,
     [](const scratch& s) { return read_file(s.path("out")).size() == 2 * 2100 + 4; }, false,
     [](const scratch& s) { remove_deep(s.path("tree")); }},
    {"twenty_thousand_levels_with_sixteen_descriptors",
     [](const scratch& s) { return make_deep(s.path("tree")); }, "tree", "ulimit -n 16 &&", "--check 8 4 .", "", 1,
     [](const scratch& s) { return read_file(s.path("out")).size() == 2 * deep_levels + 4; }, false,
     [](const scratch& s) { remove_deep(s.path("tree")); }},
};
INSTANTIATE_TEST_SUITE_P(Table, HostileTree, testing::ValuesIn(hostile_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Random files of lines that the conversion changes here and there: CR LF
// and LF, last lines with and without a line end, changes close together and
// far apart.
std::string random_file(rng& r) {
  static const char* const lines[] = {"x = 1;", "\tx = 1;", "  \ty;", "z  ", "", "\t", "a    b", "// c\t d"};
  std::string text;
  const int n = r.below(40);
  for (int i = 0; i < n; ++i) {
    text += r.below(3) == 0 ? lines[r.below(8)] : "same";
    if (i + 1 < n || r.below(3) != 0) text += r.below(4) == 0 ? "\r\n" : "\n";
  }
  return text;
}

// ---- --changed-lines, held to git's own diff ------------------------

// The lines of its new side that git diff -U0 from ref adds, by file.
std::map<std::string, std::set<int>> added_by_git(const scratch& s, const std::string& dir, const std::string& ref) {
  std::map<std::string, std::set<int>> added;
  if (!sh(s.path(dir), "git diff -U0 -M --no-color " + ref + " > ../git.diff")) return added;
  std::istringstream in(read_file(s.path("git.diff")));
  std::string line, file;
  while (std::getline(in, line)) {
    if (line.starts_with("+++ ")) file = line.substr(6);
    if (!line.starts_with("@@ ")) continue;
    const std::size_t plus = line.find(" +");
    const int first = std::atoi(line.c_str() + plus + 2);
    const std::size_t comma = line.find(',', plus);
    const std::size_t end = line.find(" @@", plus);
    const int count = comma < end ? std::atoi(line.c_str() + comma + 1) : 1;
    for (int k = first; k < first + count; ++k) added[file].insert(k);
  }
  return added;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    end = end == std::string::npos ? text.size() : end + 1;
    lines.push_back(text.substr(at, end - at));
    at = end;
  }
  return lines;
}

TEST(ChangedLines, ConvertsExactlyTheLinesGitSaysChanged) {
  // A repository of random files, changed in a second commit and again in
  // the work tree: lines replaced, added and taken away, a file new since the
  // first commit, one renamed and changed, one deleted, one untracked, one
  // binary. Each line that git's diff from the revision adds is what the
  // whole file's conversion makes of it; every other line is as it was.
  for (int seed = 0; seed < 3; ++seed) {
    scratch s;
    rng r{0xc4a6ed00ULL + static_cast<unsigned>(seed)};
    const std::string g = s.path("w");
    for (int i = 0; i < 10; ++i) s.put("w/f" + std::to_string(i) + ".c", random_file(r));
    s.put("w/bin.c", std::string("\tx\0\n", 4));
    ASSERT_TRUE(sh(g, "git init -q && " + git + " add . && " + git + " commit -qm one"));
    auto change = [&](const std::string& name) {
      std::vector<std::string> lines = lines_of(read_file(s.path("w/" + name)));
      for (int n = r.below(4); n > 0; --n) {
        const std::size_t at = lines.empty() ? 0 : static_cast<std::size_t>(r.below(static_cast<int>(lines.size())));
        const int what = r.below(3);
        if (what == 0 && !lines.empty()) lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(at));
        else if (what == 1 && !lines.empty()) lines[at] = "\t changed  \t" + std::to_string(n) + "\n";
        else lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), "  \tadded\t" + std::to_string(n) + "\n");
      }
      std::string text;
      for (const std::string& l : lines) text += l;
      s.put("w/" + name, text);
    };
    for (int i = 0; i < 10; i += 2) change("f" + std::to_string(i) + ".c");
    std::string fresh;  // like no other file, for no rename to be found
    for (int k = 0; k < 12; ++k) fresh += (k % 3 == 0 ? "\tfresh " : "fresh  ") + std::to_string(k) + "\n";
    s.put("w/added.c", fresh);
    ASSERT_TRUE(sh(g, git + " add -A && " + git + " commit -qm two"));
    for (int i = 1; i < 10; i += 3) change("f" + std::to_string(i) + ".c");
    s.put("w/bin.c", std::string("\tx\0\n\ty\n", 7));
    ASSERT_TRUE(sh(g, "git mv f9.c moved.c && rm f8.c"));
    change("moved.c");
    s.put("w/untracked.c", "\tnew\n  \tnew\n");
    for (const char* ref : {"HEAD~1", "HEAD"}) {
      const std::map<std::string, std::set<int>> said = added_by_git(s, "w", ref);
      ASSERT_FALSE(said.empty()) << ref;
      ASSERT_TRUE(sh(s.dir, "rm -rf whole one four && cp -a w whole && cp -a w one && cp -a w four"));
      ASSERT_EQ(run_in(s, "whole", "", "-i 8 4 .").status, 0);
      const std::string changed = std::string("--changed-lines=") + ref;
      const tool_result one = run_in(s, "one", "", "-j 1 -i " + changed + " 8 4 .");
      EXPECT_EQ(one.status, 0) << one.err;
      EXPECT_EQ(run_in(s, "four", "", "-j 4 -i " + changed + " 8 4 .").status, 0);
      for (const char* mode : {"--check", "--diff"}) {
        const tool_result a = run_in(s, "w", "", std::string("-j 1 ") + mode + " " + changed + " 8 4 .");
        const tool_result b = run_in(s, "w", "", std::string("-j 4 ") + mode + " " + changed + " 8 4 .");
        EXPECT_EQ(a.status, 1) << mode << ref << a.err;
        EXPECT_EQ(a.out, b.out) << mode << ref;
        EXPECT_EQ(a.err, b.err) << mode << ref;
      }
      for (const auto& e : fs::directory_iterator(g)) {
        if (!e.is_regular_file()) continue;
        const std::string name = e.path().filename().string();
        const std::vector<std::string> before = lines_of(read_file(e.path().string()));
        const std::vector<std::string> whole = lines_of(read_file(s.path("whole/" + name)));
        const std::string got = read_file(s.path("one/" + name));
        EXPECT_TRUE(got == read_file(s.path("four/" + name))) << name << ": -j 1 and -j 4 differ";
        ASSERT_EQ(before.size(), whole.size()) << name;
        std::string want;
        const auto it = name == "untracked.c" ? said.end() : said.find(name);
        for (std::size_t k = 0; k < before.size(); ++k) {
          const bool added = name == "untracked.c" || (it != said.end() && it->second.count(static_cast<int>(k + 1)) > 0);
          want += added && name != "bin.c" ? whole[k] : before[k];
        }
        EXPECT_TRUE(got == want) << ref << " " << name << "\n" << got << "--- want\n" << want;
      }
      // And git agrees: what differs from the revision now are lines it said.
      for (const auto& [name, lines] : added_by_git(s, "one", ref))
        for (int k : lines) EXPECT_EQ(said.count(name) == 1 ? said.at(name).count(k) : 0u, 1u) << ref << " " << name << ":" << k;
    }
  }
}

// Where the lexer gives up, the rest of the file is kept, with a note; under
// --changed-lines, only where a changed line lies in that rest.
TEST(ChangedLines, NoteTheKeptRestOnlyWhereAChangedLineLiesInIt) {
  scratch s;
  s.put("w/a.js", "\ty  = 1;\n\tx = f(/a  b\n\tz  = 2;\n");
  ASSERT_TRUE(sh(s.path("w"), "git init -q && " + git + " add . && " + git + " commit -qm one"));
  const std::string note = "a.js: line 2: its literals cannot be told apart from here; the rest is kept as it is\n";
  const struct {
    const char* text;
    const char* err;
  } cases[] = {
      {"\ty   = 1;\n\tx = f(/a  b\n\tz  = 2;\n", ""},
      {"\ty  = 1;\n\tx = f(/a  b\n\tz   = 2;\n", note.c_str()},
      {"\ty  = 1;\n\tx = f(/a   b\n\tz  = 2;\n", note.c_str()},
  };
  for (const auto& c : cases) {
    s.put("w/a.js", c.text);
    const tool_result r = run_in(s, "w", "", "--check --changed-lines 8 4 a.js");
    EXPECT_EQ(r.err, c.err) << c.text;
    EXPECT_EQ(run_in(s, "w", "", "--check 8 4 a.js").err, note) << c.text;
  }
}

TEST(Diff, AppliesToWhatInPlaceMakes) {
  for (const char* flags : {"8 4", "-ct 4 8", "--indent-only 8 4", "--spaces 2", "--indent-only 4 4"}) {
    scratch s;
    rng r{0xd1ff0000ULL + std::string(flags).size()};
    for (int i = 0; i < 30; ++i) {
      const std::string name = (i % 5 == 0 ? "with space " : "f") + std::to_string(i) + (i % 3 == 0 ? "/g.c" : ".c");
      const std::string text = random_file(r);
      for (const char* copy : {"patched", "applied", "inplace"}) s.put(std::string(copy) + "/" + name, text);
    }
    std::vector<std::string> args;
    for (std::size_t at = 0, end; at < std::string(flags).size(); at = end + 1) {
      end = std::string(flags).find(' ', at);
      if (end == std::string::npos) end = std::string(flags).size();
      args.push_back(std::string(flags).substr(at, end - at));
    }
    std::vector<std::string> diff_args = {"--diff"};
    diff_args.insert(diff_args.end(), args.begin(), args.end());
    diff_args.push_back(".");
    run_options in_patched;
    const std::string patched = s.path("patched");
    in_patched.cwd = patched.c_str();
    const tool_result d = run_tool_with(diff_args, in_patched);
    ASSERT_EQ(d.status, 1) << flags << d.err;
    EXPECT_EQ(d.out.find('\x1b'), std::string::npos) << "colour in a pipe";
    s.put("p.diff", d.out);
    ASSERT_TRUE(sh(patched, "patch -p1 -s < ../p.diff")) << flags;
    ASSERT_TRUE(sh(s.path("applied"), "git apply --unsafe-paths ../p.diff")) << flags;
    std::vector<std::string> in_place_args = {"-i"};
    in_place_args.insert(in_place_args.end(), args.begin(), args.end());
    in_place_args.push_back(s.path("inplace"));
    ASSERT_EQ(run_tool_with(in_place_args, {}).status, 0) << flags;
    for (const auto& e : fs::recursive_directory_iterator(s.path("inplace"))) {
      if (!e.is_regular_file()) continue;
      const std::string rel = fs::relative(e.path(), s.path("inplace")).string();
      const std::string want = read_file(e.path().string());
      EXPECT_TRUE(read_file(s.path("patched/" + rel)) == want) << flags << " patch: " << rel;
      EXPECT_TRUE(read_file(s.path("applied/" + rel)) == want) << flags << " git apply: " << rel;
    }
    // Where one width reads what the other wrote, a second run finds nothing.
    if (args[0] == "--spaces" || (args.size() == 3 && args[1] == args[2])) {
      run_options in_inplace;
      const std::string done = s.path("inplace");
      in_inplace.cwd = done.c_str();
      const tool_result again = run_tool_with(diff_args, in_inplace);
      EXPECT_EQ(again.out, "") << flags;
      EXPECT_EQ(again.status, 0) << flags;
    }
  }
}

TEST(Diff, NamesThatPatchAndGitApplyFind) {
  // "./" and "//" go, a name that ends in a blank is quoted, and a file
  // outside the current directory is named by its absolute path, to apply
  // from "/".
  scratch s;
  const std::vector<std::pair<std::string, std::string>> files = {
      {"w/sub/a.c", "./sub"}, {"w/ends in a blank.c ", "./ends in a blank.c "}, {"w/x//y.c", "x//y.c"},
      {"elsewhere/o.c", "../elsewhere/o.c"}};
  for (const auto& [path, operand] : files) s.put(path, "\tx\n");
  for (const auto& [path, operand] : files) {
    const bool outside = operand.substr(0, 3) == "../";
    const tool_result d = run_in(s, "w", "", "--diff 8 4 '" + operand + "'");
    ASSERT_EQ(d.status, 1) << operand << d.err;
    s.put("p.diff", d.out);
    for (const char* apply : {"patch -p1 -s <", "git apply --unsafe-paths"}) {
      s.put(path, "\tx\n");
      EXPECT_TRUE(sh(outside ? "/" : s.path("w"), std::string(apply) + " '" + s.path("p.diff") + "'"))
          << apply << " " << operand << "\n" << d.out;
      EXPECT_EQ(read_file(s.path(path)), "\t\tx\n") << apply << " " << operand;
    }
  }
}

// The hunks themselves: context, merging, the order of a change's lines, and
// a missing line end.
struct diff_case {
  const char* name;
  std::string before;
  std::string after;
};
void PrintTo(const diff_case& c, std::ostream* os) { *os << c.name; }

class DiffHunks : public testing::TestWithParam<diff_case> {};

TEST_P(DiffHunks, AsDiffWritesThem) {
  // GNU diff -u, less its two header lines, is the model: the conversion
  // keeps lines where they are, and these lines leave diff no other choice.
  const diff_case& c = GetParam();
  scratch s;
  s.put("before", c.before);
  s.put("after", c.after);
  const std::string out = s.path("model");
  ASSERT_NE(std::system(("diff -u '" + s.path("before") + "' '" + s.path("after") + "' > '" + out + "'").c_str()), -1);
  std::string model = read_file(out);
  model.erase(0, model.find("\n@@") + 1);
  s.put("x.c", c.before);
  run_options opt;
  opt.cwd = s.dir.c_str();
  const tool_result r = run_tool_with({"--diff", "--eol=keep", "8", "4", "x.c"}, opt);
  EXPECT_EQ(r.out, "--- a/x.c\n+++ b/x.c\n" + model);
}

std::string numbered(int from, int to, const char* text) {
  std::string s;
  for (int i = from; i <= to; ++i) s += std::to_string(i) + text + "\n";
  return s;
}

const diff_case diff_cases[] = {
    {"six_apart_share_a_hunk", "\ta\n" + numbered(1, 6, "") + "\tb\n" + numbered(7, 20, ""),
     "\t\ta\n" + numbered(1, 6, "") + "\t\tb\n" + numbered(7, 20, "")},
    {"seven_apart_do_not", "\ta\n" + numbered(1, 7, "") + "\tb\n" + numbered(8, 20, ""),
     "\t\ta\n" + numbered(1, 7, "") + "\t\tb\n" + numbered(8, 20, "")},
    {"removed_lines_first", numbered(1, 5, "") + "\ta\n\tb\n" + numbered(6, 9, ""),
     numbered(1, 5, "") + "\t\ta\n\t\tb\n" + numbered(6, 9, "")},
    {"no_line_end_at_the_end", numbered(1, 5, "") + "\tz", numbered(1, 5, "") + "\t\tz"},
    {"last_line_emptied", numbered(1, 2, "") + "   ", numbered(1, 2, "")},
    {"crs_as_they_are", "a\r\n\tb\r\n", "a\r\n\t\tb\r\n"},
    {"emptied_is_an_empty_range", "   ", ""},
};
INSTANTIATE_TEST_SUITE_P(Table, DiffHunks, testing::ValuesIn(diff_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Diff, ColouredOnATerminalUnlessNoColor) {
  // script gives the tool a terminal for its output.
  scratch s;
  s.put("f.c", "a\n\tx  \n");
  auto run = [&](const std::string& env) {
    return "cd '" + s.dir + "' && " + env + " script -qec '" + tool_path() + " --diff 8 4 f.c' /dev/null";
  };
  auto output_of = [&](const std::string& command) {
    const std::string out = s.path("out");
    EXPECT_NE(std::system((command + " > '" + out + "' 2>&1").c_str()), -1);
    return read_file(out);
  };
  const std::string coloured = output_of(run("env -u NO_COLOR"));
  EXPECT_NE(coloured.find("\x1b[31m-\x1b[2m\xe2\x86\x92       \x1b[22mx\x1b[41m  \x1b[m"), std::string::npos)
      << coloured;
  EXPECT_NE(coloured.find("\x1b[32m+\x1b[2m\xe2\x86\x92       \x1b[22m\x1b[2m\xe2\x86\x92       \x1b[22mx\x1b[m"),
            std::string::npos)
      << coloured;
  const std::string plain = output_of(run("NO_COLOR=1"));
  EXPECT_EQ(plain.find('\x1b'), std::string::npos) << plain;
  EXPECT_NE(plain.find("-\tx  \r\n"), std::string::npos) << "the terminal writes CR LF";
  const std::string forced =
      output_of("NO_COLOR=1 " + std::string(tool_path()) + " --diff --color=always 8 4 '" + s.path("f.c") + "'");
  EXPECT_NE(forced.find("\x1b[31m"), std::string::npos) << "--color=always wins over NO_COLOR";
  const std::string never = output_of("script -qec '" + std::string(tool_path()) + " --diff --color=never 8 4 " +
                                      s.path("f.c") + "' /dev/null");
  EXPECT_EQ(never.find('\x1b'), std::string::npos);
}

// A buffer on standard input named as a file: what comes out, the notes and
// the status are those of -i on that file (and --check and --diff say what
// they say of it), whether the file exists yet or not.
struct stdin_case {
  const char* name;
  std::string path;
  std::string text;
  std::vector<std::string> style;  // options and widths
  int status;                      // of -i and of the buffer
};
void PrintTo(const stdin_case& c, std::ostream* os) { *os << c.name; }

class StdinFilename : public testing::TestWithParam<stdin_case> {};

const std::string tree_config =
    "root = true\n[*]\nindent_style = tab\ntab_width = 4\ntrim_trailing_whitespace = true\n"
    "insert_final_newline = true\n[*.py]\nindent_style = space\nindent_size = 4\n[*.{yml,yaml}]\n"
    "indent_style = space\nindent_size = 2\n[*.bat]\nend_of_line = crlf\n[art/**]\nindent_style = unset\n"
    "tab_width = unset\ntrim_trailing_whitespace = unset\ninsert_final_newline = unset\n";

TEST_P(StdinFilename, IsWhatInPlaceMakesOfTheFile) {
  const stdin_case& c = GetParam();
  scratch s;
  s.put(".editorconfig", tree_config);
  run_options in_tree;
  in_tree.cwd = s.dir.c_str();
  auto with = [&](std::vector<std::string> first, bool file) {
    first.insert(first.end(), c.style.begin(), c.style.end());
    if (file) first.push_back(c.path);
    return first;
  };
  in_tree.stdin_text = c.text;
  const std::string flag = "--stdin-filename=" + c.path;
  const tool_result before = run_tool_with(with({flag}, false), in_tree);
  const tool_result check_before = run_tool_with(with({"--check", flag}, false), in_tree);
  s.put(c.path, c.text);
  const tool_result after = run_tool_with(with({flag}, false), in_tree);
  const tool_result diff = run_tool_with(with({"--diff", flag}, false), in_tree);
  in_tree.stdin_text.clear();
  const tool_result file_diff = run_tool_with(with({"--diff"}, true), in_tree);
  const tool_result file_check = run_tool_with(with({"--check"}, true), in_tree);
  const tool_result in_place = run_tool_with(with({"-i"}, true), in_tree);
  const std::string want = read_file(s.path(c.path));
  EXPECT_EQ(in_place.status, c.status) << in_place.err;
  EXPECT_TRUE(before.out == want) << "before the file was there:\n" << before.out << "\nwant:\n" << want;
  EXPECT_TRUE(after.out == want) << after.out;
  for (const tool_result* r : {&before, &after}) {
    EXPECT_EQ(r->err, in_place.err);
    EXPECT_EQ(r->status, in_place.status);
  }
  // --check only sets the status.
  EXPECT_EQ(check_before.out, "");
  EXPECT_EQ(check_before.status, file_check.status);
  EXPECT_EQ(check_before.status, c.status != 0 ? c.status : want == c.text ? 0 : 1);
  EXPECT_EQ(diff.out, file_diff.out);
  EXPECT_EQ(diff.status, file_diff.status);
}

const std::string py_mixed = "def f():\n    if x:\n\treturn  1\n";
const std::string shell_script = "#!/bin/sh\nif true; then\n        cat <<EOF\n\t  kept\nEOF\nfi\n";
const std::string region_text = "a\n\tb  \n# morek: off\n\tc  \n    d\n# morek: on\n\te  \n";

const stdin_case stdin_cases[] = {
    {"c_8_4", "a.c", "\tint  x;  \n\ts = \"a\t\tb\";\n", {"8", "4"}, 0},
    {"c_spaces", "src/a.c", "\tint x;\r\n\t\ty;\r\n", {"--spaces", "4"}, 0},
    {"c_indent_only_trim", "a.c", "    int\tx;  \n", {"-t", "--indent-only", "4", "4"}, 0},
    {"c_editorconfig", "deep/er/a.c", "        int x;  \nlast", {"--editorconfig"}, 0},
    {"c_lang_text", "a.c", "\ts = \"a\t\tb\";\n", {"--lang=text", "8", "4"}, 0},
    {"python_editorconfig", "p.py", "def f():\n\tif x:\n\t\treturn 1\n", {"--editorconfig"}, 0},
    {"python_unproven_comes_back_with_its_note", "p.py", py_mixed, {"--indent-only", "8", "8"}, 0},
    {"python_by_its_first_line", "tool", "#!/usr/bin/env python3\nif x:\n    y = 1\n", {"--indent-only", "4", "4"}, 0},
    {"yaml_keeps_its_indentation", "c.yml", "a:\n  b:       1\n", {"8", "8"}, 0},
    {"yaml_editorconfig", "d/c.yaml", "a:\n    b:\t1\n", {"--editorconfig"}, 0},
    {"makefile_keeps_its_recipe", "Makefile", "all:\n\techo  a\nX  =\t1\n", {"--spaces", "4"}, 0},
    {"makefile_editorconfig", "sub/GNUmakefile", "all:\n\techo  a\n        x\n", {"--editorconfig"}, 0},
    {"shell_here_document", "run.sh", shell_script, {"8", "4"}, 0},
    {"shell_by_its_first_line", "run", shell_script, {"--editorconfig"}, 0},
    {"crlf_by_editorconfig", "x.bat", "\techo a\necho b", {"--editorconfig"}, 0},
    {"left_alone_by_editorconfig", "art/table.txt", "  a  \t b  \n", {"--editorconfig"}, 0},
    {"regions_kept", "r.sh", region_text, {"8", "4"}, 0},
    {"regions_kept_editorconfig", "r.txt", region_text, {"--editorconfig"}, 0},
    {"unchanged", "u.c", "\t\tx\n", {"4", "4"}, 0},
    {"empty", "e.c", "", {"--editorconfig"}, 0},
    {"utf8_wide_characters", "w.txt", "\xe4\xb8\xad\t\tx\n", {"8", "4"}, 0},
    {"binary_fails_and_comes_back", "b.c", std::string("\tx\0\n", 4), {"8", "4"}, 2},
};
INSTANTIATE_TEST_SUITE_P(Table, StdinFilename, testing::ValuesIn(stdin_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// A .editorconfig that is refused: the buffer comes back as it came, the
// refusal is said, and the status is a failure's.
TEST(StdinFilenameRefused, ConfigThatIsRefused) {
  scratch s;
  s.put(".editorconfig", "root = true\n[*\nindent_style = tab\n");
  run_options in_tree;
  in_tree.cwd = s.dir.c_str();
  in_tree.stdin_text = "    x  \n";
  const tool_result r = run_tool_with({"--stdin-filename=new/a.c", "--editorconfig"}, in_tree);
  EXPECT_EQ(r.out, in_tree.stdin_text);
  EXPECT_NE(r.err.find(".editorconfig: "), std::string::npos) << r.err;
  EXPECT_EQ(r.status, 2);
}

// Reads --check --format's output as the tools that take it read it
// (Python's json, xml.etree, and a reader of GitHub's workflow commands
// written from the runner's escaping), and compares every format's findings
// with the lines that differ between each file and what -i writes, and -j 1
// with -j 4. Prints what is wrong, one a line.
const char* const format_reader = R"PY(
import codecs, json, os, re, subprocess, sys, urllib.parse
import xml.etree.ElementTree as ET

morek, tree, model = sys.argv[1:4]
args = sys.argv[4:]
problems = []

def lines(b):
    return re.findall(rb'[^\n]*\n|[^\n]+$', b)

expected = {}  # (path, line): the line as -i writes it
for root, dirs, files in os.walk(tree):
    for f in files:
        rel = os.path.relpath(os.path.join(root, f), tree)
        a = lines(open(os.path.join(tree, rel), 'rb').read())
        b = lines(open(os.path.join(model, rel), 'rb').read())
        b += [b''] * (len(a) - len(b))
        for k, (x, y) in enumerate(zip(a, b)):
            if x != y:
                expected[(rel, k + 1)] = y

def run(fmt, jobs):
    p = subprocess.run([morek, '--check', '--format=' + fmt, '-j', jobs] + args + ['.'], cwd=tree,
                       capture_output=True)
    return p.stdout, p.stderr, p.returncode

def github_data(v):
    return v.replace('%0D', '\r').replace('%0A', '\n').replace('%25', '%')

def github_property(v):
    return v.replace('%3A', ':').replace('%2C', ',').replace('%0D', '\r').replace('%0A', '\n').replace('%25', '%')

def read_json(out):
    found = []
    for line in out.decode().split('\n')[:-1]:
        o = json.loads(line)
        if set(o) != {'path', 'line', 'column', 'end_line', 'kind', 'message', 'fixed'}:
            problems.append('json keys: %r' % sorted(o))
        if o['end_line'] != o['line'] or not o['message']:
            problems.append('json: %r' % o)
        if expected.get((o['path'], o['line'])) != o['fixed'].encode():
            problems.append('json: fixed %r for %r' % (o['fixed'], (o['path'], o['line'])))
        found.append((o['path'], o['line'], o['column'], o['kind']))
    return found

def read_gcc(out):
    found = []
    for line in out.decode().split('\n')[:-1]:
        m = re.fullmatch(r'(.*):(\d+):(\d+): (.+)', line)
        if not m:
            problems.append('gcc line: %r' % line)
            continue
        name = m.group(1)
        if name.startswith('"'):
            name = codecs.escape_decode(name[1:-1].encode())[0].decode()
        found.append((name, int(m.group(2)), int(m.group(3)), None))
    return found

def read_github(out):
    found, last = [], None
    for line in out.decode().split('\n')[:-1]:
        m = re.fullmatch(r'::error ([^:]*)::(.*)', line)
        if not m or not m.group(2):
            problems.append('github line: %r' % line)
            continue
        props = dict(p.split('=', 1) for p in m.group(1).split(','))
        if set(props) != {'file', 'line', 'endLine', 'col', 'title'}:
            problems.append('github properties: %r' % props)
        name, first, end = github_property(props['file']), int(props['line']), int(props['endLine'])
        kind = github_property(props['title'])
        if last is not None and last == (name, first - 1, kind):
            problems.append('github: lines in a row of one kind not merged at %r' % ((name, first),))
        last = (name, end, kind)
        github_data(m.group(2))
        for n in range(first, end + 1):
            found.append((name, n, int(props['col']) if n == first else None, kind))
    return found

def read_sarif(out):
    doc = json.loads(out)
    found = []
    if doc.get('version') != '2.1.0' or '$schema' not in doc or len(doc.get('runs', [])) != 1:
        problems.append('sarif log: %r' % {k: doc[k] for k in doc if k != 'runs'})
        return found
    run = doc['runs'][0]
    driver = run['tool']['driver']
    ids = [r['id'] for r in driver.get('rules', [])]
    if driver.get('name') != 'morek' or len(set(ids)) != len(ids) or not ids:
        problems.append('sarif driver: %r' % driver)
    for r in run['results']:
        if r['ruleId'] not in ids or ids[r.get('ruleIndex', ids.index(r['ruleId']))] != r['ruleId']:
            problems.append('sarif rule: %r' % r)
        if not r['message']['text'] or r.get('level', 'warning') not in ('none', 'note', 'warning', 'error'):
            problems.append('sarif result: %r' % r)
        loc = r['locations'][0]['physicalLocation']
        uri = loc['artifactLocation']['uri']
        if urllib.parse.urlsplit(uri).scheme:
            problems.append('sarif uri with a scheme: %r' % uri)
        region = loc['region']
        if region['endLine'] != region['startLine']:
            problems.append('sarif region: %r' % region)
        found.append((urllib.parse.unquote(uri), region['startLine'], region['startColumn'], r['ruleId']))
    return found

def read_checkstyle(out):
    root = ET.fromstring(out)
    found = []
    if root.tag != 'checkstyle' or 'version' not in root.attrib:
        problems.append('checkstyle root: %r' % root.attrib)
    for f in root:
        for e in f:
            if f.tag != 'file' or e.tag != 'error' or e.get('severity') not in ('error', 'warning', 'info', 'ignore') \
                    or not e.get('message') or not e.get('source', '').startswith('morek.'):
                problems.append('checkstyle: %r %r' % (f.attrib, e.attrib))
            found.append((f.get('name'), int(e.get('line')), int(e.get('column')), e.get('source')[len('morek.'):]))
    return found

names = run('names', '1')
outputs = {}
for fmt in ('json', 'gcc', 'github', 'sarif', 'checkstyle'):
    one, four = run(fmt, '1'), run(fmt, '4')
    if one != four:
        problems.append('%s: -j 1 and -j 4 differ' % fmt)
    if one[1:] != names[1:]:
        problems.append('%s: messages or status %r where --check gives %r' % (fmt, one[1:], names[1:]))
    try:
        outputs[fmt] = globals()['read_' + fmt](one[0])
    except Exception as e:
        problems.append('%s: %r reading %r' % (fmt, e, one[0][:2000]))
        outputs[fmt] = []
found = outputs['json']
if sorted((p, n) for p, n, c, k in found) != sorted(expected):
    problems.append('json lines %r, -i changes %r' % (sorted((p, n) for p, n, c, k in found), sorted(expected)))
if set(expected) and names[2] != 1:
    problems.append('status %r' % names[2])
for fmt in ('sarif', 'checkstyle'):
    if outputs[fmt] != found:
        problems.append('%s: %r\n  json: %r' % (fmt, outputs[fmt], found))
if outputs['gcc'] != [(p, n, c, None) for p, n, c, k in found]:
    problems.append('gcc: %r\n  json: %r' % (outputs['gcc'], found))
firsts = {(p, n) for p, n, c, k in outputs['github'] if c is not None}
if outputs['github'] != [(p, n, c if (p, n) in firsts else None, k) for p, n, c, k in found]:
    problems.append('github: %r\n  json: %r' % (outputs['github'], found))
for p in problems:
    print(p)
)PY";

TEST(CheckFormats, ReadBackByTheirReadersAsInPlaceChangesThem) {
  if (std::system("python3 -c 'pass' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
  scratch s;
  s.put("reader.py", format_reader);
  // Names that each format must escape, and files enough for -j 4 to mix.
  const std::vector<std::string> hostile = {"a,b.txt",    "co:lon.txt",        "per%25cent%.txt", "new\nline.txt",
                                            "quo\"te.txt", "lt<amp&gt>.txt",    "apos'.txt",       "sp ace.txt",
                                            "tab\tname.txt", "dir,x/nested:y.txt", "\xc3\xa9t\xc3\xa9.txt", "back\\slash.txt"};
  const char* const pieces[] = {"\t", "  ", "    ", "x", " ", "\xc3\xa9", "y\t z", "\t\t", "\r\n", "\n", "\n"};
  rng r{20261208};
  std::vector<std::string> names = hostile;
  for (int k = 0; k < 40; ++k) names.push_back(std::to_string(k) + "f.txt");
  for (const std::string& name : names) {
    std::string text;
    const int n = static_cast<int>(r.next() % 60);
    for (int k = 0; k < n; ++k) text += pieces[r.next() % std::size(pieces)];
    s.put("tree/" + name, text);
  }
  // A file left as it is, with its note.
  s.put("tree/m.py", "def f():\n    if x:\n        return 1\n");
  for (const char* args : {"-t --spaces 4", "--eol=lf 8 4", "8 8", "--indent-only 4 4"}) {
    ASSERT_TRUE(sh(s.dir, "rm -rf model && cp -R tree model"));
    (void)std::system(("cd '" + s.path("model") + "' && " + tool_path() + " -i " + args + " . >/dev/null 2>&1").c_str());
    const std::string command = "python3 '" + s.path("reader.py") + "' " + tool_path() + " '" + s.path("tree") +
                                "' '" + s.path("model") + "' " + args + " > '" + s.path("problems") + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << args;
    EXPECT_EQ(read_file(s.path("problems")), "") << args;
  }
}

}  // namespace
