// -i and --check on real files in a scratch directory: what is kept, what is
// refused, and that no fault leaves a file damaged or a new file behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "morek_config.h"
#include "run_tool.hpp"
#include "test_support.hpp"

namespace fs = std::filesystem;

namespace {

#if defined(MOREK_EMULATED)
constexpr bool emulated = true;
#else
constexpr bool emulated = false;
#endif

constexpr uid_t nobody = 65534;
const bool root = geteuid() == 0;

// A scratch directory of files with modes, and what a run left behind.
struct scratch : scratch_dir {
  std::string put(const std::string& name, const std::string& bytes, mode_t mode = 0644) const {
    const std::string p = path(name);
    std::ofstream(p, std::ios::binary) << bytes;
    chmod(p.c_str(), mode);
    return p;
  }
  // Names in the directory that look like a new file left behind.
  std::vector<std::string> leftovers() const {
    std::vector<std::string> r;
    for (const auto& e : fs::directory_iterator(dir)) {
      const std::string n = e.path().filename().string();
      if (n.find("morek") != std::string::npos) r.push_back(n);
    }
    return r;
  }
};

struct stat stat_of(const std::string& p) {
  struct stat st {};
  EXPECT_EQ(lstat(p.c_str(), &st), 0) << p;
  return st;
}

tool_result morek(const std::vector<std::string>& args, const run_options& opt = {}) {
  return run_tool_with(args, opt);
}

run_options as_nobody() {
  run_options o;
  o.as_nobody = true;
  return o;
}

run_options file_size_limit(long bytes) {
  run_options o;
  o.fsize_limit = bytes;
  return o;
}

// ---- what -i keeps -----------------------------------------------------

TEST(InPlace, ConvertsAndKeepsModes) {
  // The special bits too: setuid, setgid and sticky (all set where the test
  // runs as root; elsewhere, whatever of them the system lets a user set).
  scratch s;
  const mode_t modes[] = {0755, 0600, 04755, 02755, 01755};
  std::vector<std::string> args = {"-i", "8", "4"};
  std::vector<struct stat> before;
  for (const mode_t m : modes) {
    std::string name = std::to_string(m);
    name += ".c";
    args.push_back(s.put(name, "\tx\n", m));
    before.push_back(stat_of(args.back()));
    if (root) {
      EXPECT_EQ(before.back().st_mode & 07777, m);
    }
  }
  const tool_result r = morek(args);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.status, 0);
  for (std::size_t k = 0; k < std::size(modes); ++k) {
    const std::string& f = args[k + 3];
    EXPECT_EQ(read_file(f), "\t\tx\n");
    EXPECT_EQ(stat_of(f).st_mode & 07777, before[k].st_mode & 07777) << std::oct << modes[k];
    EXPECT_NE(stat_of(f).st_ino, before[k].st_ino) << "a changed file is a new file renamed into place";
  }
  EXPECT_TRUE(s.leftovers().empty());
}

TEST(InPlace, LeavesUnchangedFilesUntouched) {
  scratch s;
  const std::string f = s.put("same.c", "\t\tx\n  y\n", 0644);
  const timespec old_times[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, f.c_str(), old_times, 0), 0);
  const ino_t before = stat_of(f).st_ino;
  const tool_result r = morek({"-i", "4", "4", f});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(stat_of(f).st_mtim.tv_sec, 1000000000);
  EXPECT_EQ(stat_of(f).st_ino, before);
}

TEST(InPlace, KeepsOwnerWhereItMay) {
  if (!root) GTEST_SKIP() << "only root can give a file away";
  scratch s;
  const std::string f = s.put("theirs.c", "\tx\n");
  ASSERT_EQ(chown(f.c_str(), nobody, nobody), 0);
  EXPECT_EQ(morek({"-i", "8", "4", f}).status, 0);
  EXPECT_EQ(read_file(f), "\t\tx\n");
  EXPECT_EQ(stat_of(f).st_uid, nobody);
  EXPECT_EQ(stat_of(f).st_gid, nobody);
}

TEST(InPlace, SymbolicLinkStaysALinkAndItsTargetIsConverted) {
  scratch s;
  fs::create_directory(s.path("real"));
  fs::create_directory(s.path("links"));
  const std::string target = s.put("real/t.c", "\tx\n");
  const std::string link = s.path("links/l.c");
  fs::create_symlink("../real/t.c", link);
  const tool_result r = morek({"-i", "8", "4", link});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::read_symlink(link), "../real/t.c");
  EXPECT_EQ(read_file(target), "\t\tx\n");
  for (const char* d : {"real", "links"})
    for (const auto& e : fs::directory_iterator(s.path(d)))
      EXPECT_EQ(e.path().filename().string().find("morek"), std::string::npos) << e.path();
}

TEST(InPlace, FileNamedTwiceIsConvertedOnce) {
  scratch s;
  const std::string f = s.put("twice.c", "\tx\n");
  fs::create_symlink("twice.c", s.path("alias.c"));
  const tool_result r = morek({"-i", "8", "4", f, s.path("alias.c"), f});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(f), "\t\tx\n");  // twice would give four tabs
}

// An ACL as the kernel keeps it in system.posix_acl_access or _default:
// version 2, then for each entry its tag, permissions and user or group,
// little-endian: u::rw-,u:65534:r--,g::r--,m::r--,o::---.
std::string raw_acl() {
  struct entry {
    unsigned tag, perm, id;
  };
  const entry entries[] = {{0x01, 6, ~0u}, {0x02, 4, nobody}, {0x04, 4, ~0u}, {0x10, 4, ~0u}, {0x20, 0, ~0u}};
  std::string r = {2, 0, 0, 0};
  for (const entry& e : entries)
    for (unsigned v : {e.tag, e.perm, e.id, e.id >> 16})
      r += {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
  return r;
}

std::string attribute(const std::string& path, const char* name) {
  char value[256];
  const ssize_t n = getxattr(path.c_str(), name, value, sizeof value);
  return n < 0 ? "(none)" : std::string(value, static_cast<std::size_t>(n));
}

struct attributes_case {
  const char* name;
  bool default_acl;  // on the directory, so that a new file there gets the file's ACL too
  bool acl;          // on the file itself
  bool user_attr;
  bool kept_by_new_file;  // all the file has, a new file there gets anyway
};
void PrintTo(const attributes_case& c, std::ostream* os) { *os << c.name; }

class InPlaceAttributes : public testing::TestWithParam<attributes_case> {};

// With libacl and libattr every ACL and attribute is carried over; without
// them a file is replaced only where its new version gets the same ones
// anyway, and left as it is with a note elsewhere.
TEST_P(InPlaceAttributes, AreKeptOrTheFileIsLeftAsItIs) {
  const attributes_case& c = GetParam();
  scratch s;
  const std::string acl = raw_acl();
  if (c.default_acl && setxattr(s.dir.c_str(), "system.posix_acl_default", acl.data(), acl.size(), 0) != 0)
    GTEST_SKIP() << "the filesystem of " << s.dir << " has no ACLs";
  const std::string f = s.put("attr.c", "\tx\n");
  if (c.acl && setxattr(f.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0)
    GTEST_SKIP() << "the filesystem of " << s.dir << " has no ACLs";
  if (c.user_attr && setxattr(f.c_str(), "user.morek-test", "kept", 4, 0) != 0)
    GTEST_SKIP() << "the filesystem of " << s.dir << " has no user attributes";
  const std::string acl_before = attribute(f, "system.posix_acl_access");
  ASSERT_EQ(acl_before == "(none)", !c.acl && !c.default_acl);
  const mode_t mode_before = stat_of(f).st_mode;

  const tool_result r = morek({"-i", "8", "4", f});
  const bool replaced = MOREK_HAVE_LIBACL || c.kept_by_new_file;
  if (replaced) {
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(f), "\t\tx\n");
  } else {
    EXPECT_EQ(r.err, f + ": can't keep its owner, mode or attributes: " + std::strerror(ENOTSUP) + "\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(read_file(f), "\tx\n");
  }
  EXPECT_EQ(attribute(f, "system.posix_acl_access"), acl_before);
  EXPECT_EQ(attribute(f, "user.morek-test"), c.user_attr ? "kept" : "(none)");
  EXPECT_EQ(stat_of(f).st_mode, mode_before);
  EXPECT_TRUE(s.leftovers().empty());
}

const attributes_case attributes_cases[] = {
    {"acl", false, true, false, false},
    {"user_attribute", false, false, true, false},
    {"acl_and_user_attribute", false, true, true, false},
    {"acl_that_the_directory_gives", true, false, false, true},
    {"acl_that_the_directory_gives_and_user_attribute", true, false, true, false},
};
INSTANTIATE_TEST_SUITE_P(Table, InPlaceAttributes, testing::ValuesIn(attributes_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Each new file is durable before it is renamed over its original: by one
// syncfs of the filesystem, or, where the build has none, by an fsync of the
// file and one of its directory. strace shows the calls, in order.
TEST(InPlace, NewFilesAreDurableBeforeTheyAreRenamed) {
  if (emulated) GTEST_SKIP() << "strace would see the emulator's calls";
  if (std::system("strace -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
  scratch s;
  fs::create_directory(s.path("d"));
  std::string files;
  for (int k = 0; k < 3; ++k) files += " '" + s.put("d/f" + std::to_string(k) + ".c", "\tx\n") + "'";
  const std::string trace = s.path("trace");
  // LeakSanitizer cannot work under ptrace; the other tests look for leaks.
  const std::string command = "ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\" strace -f -qq -s 4096 -o '" + trace + "' -e trace=openat,fsync,syncfs,renameat,renameat2 '" +
                              tool_path() + "' -i 8 4" + files + " 2>'" + s.path("err") + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << read_file(s.path("err"));
  for (int k = 0; k < 3; ++k) EXPECT_EQ(read_file(s.path("d/f" + std::to_string(k) + ".c")), "\t\tx\n");

  // The descriptors of the directory and of the new files, and where the
  // first sync of each and the first rename come in the trace.
  std::vector<std::string> lines;
  std::istringstream in(read_file(trace));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  auto result = [](const std::string& line) { return line.substr(line.rfind("= ") + 2); };
  auto first = [&](const std::string& call) {
    for (std::size_t k = 0; k < lines.size(); ++k)
      if (lines[k].find(call) != std::string::npos) return k;
    return lines.size();
  };
  // A sync of fd, finished at once or on another thread.
  auto synced = [&](const std::string& fd) { return std::min(first(" fsync(" + fd + ")"), first(" fsync(" + fd + " <")); };
  std::string dir;
  std::vector<std::string> fresh;
  for (const std::string& line : lines) {
    if (line.find("openat(AT_FDCWD, \"" + s.path("d") + "\", O_RDONLY|") != std::string::npos &&
        line.find("O_DIRECTORY") != std::string::npos)
      dir = result(line);
    if (line.find(".morek-") != std::string::npos && line.find("O_CREAT|O_EXCL") != std::string::npos)
      fresh.push_back(result(line));
  }
  ASSERT_FALSE(dir.empty()) << read_file(trace);
  ASSERT_EQ(fresh.size(), 3u) << read_file(trace);
  const std::size_t renamed = std::min(first(" renameat("), first(" renameat2("));
  ASSERT_LT(renamed, lines.size()) << read_file(trace);
  if (MOREK_HAVE_SYNCFS) {
    EXPECT_LT(first(" syncfs("), renamed) << read_file(trace);
  } else {
    EXPECT_EQ(first(" syncfs("), lines.size()) << read_file(trace);
    for (const std::string& fd : fresh) EXPECT_LT(synced(fd), renamed) << fd << "\n" << read_file(trace);
    EXPECT_LT(synced(dir), renamed) << read_file(trace);
  }
}

// ---- line ends and bytes of every kind --------------------------------

struct bytes_case {
  const char* name;
  std::vector<std::string> options;
  std::string in;
  std::string out;
};

void PrintTo(const bytes_case& c, std::ostream* os) { *os << c.name; }

class InPlaceBytes : public testing::TestWithParam<bytes_case> {};

TEST_P(InPlaceBytes, KeepsWhatItShould) {
  const bytes_case& c = GetParam();
  scratch s;
  const std::string f = s.put("f.c", c.in);
  std::vector<std::string> args = c.options;
  args.insert(args.end(), {"-i", "8", "4", f});
  const tool_result r = morek(args);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(f), c.out);
}

const bytes_case bytes_cases[] = {
    {"lf", {}, "a\tb\nc   d\n", "a\t\tb\nc\td\n"},
    {"crlf", {}, "a\tb\r\nc   d\r\n", "a\t\tb\r\nc\td\r\n"},
    {"mixed", {}, "a\tb\r\nc   d\n\r\n", "a\t\tb\r\nc\td\n\r\n"},
    {"lone_cr", {}, "a   \r\tb\n\r", "a\t\r\tb\n\r"},
    {"ctrl_z", {}, "\tx\x1a\ty\n\x1a", "\t\tx\x1a\t\ty\n\x1a"},
    {"no_final_newline", {}, "\tx", "\t\tx"},
    {"only_trailing_blanks_change", {}, "x  \r\n", "x\r\n"},
    {"eol_lf_asked", {"--eol=lf"}, "\tx\r\ny\r\n", "\t\tx\ny\n"},
    {"eol_crlf_asked", {"--eol=crlf"}, "\tx\ny\n", "\t\tx\r\ny\r\n"},
    {"utf8", {"--utf8"}, "\xe4\xb8\xad\tx\r\n", "\xe4\xb8\xad\t\tx\r\n"},
    // A file is UTF-8 unless asked: no blank is taken into a Shift-JIS pair.
    {"utf8_by_default", {}, "\xe4\xb8\xad\xe6\x96\x87     \xe4\xb8\xad\xe6\x96\x87\n",
     "\xe4\xb8\xad\xe6\x96\x87\t \xe4\xb8\xad\xe6\x96\x87\n"},
    {"sjis_asked", {"--sjis"}, "\xe4\xb8\xad\xe6\x96\x87     \xe4\xb8\xad\xe6\x96\x87\n",
     "\xe4\xb8\xad\xe6\x96\x87\t   \xe4\xb8\xad\xe6\x96\x87\n"},
    {"comment_and_literal", {"-ct"}, "s = \"a    b\";  \t\r\n", "s = \"a    b\";\r\n"},
};
INSTANTIATE_TEST_SUITE_P(Table, InPlaceBytes, testing::ValuesIn(bytes_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(InPlace, EachFileKeepsItsOwnLineEnds) {
  scratch s;
  std::string crlf, lf;
  for (int i = 0; i < 300; ++i) {
    crlf += "\tx\r\n";
    lf += "\ty\n";
  }
  const std::string a = s.put("a.c", crlf);
  const std::string b = s.put("b.c", lf);
  const std::string c = s.put("c.c", crlf);
  EXPECT_EQ(morek({"-i", "8", "4", a, b, c}).status, 0);
  std::string crlf_out, lf_out;
  for (int i = 0; i < 300; ++i) {
    crlf_out += "\t\tx\r\n";
    lf_out += "\t\ty\n";
  }
  EXPECT_EQ(read_file(a), crlf_out);
  EXPECT_EQ(read_file(b), lf_out);
  EXPECT_EQ(read_file(c), crlf_out);
}

TEST(InPlace, ManyFilesWithFewDescriptors) {
  // Waiting files hold descriptors: batches keep within what the process may
  // open, down to one file at a time.
  for (const auto& [files, limit] : {std::pair{300, 40}, std::pair{40, 16}}) {
    scratch s;
    std::vector<std::string> args = {"-i", "8", "4"};
    for (int i = 0; i < files; ++i) args.push_back(s.put(std::to_string(i) + ".c", "\tx\n"));
    run_options few;
    few.nofile_limit = limit;
    const tool_result r = morek(args, few);
    EXPECT_EQ(r.err, "") << limit;
    EXPECT_EQ(r.status, 0) << limit;
    for (std::size_t i = 3; i < args.size(); ++i) EXPECT_EQ(read_file(args[i]), "\t\tx\n") << args[i];
  }
}

TEST(InPlace, LargeFilesThatChangeLate) {
  // The first difference after more than one output buffer: what came before
  // it is copied from the file.
  scratch s;
  std::string same;
  while (same.size() < 700000) same += "int x = 1;\r\n";
  const std::string late = s.put("late.c", same + "\tx\n" + same);
  const std::string shorter = s.put("shorter.c", same + "end   ");  // only the trailing blanks go
  const tool_result r = morek({"-i", "8", "4", late, shorter});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(read_file(late) == same + "\t\tx\n" + same);
  EXPECT_TRUE(read_file(shorter) == same + "end");
}

// ---- refusals and failures ---------------------------------------------

TEST(InPlaceRefuses, NulLongLinesAndHardLinks) {
  scratch s;
  const std::string nul = s.put("nul.c", std::string("\tx\n\0\n", 5));
  const std::string long_line = s.put("long.c", "\tx\n\ty\n" + std::string(510, 'z') + "\r\n");
  const std::string linked = s.put("linked.c", "\tx\n");
  fs::create_hard_link(linked, s.path("other-name.c"));
  const std::string fine = s.put("fine.c", "\tx\n");
  const tool_result r = morek({"-i", "8", "4", nul, long_line, linked, fine});
  EXPECT_EQ(r.err, nul + ": holds a NUL byte; left as it is\n" + linked + ": has 2 hard links; left as it is\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(read_file(nul), std::string("\tx\n\0\n", 5));
  EXPECT_EQ(read_file(long_line), "\t\tx\n\t\ty\n" + std::string(510, 'z') + "\r\n") << "a long line is a line";
  EXPECT_EQ(read_file(linked), "\tx\n");
  EXPECT_EQ(read_file(fine), "\t\tx\n") << "the run goes on after a refusal";
  EXPECT_TRUE(s.leftovers().empty());
}

// Lines of any length are converted whole in the file modes, whatever -b
// says: 511 bytes, 64 KB (past the reader's window) and 10 MB, under -i,
// --check and --diff, by the command line and by .editorconfig.
struct long_line_case {
  const char* name;
  std::size_t units;  // "abcdefg<TAB>" after the indentation
};
void PrintTo(const long_line_case& c, std::ostream* os) { *os << c.name; }

class LongLines : public testing::TestWithParam<long_line_case> {};

TEST_P(LongLines, AreConvertedWhole) {
  const std::size_t k = GetParam().units;
  std::string unit = "abcdefg\t", line = "\t";
  for (std::size_t i = 0; i < k; ++i) line += unit;
  // At 8 to 4, each tab after text is one column: a space; the last trails.
  std::string by_widths = "\t\t";
  for (std::size_t i = 0; i + 1 < k; ++i) by_widths += "abcdefg ";
  by_widths += "abcdefg\n";
  // By .editorconfig (spaces of 4): the indentation alone; tabs after text stay.
  const std::string by_editorconfig = "    " + line.substr(1) + "\n";
  line += "\n";
  for (const bool editorconfig : {false, true}) {
    for (const char* mode : {"--check", "--diff", "-i"}) {
      scratch s;
      s.put(".editorconfig", "root = true\n[*]\nindent_style = space\nindent_size = 4\n");
      const std::string f = s.put("l.c", "x\n" + line + "y\n");
      std::vector<std::string> args = {mode, "-b256"};
      if (editorconfig) {
        args.push_back("--editorconfig");
      } else {
        args.insert(args.end(), {"8", "4"});
      }
      args.push_back(f);
      const tool_result r = morek(args);
      const std::string want = "x\n" + (editorconfig ? by_editorconfig : by_widths) + "y\n";
      EXPECT_EQ(r.err, "") << mode << editorconfig;
      EXPECT_EQ(r.status, std::string(mode) == "-i" ? 0 : 1) << mode << editorconfig;
      if (std::string(mode) == "--check") {
        EXPECT_EQ(r.out, f + "\n");
      }
      if (std::string(mode) == "--diff") {
        EXPECT_NE(r.out.find("\n+" + want.substr(2, 64)), std::string::npos) << editorconfig;
      }
      EXPECT_TRUE(read_file(f) == (std::string(mode) == "-i" ? want : "x\n" + line + "y\n")) << mode << editorconfig;
    }
  }
}

const long_line_case long_line_cases[] = {
    {"of_511_bytes", 64},
    {"of_64_kilobytes", 8192},
    {"of_10_megabytes", 10 << 17},
};
INSTANTIATE_TEST_SUITE_P(Table, LongLines, testing::ValuesIn(long_line_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(InPlaceRefuses, HardLinkedFileThatIsAlreadyRight) {
  scratch s;
  const std::string linked = s.put("linked.c", "\t\tx\n");
  fs::create_hard_link(linked, s.path("other-name.c"));
  const tool_result r = morek({"-i", "8", "8", linked});
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
}

TEST(InPlaceFails, ClosedStandardStreamsNeverReceiveAFile) {
  // Closed 0, 1 or 2 are taken by /dev/null: a new file opened as 2 would
  // otherwise take in the message about the missing file.
  for (const std::vector<int>& closed : std::vector<std::vector<int>>{{1, 2}, {0, 1, 2}, {2}, {0}}) {
    scratch s;
    const std::string f = s.put("f1.c", "\tint        x;\n");
    run_options opt;
    opt.closed = closed;
    const tool_result r = morek({"-i", "8", "4", s.path("missing.c"), f}, opt);
    EXPECT_EQ(read_file(f), "\t\tint\t\t   x;\n") << closed.size() << " closed";
    EXPECT_EQ(r.status, 2);
    if (closed.back() != 2) {
      EXPECT_EQ(r.err, s.path("missing.c") + ": can't open: No such file or directory\n");
    }
    EXPECT_TRUE(s.leftovers().empty());
  }
}

TEST(InPlaceFails, MissingDirectoryFifoAndUnreadable) {
  // A directory stands for the files under it: none here.
  scratch s;
  const std::string missing = s.path("missing.c");
  fs::create_directory(s.path("dir"));
  ASSERT_EQ(mkfifo(s.path("fifo").c_str(), 0644), 0);
  const std::string fine = s.put("fine.c", "\tx\n");
  const tool_result r = morek({"-i", "8", "4", missing, s.path("dir"), s.path("fifo"), fine});
  EXPECT_EQ(r.err,
            missing + ": can't open: No such file or directory\n" + s.path("fifo") + ": is not a regular file\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(read_file(fine), "\t\tx\n");
}

// Files that the user 65534 owns, in a directory it owns, for the tests of
// rights: root has them all.
struct owned_scratch : scratch {
  owned_scratch() {
    if (root) {
      EXPECT_EQ(chown(dir.c_str(), nobody, nobody), 0);
    }
  }
  std::string put_owned(const std::string& name, const std::string& bytes, mode_t mode) const {
    const std::string p = put(name, bytes, mode);
    if (root) {
      EXPECT_EQ(chown(p.c_str(), nobody, nobody), 0);
    }
    return p;
  }
};

TEST(InPlaceFails, UnreadableFile) {
  owned_scratch s;
  const std::string f = s.put_owned("secret.c", "\tx\n", 0200);
  const tool_result r = morek({"-i", "8", "4", f}, as_nobody());
  EXPECT_EQ(r.err, f + ": can't open: Permission denied\n");
  EXPECT_EQ(r.status, 2);
}

TEST(InPlaceFails, ReadOnlyDirectory) {
  owned_scratch s;
  const std::string changed = s.put_owned("changed.c", "\tx\n", 0644);
  const std::string same = s.put_owned("same.c", "x\n", 0644);
  chmod(s.dir.c_str(), 0555);
  const tool_result r = morek({"-i", "8", "4", changed, same}, as_nobody());
  chmod(s.dir.c_str(), 0755);
  EXPECT_EQ(r.err, changed + ": can't create a new file beside it: Permission denied\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(read_file(changed), "\tx\n");
  EXPECT_TRUE(s.leftovers().empty());
}

TEST(InPlaceFails, WriteFailureLeavesTheOriginal) {
  scratch s;
  std::string big;
  for (int i = 0; i < 20000; ++i) big += "\tline\n";
  const std::string f = s.put("big.c", big);
  const tool_result r = morek({"-i", "8", "4", f}, file_size_limit(16384));
  EXPECT_EQ(r.err, f + ": can't write: File too large\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(read_file(f), big);
  EXPECT_TRUE(s.leftovers().empty());
}

// Starts the tool on its own, errors to err_path, and returns its pid.
pid_t start(const std::vector<std::string>& args, const std::string& err_path) {
  return start_tool(args, "/dev/null", "/dev/null", err_path);
}

std::string large_text() {
  std::string line = "\tint        value = 1;\t/* a comment */\n";
  std::string text;
  text.reserve(64 << 20);
  while (text.size() < (64u << 20)) text += line;
  return text;
}

TEST(InPlaceFails, SignalsRemoveTheNewFileQuietly) {
  const std::string text = large_text();
  int caught = 0;  // runs that the signal stopped
  std::vector<int> signals = {SIGTERM, SIGALRM, SIGUSR1, SIGHUP, SIGVTALRM};
  // Sent, as by kill: a fault's signal too, where neither a sanitizer nor an
  // emulator has its own use for it.
  if (!sanitized && !emulated) signals.push_back(SIGSEGV);
  for (const int sig : signals) {
    scratch s;
    const std::string f = s.put("large.c", text);
    const std::string err = s.dir + "-err";
    const pid_t pid = start({"-i", "-c", "8", "4", f, f + "-missing"}, err);
    // Wait for the new file beside it, then stop the run.
    const bool seen = wait_for([&] { return !s.leftovers().empty(); });
    kill(pid, sig);
    const int status = wait_tool(pid);
    const std::string message = read_file(err);
    std::remove(err.c_str());
    ASSERT_TRUE(seen) << "no new file appeared";
    if (status == 0 || status == 2) continue;  // the run ended before the signal came
    ++caught;
    EXPECT_EQ(status, 128 + sig);
    EXPECT_EQ(message, "") << "a message after signal " << sig;
    EXPECT_TRUE(read_file(f) == text) << "the original changed, signal " << sig;
    EXPECT_TRUE(s.leftovers().empty()) << "signal " << sig;
  }
  EXPECT_GT(caught, 0) << "every run ended before its signal";
}

TEST(InPlaceFails, FileThatGrowsIsLeftAlone) {
  scratch s;
  const std::string text = large_text();
  const std::string f = s.put("growing.c", text);
  const std::string err = s.dir + "-err";
  const pid_t pid = start({"-i", "8", "4", f}, err);
  // Appends while the tool runs.
  std::string appended;
  int status = -1;
  for (;;) {
    std::ofstream(f, std::ios::binary | std::ios::app) << "\tmore\n";
    appended += "\tmore\n";
    int w = 0;
    if (waitpid(pid, &w, WNOHANG) == pid) {
      status = WIFEXITED(w) ? WEXITSTATUS(w) : 128 + WTERMSIG(w);
      break;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  const std::string message = read_file(err);
  std::remove(err.c_str());
  EXPECT_EQ(message, f + ": changed while it was being converted; left as it is\n");
  EXPECT_EQ(status, 2);
  EXPECT_TRUE(read_file(f) == text + appended) << "the file was replaced";
  EXPECT_TRUE(s.leftovers().empty());
}

// ---- hostile conditions ------------------------------------------------

// A change made to a file while it waits for its turn to be put in place:
// a large file after it is the slow point that holds the window open.
struct meanwhile_case {
  const char* name;
  void (*change)(const std::string& path);
  mode_t mode_after;
  std::string text_after;
};
void PrintTo(const meanwhile_case& c, std::ostream* os) { *os << c.name; }

class ChangedMeanwhile : public testing::TestWithParam<meanwhile_case> {};

TEST_P(ChangedMeanwhile, IsLeftAsItIsAndFails) {
  const meanwhile_case& c = GetParam();
  scratch s;
  const std::string small = s.put("small.c", "\tx\n", 0644);
  const std::string large = s.put("large.c", large_text());
  const std::string err = s.dir + "-err";
  const pid_t pid = start({"-i", "8", "4", small, large}, err);
  // The new version of small.c exists once its conversion waits.
  const bool waiting = wait_for([&] {
    for (const std::string& n : s.leftovers())
      if (n.rfind(".small.c.morek-", 0) == 0) return true;
    return false;
  });
  c.change(small);
  const int status = wait_tool(pid);
  const std::string message = read_file(err);
  std::remove(err.c_str());
  ASSERT_TRUE(waiting);
  EXPECT_EQ(message, small + ": changed while it was being converted; left as it is\n");
  EXPECT_EQ(status, 2);
  EXPECT_EQ(stat_of(small).st_mode & 07777, c.mode_after);
  EXPECT_EQ(read_file(small), c.text_after);
  EXPECT_TRUE(s.leftovers().empty());
}

const meanwhile_case meanwhile_cases[] = {
    {"chmod", [](const std::string& p) { chmod(p.c_str(), 0600); }, 0600, "\tx\n"},
    {"same_size_write_with_the_time_put_back",
     [](const std::string& p) {
       struct stat st {};
       stat(p.c_str(), &st);
       std::ofstream(p, std::ios::binary | std::ios::in | std::ios::out) << "\ty\n";
       const timespec times[2] = {st.st_atim, st.st_mtim};
       utimensat(AT_FDCWD, p.c_str(), times, 0);
     },
     0644, "\ty\n"},
};
INSTANTIATE_TEST_SUITE_P(Table, ChangedMeanwhile, testing::ValuesIn(meanwhile_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(InPlaceHostile, DirectorySwappedForALinkDuringTheRun) {
  // The tree belongs to someone else, who swaps the file's directory for a
  // link elsewhere while root converts the file, then puts it back.
  owned_scratch s;
  fs::create_directory(s.path("att"));
  fs::create_directory(s.path("att/d"));
  fs::create_directory(s.path("outside"));
  if (root) {
    for (const char* d : {"att", "att/d"}) EXPECT_EQ(chown(s.path(d).c_str(), nobody, nobody), 0);
  }
  std::string same;
  while (same.size() < (48u << 20)) same += "int x = 1;\n";  // the same until its last line
  const std::string text = same + "\tx\n";
  const std::string converted = same + "\t\tx\n";
  const std::string f = s.put("att/d/a.c", text);
  const std::string err = s.dir + "-err";
  const pid_t pid = start({"-i", "8", "4", f}, err);
  const bool opened = wait_for([&] { return has_open(pid, f); });
  fs::rename(s.path("att/d"), s.path("att/d.real"));
  fs::create_directory_symlink(s.path("outside"), s.path("att/d"));
  const int status = wait_tool(pid);
  fs::remove(s.path("att/d"));
  fs::rename(s.path("att/d.real"), s.path("att/d"));
  std::remove(err.c_str());
  ASSERT_TRUE(opened);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(fs::is_empty(s.path("outside"))) << "a file was made outside the tree";
  EXPECT_TRUE(read_file(f) == converted);
  for (const auto& e : fs::directory_iterator(s.path("att/d")))
    EXPECT_EQ(e.path().filename().string().find("morek"), std::string::npos) << e.path();
}

TEST(InPlaceHostile, FifoWithABlockedWriterIsNotOpened) {
  scratch s;
  const std::string fifo = s.path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  const pid_t writer = fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    const int fd = open(fifo.c_str(), O_WRONLY);  // blocks until a reader comes
    _exit(fd >= 0 && write(fd, "line\n", 5) == 5 ? 0 : 1);
  }
  for (const char* mode : {"--check", "-i"}) {
    const tool_result r = morek({mode, "8", "4", fifo});
    EXPECT_EQ(r.err, fifo + ": is not a regular file\n");
    EXPECT_EQ(r.status, 2);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  int w = 0;
  EXPECT_EQ(waitpid(writer, &w, WNOHANG), 0) << "the writer was let through";
  // Not blocking: were the writer gone, no other would ever come.
  const int fd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  pollfd p{fd, POLLIN, 0};
  EXPECT_EQ(poll(&p, 1, 5000), 1);
  char line[16] = {};
  EXPECT_EQ(read(fd, line, sizeof line), 5);
  EXPECT_STREQ(line, "line\n");
  close(fd);
  waitpid(writer, &w, 0);
}

TEST(InPlaceHostile, LongPathsKeepTheirReason) {
  scratch s;
  std::string dir = s.dir;
  while (dir.size() < 1200) {
    dir += "/" + std::string(60, 'd');
    fs::create_directory(dir);
  }
  const std::string f = dir + "/nul.c";
  std::ofstream(f, std::ios::binary) << std::string("x\0\n", 3);
  for (const char* mode : {"-i", "--check"}) {
    const tool_result r = morek({mode, "8", "4", f});
    EXPECT_EQ(r.err, f + ": holds a NUL byte; left as it is\n");
    EXPECT_EQ(r.status, 2);
  }
}

TEST(InPlaceHostile, OutOfMemoryIsAFailure) {
  if (sanitized) GTEST_SKIP() << "the sanitizers reserve more address space than the limit leaves";
#if defined(MOREK_EMULATED)
  GTEST_SKIP() << "an address-space limit falls on the emulator";
#endif
  scratch s;
  const std::string f = s.put("f.c", "\tx\n");
  run_options opt;
  opt.address_space_limit = 512L << 20;
  for (const char* mode : {"--check", "-i"}) {
    const tool_result r = morek({mode, "-b2000000000", "8", "4", f}, opt);
    EXPECT_EQ(r.err, "cannot get the memory of 2000000 K bytes\n");
    EXPECT_EQ(r.status, 2) << mode;
    EXPECT_EQ(read_file(f), "\tx\n");
  }
}

// A small stack limit is what threads get by default from some C libraries:
// the threads that convert, commit and sync ask for a main thread's stack.
TEST(InPlaceHostile, SmallStackLimitForThreads) {
  if (sanitized) GTEST_SKIP() << "the sanitizers' frames are larger than the limit leaves the main thread";
  scratch s;
  std::vector<std::string> files;
  for (int k = 0; k < 40; ++k) files.push_back(s.put("f" + std::to_string(k) + ".c", "int x;\n        y = 1;\n"));
  run_options opt;
  opt.stack_limit = 256L << 10;
  for (const char* mode : {"--check", "-i"}) {
    std::vector<std::string> args = {mode, "-j", "2", "8", "4"};
    args.insert(args.end(), files.begin(), files.end());
    const tool_result r = morek(args, opt);
    EXPECT_EQ(r.status, std::string(mode) == "-i" ? 0 : 1) << mode << r.err;
    EXPECT_EQ(r.out.empty(), std::string(mode) == "-i") << mode;
  }
  for (const std::string& f : files) EXPECT_EQ(read_file(f), "int x;\n\t\ty = 1;\n");
}

TEST(FilterRefuses, InputThatIsItsOwnOutput) {
  scratch s;
  const std::string f = s.put("f.c", "\tx\n");
  run_options opt;
  opt.stdin_path = f.c_str();
  opt.stdout_path = f.c_str();
  opt.stdout_append = true;
  opt.fsize_limit = 1 << 20;  // without the rule, the run would go on until the disk is full
  const tool_result r = morek({"--eol=keep", "8", "4"}, opt);
  EXPECT_EQ(r.err, "stdin: input file is output file\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(read_file(f), "\tx\n");
  // Named as the input, or with output truncated first, it is the usual run.
  opt.stdin_path = nullptr;
  EXPECT_EQ(morek({"--eol=keep", "8", "4", f}, opt).err, f + ": input file is output file\n");
  opt.stdout_append = false;
  const tool_result truncated = morek({"8", "4", f}, opt);
  EXPECT_EQ(truncated.status, 0);
  EXPECT_EQ(read_file(f), "");
}

// ---- --check -----------------------------------------------------------

TEST(Check, NamesWhatWouldChangeAndWritesNothing) {
  scratch s;
  const std::string a = s.put("a.c", "\tx\n");
  const std::string b = s.put("b.c", "x\n");
  const std::string c = s.put("c.c", "x  \r\n");
  const timespec old_times[2] = {{1000000000, 0}, {1000000000, 0}};
  for (const std::string& f : {a, b, c}) utimensat(AT_FDCWD, f.c_str(), old_times, 0);

  tool_result r = morek({"--check", "8", "4", c, b, a});
  EXPECT_EQ(r.out, c + "\n" + a + "\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 1);
  for (const std::string& f : {a, b, c}) EXPECT_EQ(stat_of(f).st_mtim.tv_sec, 1000000000) << f;
  EXPECT_EQ(read_file(a), "\tx\n");
  EXPECT_TRUE(s.leftovers().empty());

  r = morek({"--check", "8", "4", b});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.status, 0);

  const std::string nul = s.put("nul.c", std::string("x\0\n", 3));
  r = morek({"--check", "-c", "8", "4", a, nul, s.path("missing.c")});
  EXPECT_EQ(r.out, a + "\n");
  EXPECT_EQ(r.err, nul + ": holds a NUL byte; left as it is\n" + s.path("missing.c") +
                       ": can't open: No such file or directory\n");
  EXPECT_EQ(r.status, 2) << "a failure wins over a change";

  // Output that cannot be written stops the run at once, said once.
  std::vector<std::string> many = {"--diff", "8", "4"};
  for (int i = 0; i < 50; ++i) many.push_back(s.put("many" + std::to_string(i) + ".c", "\tx\n"));
  for (std::vector<std::string> args : {many, std::vector<std::string>{"--check", "8", "4", a, c}}) {
    run_options full;
    full.stdout_path = "/dev/full";
    r = morek(args, full);
    EXPECT_EQ(r.err, "stdout: can't write\n") << args[0];
    EXPECT_EQ(r.status, 2) << args[0];
  }
}

}  // namespace
