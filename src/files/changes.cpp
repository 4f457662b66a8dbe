#include "changes.hpp"

#include <set>
#include <vector>

#include "git.hpp"

namespace morek {

namespace {

// The next line of t from at on, without its LF; at moves past it.
std::string_view line_without_lf(std::string_view t, std::size_t& at) {
  std::size_t end = t.find('\n', at);
  if (end == std::string_view::npos) end = t.size();
  const std::string_view line = t.substr(at, end - at);
  at = end + 1;
  return line;
}

// A name as git writes it in a patch: as it is, or in double quotes with C's
// escapes where it holds a byte that needs one.
bool unquoted(std::string_view s, std::string& name) {
  name.clear();
  if (s.empty() || s[0] != '"') {
    name = s;
    return true;
  }
  for (std::size_t i = 1; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"') return i + 1 == s.size();
    if (c != '\\') {
      name += c;
      continue;
    }
    if (++i == s.size()) return false;
    const char e = s[i];
    if (e >= '0' && e <= '7') {
      int v = 0;
      for (int k = 0; k < 3 && i < s.size() && s[i] >= '0' && s[i] <= '7'; ++k, ++i) v = v * 8 + (s[i] - '0');
      --i;
      name += static_cast<char>(v);
      continue;
    }
    static constexpr std::string_view from = "abtnvfr\"\\", to = "\a\b\t\n\v\f\r\"\\";
    const std::size_t k = from.find(e);
    if (k == std::string_view::npos) return false;
    name += to[k];
  }
  return false;
}

// "N" or "N,M" at the start of s: the first line and how many; s moves past it.
bool range_of(std::string_view& s, std::size_t& first, std::size_t& count) {
  auto number = [&](std::size_t& v) {
    if (s.empty() || s[0] < '0' || s[0] > '9') return false;
    v = 0;
    while (!s.empty() && s[0] >= '0' && s[0] <= '9') {
      v = v * 10 + static_cast<std::size_t>(s[0] - '0');
      s.remove_prefix(1);
    }
    return true;
  };
  count = 1;
  if (!number(first)) return false;
  if (!s.empty() && s[0] == ',') {
    s.remove_prefix(1);
    return number(count);
  }
  return true;
}

void add_line(line_selection& lines, std::size_t k) {
  if (!lines.empty() && lines.back().last + 1 == k)
    lines.back().last = k;
  else
    lines.push_back({k, k});
}

// The names of the filter drivers that the configuration defines: each could
// name a program that git would run on the tree's files.
std::set<std::string> filter_drivers(int dir) {
  static const std::string args[] = {"config", "-z", "--get-regexp", "^filter\\."};
  const git_run run = run_git(dir, args);
  std::set<std::string> names;
  if (!run.ok()) return names;
  for (std::size_t at = 0; at < run.out.size();) {
    std::size_t end = run.out.find('\0', at);
    if (end == std::string::npos) end = run.out.size();
    const std::string_view entry(run.out.data() + at, end - at);
    at = end + 1;
    const std::string_view key = entry.substr(0, entry.find('\n'));
    const std::size_t dot = key.rfind('.');
    if (dot != std::string_view::npos && dot > 7) names.emplace(key.substr(7, dot - 7));
  }
  return names;
}

}  // namespace

bool added_lines(std::string_view patch, std::map<std::string, line_selection>& files) {
  line_selection* into = nullptr;  // the file of the hunks that follow
  bool named = false;              // they have one, or are taken away
  line_selection gone;             // the lines of a file taken away
  std::string name;
  for (std::size_t at = 0; at < patch.size();) {
    const std::string_view line = line_without_lf(patch, at);
    if (line.starts_with("diff ")) {
      into = nullptr;
      named = false;
    } else if (line.starts_with("+++ ")) {
      std::string_view shown = line.substr(4);
      named = true;
      if (shown == "/dev/null") {
        into = &gone;
        continue;
      }
      // A name with a blank ends in a tab, which a name of its own would
      // have quoted.
      if (!shown.empty() && shown[0] != '"' && shown.back() == '\t') shown.remove_suffix(1);
      if (!unquoted(shown, name) || !name.starts_with("b/")) return false;
      into = &files[name.substr(2)];
    } else if (line.starts_with("@@ -")) {
      std::string_view h = line.substr(4);
      std::size_t old_first = 0, old_left = 0, next = 0, new_left = 0;
      if (!range_of(h, old_first, old_left) || !h.starts_with(" +")) return false;
      h.remove_prefix(2);
      if (!range_of(h, next, new_left) || !named) return false;
      // Context lines, where the configuration gives some, count on both
      // sides; only added lines are taken.
      while ((old_left > 0 || new_left > 0) && at < patch.size()) {
        const std::string_view body = line_without_lf(patch, at);
        const char c = body.empty() ? ' ' : body[0];
        if (c == '\\') continue;  // no line end at the end
        if (c == '-' && old_left > 0) {
          --old_left;
        } else if (c == '+' && new_left > 0) {
          add_line(*into, next++);
          --new_left;
        } else if (c == ' ' && old_left > 0 && new_left > 0) {
          --old_left;
          --new_left;
          ++next;
        } else {
          return false;
        }
      }
      if (old_left > 0 || new_left > 0) return false;
    }
  }
  return true;
}

change_set changes_since(int dir, const std::string& ref, bool lines) {
  change_set c;
  // The revision, as one commit: a name that is not one is an error of its
  // own, and the diff then reads no name as a path.
  const std::string verify[] = {"rev-parse", "-q", "--verify", "--end-of-options", ref + "^{commit}"};
  git_run run = run_git(dir, verify);
  if (run.how != git_run::end::exited) {
    c.error = run.why();
    return c;
  }
  if (!run.ok()) {
    for (const std::string& said : run.said())
      if (said.find("not a git repository") != std::string::npos) {
        c.error = "not in a git work tree";
        return c;
      }
    c.error = run.status == 1 ? ref + ": no such revision" : run.why();
    return c;
  }
  const std::string commit = run.out.substr(0, run.out.find('\n'));
  // A clean filter runs when git reads a file of the tree to compare it; none
  // may, and none is required.
  std::vector<std::string> args;
  for (const std::string& name : filter_drivers(dir)) {
    if (name.find('=') != std::string::npos) {
      c.error = "a filter driver's name holds '=', which git's -c cannot turn off; not compared";
      return c;
    }
    for (const char* key : {".clean=", ".smudge=", ".process=", ".required=false"}) {
      args.emplace_back("-c");
      args.push_back("filter." + name + key);
    }
  }
  for (const char* a : {"-c", "core.quotePath=false", "-c", "diff.noprefix=false", "diff", "--no-ext-diff",
                        "--no-textconv", "--no-color", "--relative", "--ignore-submodules=all", "--diff-filter=d"})
    args.emplace_back(a);
  if (lines) {
    for (const char* a : {"--find-renames", "--text", "-U0", "--inter-hunk-context=0", "--src-prefix=a/",
                          "--dst-prefix=b/"})
      args.emplace_back(a);
  } else {
    for (const char* a : {"--no-renames", "--name-only", "-z"}) args.emplace_back(a);
  }
  args.push_back(commit);
  args.emplace_back("--");
  run = run_git(dir, args);
  if (!run.ok()) {
    c.error = run.how == git_run::end::timed_out ? "git did not compare it within " + std::to_string(run.seconds) +
                                                       " s (is a file it reads a FIFO?); stopped"
                                                 : run.why();
    return c;
  }
  if (lines) {
    if (!added_lines(run.out, c.files)) {
      c.files.clear();
      c.error = "git's diff could not be read";
      return c;
    }
    std::erase_if(c.files, [](const auto& f) { return f.second.empty(); });
  } else {
    for (std::size_t at = 0; at < run.out.size();) {
      std::size_t end = run.out.find('\0', at);
      if (end == std::string::npos) end = run.out.size();
      if (end > at) c.files.try_emplace(run.out.substr(at, end - at));
      at = end + 1;
    }
  }
  static const std::string others[] = {"ls-files", "-z", "--others", "--exclude-standard"};
  run = run_git(dir, others);
  if (!run.ok()) {
    c.files.clear();
    c.error = run.why();
    return c;
  }
  for (std::size_t at = 0; at < run.out.size();) {
    std::size_t end = run.out.find('\0', at);
    if (end == std::string::npos) end = run.out.size();
    if (end > at && run.out[end - 1] != '/') {
      line_selection& l = c.files[run.out.substr(at, end - at)];
      if (lines) l = {EVERY_LINE};
    }
    at = end + 1;
  }
  return c;
}

}  // namespace morek
