// Files worked on at once (-j): generated trees of every kind of file, run
// one file at a time and four at a time, must give the same output, the same
// messages, the same status and the same trees, byte for byte; and a signal
// in the middle of a run over many files at once leaves each file whole.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "run_tool.hpp"
#include "test_support.hpp"

namespace fs = std::filesystem;

namespace {

const bool root = geteuid() == 0;

bool sh(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

std::string random_line(rng& r) {
  static const char* const pieces[] = {"\t", "    ", "  ", " ", "x", "int", "=", ";", "\"a  \tb\"", "'c'", "# c  ",
                                       "\xe4\xb8\xad", "\r", "# morek: off ", "// morek: on "};
  std::string line;
  for (int k = r.below(8); k > 0; --k) line += pieces[r.below(r.below(4) == 0 ? 15 : 13)];
  return line + (r.below(10) == 0 ? "\r\n" : "\n");
}

std::string random_text(rng& r, int lines) {
  std::string t;
  for (int k = 0; k < lines; ++k) t += random_line(r);
  if (r.below(4) == 0 && !t.empty()) t.pop_back();  // no final newline
  return t;
}

// A tree of files of every kind a run meets, from the seed: files to change
// and files converted already, in languages and as text; binary and UTF-16
// files, unreadable ones, hard links, FIFOs, links, Python and YAML that a
// conversion would break, makefiles, large files, regions left alone,
// .editorconfig files (one of them malformed now and then), and, half the
// time, a git work tree with files it ignores.
void make_tree(const std::string& at, rng& r) {
  fs::create_directories(at);
  const char* const dirs[] = {"", "src/", "src/lib/", "docs/", "deep/a/b/"};
  const char* const names[] = {"a.c", "b.py", "c.sh", "d.txt", "e.go", "f.yml", "Makefile", "g.rb", "h", "i.js"};
  for (const char* d : dirs) {
    fs::create_directories(at + "/" + d);
    for (int k = 0; k < 8 + r.below(12); ++k) {
      std::string name = std::string(d) + std::to_string(k) + "-" + names[r.below(10)];
      std::string text = random_text(r, r.below(30));
      const int kind = r.below(40);
      if (kind == 0) text = std::string("\tx\0\n", 4);
      if (kind == 1) text = "\xff\xfe\tx\n";
      if (kind == 2) text = "if x:\n    if y:\n        z = 1\n";  // no tab may make it
      if (kind == 3) {
        text.clear();
        while (text.size() < 300000) text += "\tint  x = 1;  /* c */\n";
      }
      if (kind == 4) text = "#!/usr/bin/env python3\nif x:\n\tif y:\n\t\tz = 1\n";
      std::ofstream(at + "/" + name, std::ios::binary) << text;
      if (kind == 5) fs::permissions(at + "/" + name, fs::perms::none);
      if (kind == 6) fs::create_hard_link(at + "/" + name, at + "/" + name + ".link");
      if (kind == 7) fs::create_symlink(std::to_string(k) + "-" + names[0], at + "/" + name + ".sym");
    }
    if (r.below(3) == 0) {
      const std::string ec = r.below(6) == 0 ? "[*\n" : "[*]\nindent_style = " + std::string(r.below(2) ? "tab" : "space") +
                                                          "\nindent_size = " + std::to_string(2 + r.below(3)) +
                                                          "\ninsert_final_newline = true\n[*.py]\nindent_style = space\n";
      std::ofstream(at + "/" + d + ".editorconfig") << (std::string(d).empty() ? "root = true\n" : "") << ec;
    }
  }
  ASSERT_EQ(mkfifo((at + "/pipe").c_str(), 0644), 0);
  if (r.below(2) == 0) {
    std::ofstream(at + "/.gitignore") << "*-d.txt\n";
    ASSERT_TRUE(sh("cd '" + at + "' && git init -q && git add .gitignore src docs"));
  }
}

// What a tree holds: each path, its kind, mode, links and bytes.
std::map<std::string, std::string> contents(const std::string& at) {
  std::map<std::string, std::string> r;
  for (const auto& e : fs::recursive_directory_iterator(at)) {
    const std::string rel = e.path().string().substr(at.size());
    if (rel.starts_with("/.git/")) continue;
    struct stat st {};
    lstat(e.path().c_str(), &st);
    std::string what = std::to_string(st.st_mode) + " " + std::to_string(st.st_nlink) + " ";
    if (S_ISLNK(st.st_mode)) what += fs::read_symlink(e.path()).string();
    if (S_ISREG(st.st_mode)) {
      chmod(e.path().c_str(), st.st_mode | S_IRUSR);
      what += read_file(e.path().string());
      chmod(e.path().c_str(), st.st_mode);
    }
    r[rel] = what;
  }
  return r;
}

TEST(Jobs, ManyAtOnceAsOneAtATime) {
  const std::vector<std::vector<std::string>> modes = {
      {"--check", "8", "4"},          {"--diff", "8", "4"},       {"-i", "8", "4"},
      {"--check", "--editorconfig"},  {"--diff", "--editorconfig"}, {"-i", "--editorconfig"},
      {"--editorconfig", "--show-settings"}, {"--check", "-c", "--spaces", "4"}, {"-i", "-t", "--indent-only", "4", "4"},
      {"--diff", "--lang=c", "4", "8"}};
  rng r{0x10b5a7a11ULL};
  int differing_runs = 0;
  for (int round = 0; round < 4; ++round) {
    scratch_dir s;
    if (root) {
      ASSERT_EQ(chown(s.dir.c_str(), 65534, 65534), 0);
    }
    make_tree(s.path("tree"), r);
    if (root) {
      ASSERT_TRUE(sh("chown -R 65534:65534 '" + s.path("tree") + "'"));
    }
    // Named files besides the tree: some twice, one missing, a FIFO, a directory.
    std::vector<std::string> operands = {"."};
    for (const auto& e : fs::recursive_directory_iterator(s.path("tree")))
      if (e.is_regular_file() && r.below(12) == 0 && e.path().string().find("/.git/") == std::string::npos)
        operands.push_back(e.path().string().substr(s.path("tree/").size()));
    operands.insert(operands.end(), {"missing.c", "pipe", "src", operands.back()});
    for (const auto& mode : modes) {
      std::map<std::string, std::string> trees[2];
      tool_result results[2];
      for (int k = 0; k < 2; ++k) {
        const std::string copy = s.path(k == 0 ? "one" : "four");
        ASSERT_TRUE(sh("rm -rf '" + copy + "' && cp -a '" + s.path("tree") + "' '" + copy + "'"));
        std::vector<std::string> args = {k == 0 ? "-j1" : "-j4"};
        args.insert(args.end(), mode.begin(), mode.end());
        args.insert(args.end(), operands.begin(), operands.end());
        run_options opt;
        opt.cwd = copy.c_str();
        opt.as_nobody = root;
        if (k == 1 && round % 3 == 1) opt.nofile_limit = 24;  // batches of one, and a window of one
        results[k] = run_tool_with(args, opt);
        trees[k] = contents(copy);
      }
      const std::string what = "round " + std::to_string(round) + " " + testing::PrintToString(mode);
      // A refused .editorconfig is named by its absolute path, in its own copy.
      for (std::string* said : {&results[1].out, &results[1].err})
        for (std::size_t at; (at = said->find(s.path("four/"))) != std::string::npos;)
          said->replace(at, s.path("four/").size(), s.path("one/"));
      EXPECT_EQ(results[1].out, results[0].out) << what;
      EXPECT_EQ(results[1].err, results[0].err) << what;
      EXPECT_EQ(results[1].status, results[0].status) << what;
      EXPECT_TRUE(trees[1] == trees[0]) << what;
      for (const auto& [path, what_is] : trees[1]) EXPECT_EQ(path.find(".morek-"), std::string::npos) << path;
      // The run did something worth comparing.
      EXPECT_NE(results[0].status, -1);
      differing_runs += results[0].status != 0 && !results[0].err.empty();
    }
  }
  EXPECT_GT(differing_runs, 10) << "the trees hold failures and notes";
}

// A signal in the middle of a run over many files at once: every file is
// either as it was or its whole conversion, and no new file is left behind.
TEST(Jobs, SignalLeavesEveryFileWhole) {
  std::string before, after;
  for (int k = 0; k < 4000; ++k) {
    before += "\tint        x = 1;\n";
    after += "\t\tint\t\t   x = 1;\n";
  }
  int caught = 0;
  for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
    scratch_dir s;
    std::vector<std::string> args = {"-j4", "-i", "8", "4"};
    for (int k = 0; k < 600; ++k) {
      const std::string name = "d" + std::to_string(k % 7) + "/f" + std::to_string(k) + ".c";
      args.push_back(s.write(name, before));
    }
    const std::string err = s.path("err");
    const pid_t pid = start_tool(args, "/dev/null", "/dev/null", err);
    // Some files converted, the run not over.
    const bool started = wait_for([&] {
      for (std::size_t k = 4; k < args.size(); k += 50)
        if (read_file(args[k]).size() != before.size()) return true;
      return false;
    });
    kill(pid, sig);
    const int status = wait_tool(pid);
    ASSERT_TRUE(started);
    int old_files = 0, new_files = 0;
    for (std::size_t k = 4; k < args.size(); ++k) {
      const std::string now = read_file(args[k]);
      old_files += now == before;
      new_files += now == after;
      EXPECT_TRUE(now == before || now == after) << args[k] << " is neither old nor new";
    }
    for (const auto& e : fs::recursive_directory_iterator(s.dir))
      EXPECT_EQ(e.path().filename().string().find(".morek-"), std::string::npos) << e.path();
    if (status == 0) continue;  // the run ended before the signal came
    ++caught;
    EXPECT_EQ(status, 128 + sig);
    EXPECT_EQ(read_file(err), "");
    EXPECT_GT(old_files, 0);
    EXPECT_GT(new_files, 0);
  }
  EXPECT_GT(caught, 0) << "every run ended before its signal";
}

}  // namespace
