// The POSIX fallbacks, called directly in every build: a directory's path
// found by climbing through "..", files made durable one by one, and the
// check of extended attributes that stands in for libacl and libattr.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "locate.hpp"
#include "replace.hpp"
#include "run_tool.hpp"

namespace fs = std::filesystem;

namespace {

#if defined(MOREK_EMULATED)
constexpr bool emulated = true;
#else
constexpr bool emulated = false;
#endif

std::string real(const std::string& path) {
  char* r = ::realpath(path.c_str(), nullptr);
  std::string s = r != nullptr ? r : "";
  std::free(r);
  return s;
}

// While watched, a sync of a regular file notes its thread, and the first
// one waits a while for a second thread to sync one too: a pool whose
// helpers sit out the round keeps it waiting to the end.
std::atomic<bool> fsync_watched{false};
std::mutex fsync_lock;
std::condition_variable fsync_more;
std::set<std::thread::id> fsync_threads;

}  // namespace

extern "C" int fsync(int fd) {
  struct stat st;
  if (fsync_watched.load() && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    std::unique_lock<std::mutex> hold(fsync_lock);
    fsync_threads.insert(std::this_thread::get_id());
    fsync_more.notify_all();
    static bool waited = false;
    if (!waited && fsync_threads.size() == 1) {
      waited = true;
      fsync_more.wait_for(hold, std::chrono::seconds(3), [] { return fsync_threads.size() > 1; });
    }
  }
  return static_cast<int>(::syscall(SYS_fsync, fd));
}

namespace {

struct path_case {
  const char* name;
  std::function<void(const scratch_dir&)> meanwhile;  // done to the tree once s/a/b is open
  const char* now;  // where that directory is then, below the scratch directory
};
void PrintTo(const path_case& c, std::ostream* os) { *os << c.name; }

class DirectoryPath : public testing::TestWithParam<path_case> {};

// Whatever became of the path by which a directory was opened, its path is
// where it is now, with no link in it.
TEST_P(DirectoryPath, IsWhereTheOpenDirectoryIsNow) {
  const path_case& c = GetParam();
  scratch_dir s;
  fs::create_directories(s.path("a/b"));
  const std::string opened_as = s.path("a/b");
  const int fd = ::open(opened_as.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  c.meanwhile(s);
  const std::string want = real(s.dir) + "/" + c.now;
  EXPECT_EQ(morek::climbed_path(fd), want);
  EXPECT_EQ(morek::directory_path(opened_as, fd), want);
  ::close(fd);
}

const path_case path_cases[] = {
    {"unchanged", [](const scratch_dir&) {}, "a/b"},
    {"itself_renamed", [](const scratch_dir& s) { fs::rename(s.path("a/b"), s.path("a/z")); }, "a/z"},
    {"a_directory_above_renamed", [](const scratch_dir& s) { fs::rename(s.path("a"), s.path("c")); }, "c/b"},
    {"a_directory_above_swapped_for_a_link_to_a_lookalike",
     [](const scratch_dir& s) {
       // The old path now leads to another directory b, through a link.
       fs::rename(s.path("a"), s.path("moved"));
       fs::create_directories(s.path("other/b"));
       fs::create_directory_symlink("other", s.path("a"));
     },
     "moved/b"},
    {"moved_below_a_sibling",
     [](const scratch_dir& s) {
       fs::create_directories(s.path("x/y"));
       fs::rename(s.path("a"), s.path("x/y/a"));
     },
     "x/y/a/b"},
};
INSTANTIATE_TEST_SUITE_P(Table, DirectoryPath, testing::ValuesIn(path_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DirectoryPath, OfTheRootAndThroughALink) {
  if (emulated) GTEST_SKIP() << "qemu-user shows its library prefix as the root";
  const int root = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(root, 0);
  EXPECT_EQ(morek::climbed_path(root), "/");
  EXPECT_EQ(morek::directory_path("/", root), "/");
  ::close(root);
  scratch_dir s;
  fs::create_directories(s.path("a/b"));
  fs::create_directory_symlink("a/b", s.path("l"));
  const int fd = ::open(s.path("l").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(morek::climbed_path(fd), real(s.dir) + "/a/b");
  EXPECT_EQ(morek::directory_path(s.path("l"), fd), real(s.dir) + "/a/b");
  ::close(fd);
}

// New files made durable by syncing each, from a pool of threads: each
// file's bytes are what was written, and a sync that cannot be done fails
// the whole with its errno.
TEST(SyncEach, SyncsEveryFileOrSaysWhyNot) {
  if (emulated) GTEST_SKIP() << "does not end under qemu-user; not yet understood";
  scratch_dir s;
  const int dir = ::open(s.dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(dir, 0);
  auto name = [](int k) {
    std::string n = "f";
    n += std::to_string(k);
    return n;
  };
  auto bytes_of = [](int k) { return std::string(static_cast<std::size_t>(k) * 1000, 'x') + std::to_string(k); };
  for (int count : {1, 2, 40}) {
    std::vector<morek::new_file> files(static_cast<std::size_t>(count));
    std::vector<const morek::new_file*> pointers;
    for (int k = 0; k < count; ++k) {
      morek::new_file& f = files[static_cast<std::size_t>(k)];
      ASSERT_TRUE(morek::create_beside(dir, name(k), f));
      const std::string bytes = bytes_of(k);
      ASSERT_EQ(::write(f.fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
      pointers.push_back(&f);
    }
    EXPECT_TRUE(morek::sync_each(pointers)) << count;
    EXPECT_TRUE(morek::make_durable(pointers)) << count;
    // Helpers as the files need them, up to a limit, and kept: several
    // files wait at once only if they started.
    EXPECT_GE(morek::sync_helpers(), std::min<std::size_t>(static_cast<std::size_t>(count) - 1, 7)) << count;
    EXPECT_LE(morek::sync_helpers(), 7U) << count;
    for (int k = 0; k < count; ++k) {
      morek::new_file& f = files[static_cast<std::size_t>(k)];
      ASSERT_TRUE(morek::put_in_place(f, name(k)));
      EXPECT_EQ(read_file(s.path(name(k))), bytes_of(k));
    }
  }
  // Rounds of every size, one after another, as batches come: each round's
  // helpers are done with its files before it returns, and a late helper
  // never syncs a round that has ended (the files of which are gone).
  for (int round = 0; round < 300; ++round) {
    const int count = round % 13;
    std::vector<morek::new_file> files(static_cast<std::size_t>(count));
    std::vector<const morek::new_file*> pointers;
    for (morek::new_file& f : files) {
      ASSERT_TRUE(morek::create_beside(dir, "r", f));
      pointers.push_back(&f);
    }
    ASSERT_TRUE(morek::sync_each(pointers)) << round;
    for (morek::new_file& f : files) {
      ::close(f.fd);
      f.fd = -1;  // a sync of it after this round would fail
      morek::discard(f);
    }
  }
  // One descriptor that is no file, among good ones; then a directory that is none.
  std::vector<morek::new_file> files(3);
  std::vector<const morek::new_file*> pointers;
  for (morek::new_file& f : files) {
    ASSERT_TRUE(morek::create_beside(dir, "g", f));
    pointers.push_back(&f);
  }
  const int good = files[1].fd;
  files[1].fd = 1000;
  errno = 0;
  EXPECT_FALSE(morek::sync_each(pointers));
  EXPECT_EQ(errno, EBADF);
  files[1].fd = good;
  const int good_dir = files[2].dir;
  files[2].dir = 1000;
  errno = 0;
  EXPECT_FALSE(morek::sync_each(pointers));
  EXPECT_EQ(errno, EBADF);
  files[2].dir = good_dir;
  for (morek::new_file& f : files) morek::discard(f);
  EXPECT_EQ(std::distance(fs::directory_iterator(s.dir), fs::directory_iterator()), 40);
  morek::release_forgotten();
  ::close(dir);
}

// The first round of a run, in a process of its own: the helpers it starts
// sync its files beside the caller, not from the next round on.
TEST(SyncEach, HelpersJoinTheRoundThatStartsThem) {
  if (emulated) GTEST_SKIP() << "does not end under qemu-user; not yet understood";
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a new process: no helpers yet
  EXPECT_EXIT(
      {
        scratch_dir s;
        const int dir = ::open(s.dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        std::vector<morek::new_file> files(8);
        std::vector<const morek::new_file*> pointers;
        for (morek::new_file& f : files) {
          if (dir < 0 || !morek::create_beside(dir, "f", f)) std::_Exit(3);
          pointers.push_back(&f);
        }
        if (morek::sync_helpers() != 0) std::_Exit(4);
        fsync_watched.store(true);
        const bool synced = morek::sync_each(pointers);
        fsync_watched.store(false);
        for (morek::new_file& f : files) morek::discard(f);
        std::_Exit(!synced ? 5 : fsync_threads.size() < 2 ? 6 : 0);
      },
      testing::ExitedWithCode(0), "");
}

struct attributes_case {
  const char* name;
  std::vector<std::pair<const char*, const char*>> from, to;
  bool already_there;
};
void PrintTo(const attributes_case& c, std::ostream* os) { *os << c.name; }

class AttributesAlreadyThere : public testing::TestWithParam<attributes_case> {};

// What a build without libacl and libattr asks before it replaces a file:
// every attribute of the old file is on the new one, with the same value.
TEST_P(AttributesAlreadyThere, OnlyWhenEachHasItsValue) {
  const attributes_case& c = GetParam();
  scratch_dir s;
  const std::string from = s.write("from", "x"), to = s.write("to", "x");
  for (const auto& [path, attributes] : {std::pair{from, c.from}, std::pair{to, c.to}})
    for (const auto& [name, value] : attributes)
      if (::setxattr(path.c_str(), name, value, std::strlen(value), 0) != 0) {
        GTEST_SKIP() << "the filesystem of " << s.dir << " has no user attributes";
      }
  const int from_fd = ::open(from.c_str(), O_RDONLY | O_CLOEXEC), to_fd = ::open(to.c_str(), O_RDONLY | O_CLOEXEC);
  errno = 0;
  EXPECT_EQ(morek::attributes_already_there(from_fd, to_fd), c.already_there);
  if (!c.already_there) {
    EXPECT_EQ(errno, ENOTSUP);
  }
  ::close(from_fd);
  ::close(to_fd);
}

const attributes_case attributes_cases[] = {
    {"none", {}, {}, true},
    {"only_on_the_new_file", {}, {{"user.a", "1"}}, true},
    {"the_same", {{"user.a", "1"}, {"user.b", ""}}, {{"user.b", ""}, {"user.a", "1"}}, true},
    {"missing", {{"user.a", "1"}}, {}, false},
    {"one_of_two_missing", {{"user.a", "1"}, {"user.b", "2"}}, {{"user.a", "1"}}, false},
    {"another_value", {{"user.a", "1"}}, {{"user.a", "2"}}, false},
    {"a_longer_value", {{"user.a", "1"}}, {{"user.a", "12"}}, false},
    {"empty_against_a_value", {{"user.a", ""}}, {{"user.a", "0"}}, false},
};
INSTANTIATE_TEST_SUITE_P(Table, AttributesAlreadyThere, testing::ValuesIn(attributes_cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
