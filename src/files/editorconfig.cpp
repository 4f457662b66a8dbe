#include "editorconfig.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

#include "morek_config.h"

namespace morek {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// A ';' or '#' after a blank starts a comment, to the end of the line.
bool comment_at(std::string_view s, std::size_t i) {
  return (s[i] == ';' || s[i] == '#') && i > 0 && (is_blank(s[i - 1]) || s[i - 1] == '\n');
}

// Where the first c stands in s from `from` on, before any comment; npos
// when none does. c = '\0': where the comment starts, or the end of s.
std::size_t first_before_comment(std::string_view s, std::size_t from, char c) {
  for (std::size_t i = from; i < s.size(); ++i) {
    if (s[i] == c) return i;
    if (comment_at(s, i)) return c == '\0' ? i : std::string_view::npos;
  }
  return c == '\0' ? s.size() : std::string_view::npos;
}

// Where the last c stands in s from `from` on, before any comment.
std::size_t last_before_comment(std::string_view s, std::size_t from, char c) {
  std::size_t last = std::string_view::npos;
  for (std::size_t i = from; i < s.size() && !comment_at(s, i); ++i)
    if (s[i] == c) last = i;
  return last;
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

// "n1..n2", each with an optional sign: the two numbers.
bool number_range(std::string_view s, long long& lo, long long& hi) {
  const std::size_t dots = s.find("..");
  if (dots == std::string_view::npos) return false;
  auto number = [](std::string_view t, long long& v) {
    bool neg = !t.empty() && t[0] == '-';
    if (neg || (!t.empty() && t[0] == '+')) t.remove_prefix(1);
    if (t.empty() || t.size() > 18) return false;
    v = 0;
    for (char c : t) {
      if (c < '0' || c > '9') return false;
      v = v * 10 + (c - '0');
    }
    if (neg) v = -v;
    return true;
  };
  // As the C core takes them: any two integers; a range whose first is past
  // its second matches nothing.
  return number(s.substr(0, dots), lo) && number(s.substr(dots + 2), hi);
}

}  // namespace

// Thompson's construction: each piece of the glob becomes a fragment whose
// loose ends are patched to what follows it.
struct glob_compiler {
  ec_glob& g;
  std::string& why;
  // The whole glob, which every piece compiled is a view into, and where the
  // next ']' and '/' stand from each place in it: found once, so that no
  // scan goes over the same bytes again and compiling stays linear.
  std::string_view whole;
  std::vector<std::uint32_t> next_bracket, next_slash;
  // closing_brace's answers, by where the '{' and the view end.
  std::map<std::pair<std::size_t, std::size_t>, std::pair<std::size_t, bool>> closings;

  glob_compiler(ec_glob& glob_out, std::string& why_out, std::string_view glob) : g(glob_out), why(why_out) {
    index(glob);
  }
  void index(std::string_view glob) {
    whole = glob;
    const auto n = static_cast<std::uint32_t>(glob.size());
    next_bracket.assign(n + 1, n);
    next_slash.assign(n + 1, n);
    // A ']' after an odd run of backslashes is escaped: it closes nothing.
    std::vector<bool> escaped(n + 1, false);
    std::uint32_t run = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
      escaped[i] = run % 2 == 1;
      run = glob[i] == '\\' ? run + 1 : 0;
    }
    for (std::uint32_t i = n; i-- > 0;) {
      next_bracket[i] = glob[i] == ']' && !escaped[i] ? i : next_bracket[i + 1];
      next_slash[i] = glob[i] == '/' ? i : next_slash[i + 1];
    }
  }
  std::size_t at(std::string_view s, std::size_t i) const { return static_cast<std::size_t>(s.data() - whole.data()) + i; }
  // The first ']' in s from i on that no backslash escapes, npos when none;
  // s[i - 1] is no backslash.
  std::size_t bracket_from(std::string_view s, std::size_t i) const {
    if (i >= s.size()) return std::string_view::npos;
    const std::size_t k = next_bracket[at(s, i)] - at(s, 0);
    return k < s.size() ? k : std::string_view::npos;
  }
  bool slash_between(std::string_view s, std::size_t from, std::size_t to) const {
    return next_slash[at(s, from)] - at(s, 0) < to;
  }

  // Where the '}' that closes the '{' at open stands, and whether a ',' stands
  // at its own level between them; npos when nothing closes it. A '{' met on
  // the way is skipped to its own '}', known once.
  std::size_t closing_brace(std::string_view g, std::size_t open, bool& has_comma) {
    const auto key = std::make_pair(at(g, open), at(g, g.size()));
    if (auto it = closings.find(key); it != closings.end()) {
      has_comma = it->second.second;
      return it->second.first;
    }
    has_comma = false;
    std::size_t result = std::string_view::npos;
    for (std::size_t i = open + 1; i < g.size(); ++i) {
      if (g[i] == '\\') {
        ++i;
      } else if (g[i] == '[') {
        const std::size_t close = bracket_from(g, i + 1);
        if (close != std::string_view::npos && !slash_between(g, i, close)) i = close;
      } else if (g[i] == '{') {
        bool inner_comma = false;
        i = closing_brace(g, i, inner_comma);
        if (i == std::string_view::npos) break;
      } else if (g[i] == '}') {
        result = i;
        break;
      } else if (g[i] == ',') {
        has_comma = true;
      }
    }
    if (result == std::string_view::npos) has_comma = false;
    closings[key] = {result, has_comma};
    return result;
  }

  using loose = std::vector<std::pair<std::uint32_t, bool>>;  // state, and whether its second way out
  struct fragment {
    std::uint32_t start;
    loose ends;
  };

  bool full() {
    if (g.states_.size() < EC_MAX_STATES) return false;
    why = "glob too complex";
    return true;
  }
  std::uint32_t add(ec_glob::state s) {
    g.states_.push_back(s);
    return static_cast<std::uint32_t>(g.states_.size() - 1);
  }
  void patch(const loose& ends, std::uint32_t to) {
    for (auto [s, second] : ends) (second ? g.states_[s].out2 : g.states_[s].out) = to;
  }
  fragment single(ec_glob::op kind, unsigned char byte = 0, std::int32_t set = -1) {
    const std::uint32_t s = add({kind, byte, 0, 0, set});
    return {s, {{s, false}}};
  }
  // Zero or more of one step that takes any byte (or any but '/').
  fragment repeat(ec_glob::op step) {
    const std::uint32_t split = add({ec_glob::op::split, 0, 0, 0, -1});
    const std::uint32_t take = add({step, 0, split, 0, -1});
    g.states_[split].out = take;
    return {split, {{split, true}}};
  }
  // Nothing, or any bytes and a '/': a "**/" that may stand for no directory.
  fragment any_directories() {
    const std::uint32_t skip = add({ec_glob::op::split, 0, 0, 0, -1});
    const std::uint32_t take = add({ec_glob::op::any, 0, 0, 0, -1});
    const std::uint32_t more = add({ec_glob::op::split, 0, take, 0, -1});
    const std::uint32_t slash = add({ec_glob::op::byte, '/', 0, 0, -1});
    g.states_[skip].out = take;
    g.states_[take].out = more;
    g.states_[more].out2 = slash;
    return {skip, {{skip, true}, {slash, false}}};
  }

  // Compiles s into a fragment; false past a limit.
  bool sequence(std::string_view s, std::size_t depth, fragment& result) {
    if (depth > EC_MAX_NESTING) {
      why = "braces nested too deeply";
      return false;
    }
    std::vector<fragment> parts;
    for (std::size_t i = 0; i < s.size(); ++i) {
      if (full()) return false;
      const unsigned char c = static_cast<unsigned char>(s[i]);
      if (c == '\\' && i + 1 < s.size()) {
        parts.push_back(single(ec_glob::op::byte, static_cast<unsigned char>(s[++i])));
      } else if (c == '*') {
        if (i + 1 < s.size() && s[i + 1] == '*') {
          ++i;
          const bool whole_directories = (i == 1 || s[i - 2] == '/') && i + 1 < s.size() && s[i + 1] == '/';
          if (whole_directories) {
            parts.push_back(any_directories());
            ++i;  // the '/' is part of it
          } else {
            parts.push_back(repeat(ec_glob::op::any));
          }
        } else {
          parts.push_back(repeat(ec_glob::op::any_but_slash));
        }
      } else if (c == '?') {
        parts.push_back(single(ec_glob::op::any_but_slash));
      } else if (c == '[' && bracket(s, i, parts)) {
      } else if (c == '{') {
        bool comma = false;
        const std::size_t close = closing_brace(s, i, comma);
        long long lo = 0, hi = 0;
        if (close == std::string_view::npos) {
          parts.push_back(single(ec_glob::op::byte, c));
        } else if (comma) {
          fragment alt;
          if (!alternatives(s.substr(i + 1, close - i - 1), depth + 1, alt)) return false;
          parts.push_back(std::move(alt));
          i = close;
        } else if (number_range(s.substr(i + 1, close - i - 1), lo, hi)) {
          g.ranges_.emplace_back(lo, hi);
          parts.push_back(single(ec_glob::op::number, 0, static_cast<std::int32_t>(g.ranges_.size() - 1)));
          i = close;
        } else {
          parts.push_back(single(ec_glob::op::byte, c));  // "{s1}" is itself
        }
      } else {
        parts.push_back(single(ec_glob::op::byte, c));
      }
    }
    if (parts.empty()) {
      // Matches the empty string: a split whose both ways lead on.
      const std::uint32_t s0 = add({ec_glob::op::split, 0, 0, 0, -1});
      result = {s0, {{s0, false}, {s0, true}}};
      return true;
    }
    for (std::size_t k = 0; k + 1 < parts.size(); ++k) patch(parts[k].ends, parts[k + 1].start);
    result = {parts.front().start, std::move(parts.back().ends)};
    return true;
  }

  // "[seq]" or "[!seq]" at s[i]: false (s[i] is then a plain '[') when
  // nothing closes it, or it would hold a '/'.
  bool bracket(std::string_view s, std::size_t& i, std::vector<fragment>& parts) {
    std::size_t j = i + 1;
    const bool negated = j < s.size() && s[j] == '!';
    if (negated) ++j;
    const std::size_t first = j;
    if (j < s.size() && s[j] == ']') ++j;  // a ']' first is one of the set
    j = bracket_from(s, j);
    if (j == std::string_view::npos || slash_between(s, i, j)) return false;
    ec_glob::byte_set set;
    for (std::size_t k = first; k < j; ++k) {
      unsigned char lo = static_cast<unsigned char>(s[k]), hi = lo;
      if (lo == '\\' && k + 1 < j) lo = hi = static_cast<unsigned char>(s[++k]);
      if (k + 2 < j && s[k + 1] == '-') {
        hi = static_cast<unsigned char>(s[k + 2]);
        k += 2;
      }
      for (unsigned v = lo; v <= hi; ++v) set.bits[v >> 6] |= std::uint64_t{1} << (v & 63);
    }
    if (negated)
      for (auto& b : set.bits) b = ~b;
    set.bits['/' >> 6] &= ~(std::uint64_t{1} << ('/' & 63));  // a set never takes a separator
    g.sets_.push_back(set);
    parts.push_back(single(ec_glob::op::set, 0, static_cast<std::int32_t>(g.sets_.size() - 1)));
    i = j;
    return true;
  }

  // "a,b,c" inside braces: one of them.
  bool alternatives(std::string_view s, std::size_t depth, fragment& result) {
    std::vector<std::string_view> options;
    int level = 0;
    std::size_t from = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
      if (s[i] == '\\') {
        ++i;
      } else if (s[i] == '{') {
        ++level;
      } else if (s[i] == '}') {
        --level;
      } else if (s[i] == ',' && level == 0) {
        options.push_back(s.substr(from, i - from));
        from = i + 1;
      }
    }
    options.push_back(s.substr(from));
    // The same option twice matches nothing more, and would cost its states
    // again at every byte of every path.
    std::set<std::string_view> distinct;
    options.erase(std::remove_if(options.begin(), options.end(),
                                 [&](std::string_view o) { return !distinct.insert(o).second; }),
                  options.end());
    fragment first;
    if (!sequence(options[0], depth, first)) return false;
    result = std::move(first);
    for (std::size_t k = 1; k < options.size(); ++k) {
      fragment next;
      if (!sequence(options[k], depth, next) || full()) return false;
      const std::uint32_t split = add({ec_glob::op::split, 0, result.start, next.start, -1});
      result.start = split;
      result.ends.insert(result.ends.end(), next.ends.begin(), next.ends.end());
    }
    return true;
  }
};

bool ec_glob::compile(std::string_view section, std::string& why) {
  states_.clear();
  sets_.clear();
  ranges_.clear();
  never_ = !section.empty() && section.back() == '/';
  // A glob with a '/' is anchored where its .editorconfig stands; one
  // without matches at any depth.
  bool has_slash = false;
  {
    const glob_compiler scan(*this, why, section);
    for (std::size_t i = 0; i < section.size(); ++i) {
      if (section[i] == '\\') {
        ++i;
      } else if (section[i] == '[') {
        const std::size_t close = scan.bracket_from(section, i + 1);
        if (close != std::string_view::npos && !scan.slash_between(section, i, close)) i = close;
      } else if (section[i] == '/') {
        has_slash = true;
      }
    }
  }
  std::string glob;
  if (has_slash)
    glob = section.substr(section[0] == '/' ? 1 : 0);
  else
    glob = "**/" + std::string(section);
  glob_compiler c(*this, why, glob);
  glob_compiler::fragment f;
  if (!c.sequence(glob, 0, f) || c.full()) return false;
  c.patch(f.ends, c.add({op::match, 0, 0, 0, -1}));
  start_ = f.start;
  return true;
}

bool ec_glob::matches(std::string_view path) const {
  std::size_t budget = static_cast<std::size_t>(-1);
  return *matches(path, budget);
}

std::optional<bool> ec_glob::matches(std::string_view path, std::size_t& budget) const {
  if (never_ || states_.empty()) return false;
  const std::size_t n = path.size();
  if (at_.size() < n + 1) at_.resize(n + 1);
  for (std::size_t p = 0; p <= n; ++p) at_[p].clear();
  if (seen_.size() != states_.size()) seen_.assign(states_.size(), 0);
  // seen_[s] == generation_ + p: state s was visited at position p.
  const std::uint64_t base = generation_ + 1;
  generation_ += n + 2;
  std::vector<std::uint32_t> stack;
  at_[0].push_back(start_);
  for (std::size_t p = 0; p <= n; ++p) {
    stack.swap(at_[p]);
    while (!stack.empty()) {
      const std::uint32_t s = stack.back();
      stack.pop_back();
      if (seen_[s] == base + p) continue;
      seen_[s] = base + p;
      if (budget == 0) return std::nullopt;
      --budget;
      const state& st = states_[s];
      const unsigned char c = p < n ? static_cast<unsigned char>(path[p]) : 0;
      switch (st.kind) {
        case op::split:
          stack.push_back(st.out);
          stack.push_back(st.out2);
          break;
        case op::match:
          if (p == n) return true;
          break;
        case op::byte:
          if (p < n && c == st.byte) at_[p + 1].push_back(st.out);
          break;
        case op::any_but_slash:
          if (p < n && c != '/') at_[p + 1].push_back(st.out);
          break;
        case op::any:
          if (p < n) at_[p + 1].push_back(st.out);
          break;
        case op::set:
          if (p < n && sets_[static_cast<std::size_t>(st.set)].has(c)) at_[p + 1].push_back(st.out);
          break;
        case op::number: {
          // An integer in the range: an optional sign, then digits, the first
          // of which is no '0' unless it is the only one or a sign stands
          // before it ("0" is zero, "-05" is -5; "060" is no number, as the C
          // core reads it, which takes no "0" either).
          const auto [lo, hi] = ranges_[static_cast<std::size_t>(st.set)];
          std::size_t q = p;
          const bool neg = q < n && path[q] == '-';
          const bool sign = neg || (q < n && path[q] == '+');
          if (sign) ++q;
          if (!sign && q < n && path[q] == '0') {
            if (lo <= 0 && 0 <= hi) at_[q + 1].push_back(st.out);
            break;
          }
          long long v = 0;
          for (std::size_t digits = 0; q < n && path[q] >= '0' && path[q] <= '9' && digits < 18; ++q, ++digits) {
            v = v * 10 + (path[q] - '0');
            const long long signed_v = neg ? -v : v;
            if (signed_v >= lo && signed_v <= hi) at_[q + 1].push_back(st.out);
          }
          break;
        }
      }
    }
    stack.clear();
  }
  return false;
}

std::string ec_lowered(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

ec_file parse_editorconfig(std::string_view text) {
  ec_file f;
  if (text.size() >= 3 && text.substr(0, 3) == "\xef\xbb\xbf") text.remove_prefix(3);
  std::size_t line_no = 0;
  auto refuse = [&](const std::string& why) {
    f.error = "line " + std::to_string(line_no) + ": " + why;
    f.sections.clear();
    return f;
  };
  for (std::size_t at = 0; at <= text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = trimmed(text.substr(at, end - at));
    at = end + 1;
    ++line_no;
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      // The name ends at the last ']' before a comment, if any; what follows
      // that ']' is no part of it.
      const std::size_t close = last_before_comment(line, 1, ']');
      if (close == std::string_view::npos) return refuse("neither a section, a pair nor a comment");
      const std::string_view name = line.substr(1, close - 1);
      if (name.size() > EC_MAX_NAME)
        return refuse("section name longer than " + std::to_string(EC_MAX_NAME) + " bytes");
      ec_file::section& s = f.sections.emplace_back();
      std::string why;
      if (!s.glob.compile(name, why)) return refuse(why);
      continue;
    }
    // "key = value" or "key: value", the first '=' before a comment winning;
    // the value ends at a comment.
    std::size_t eq = first_before_comment(line, 0, '=');
    if (eq == std::string_view::npos) eq = first_before_comment(line, 0, ':');
    if (eq == std::string_view::npos) return refuse("neither a section, a pair nor a comment");
    const std::string_view key = trimmed(line.substr(0, eq));
    std::string_view value = trimmed(line.substr(eq + 1));
    value = trimmed(value.substr(0, first_before_comment(value, 0, '\0')));
    if (key.empty()) return refuse("a pair without a key");
    if (key.size() > EC_MAX_KEY) return refuse("key longer than " + std::to_string(EC_MAX_KEY) + " bytes");
    if (value.size() > EC_MAX_VALUE) return refuse("value longer than " + std::to_string(EC_MAX_VALUE) + " bytes");
    if (f.sections.empty()) {
      if (ec_lowered(key) == "root") f.root = ec_lowered(value) == "true";
    } else {
      f.sections.back().pairs.emplace_back(ec_lowered(key), std::string(value));
    }
  }
  return f;
}

const ec_file& ec_lookup::file_of(const std::string& dir, int dir_fd, std::size_t ups) {
  auto it = files_.find(dir);
  if (it != files_.end()) return *it->second;
  auto f = std::make_unique<ec_file>();
  // By the directory's descriptor where there is one: no path of any length,
  // nor a directory above that cannot be searched, stands in the way.
  const int at = dir_fd >= 0 ? dir_fd : AT_FDCWD;
  std::string path;
  if (dir_fd >= 0) {
    for (std::size_t k = 0; k < ups; ++k) path += "../";
    path += ".editorconfig";
  } else {
    path = (dir == "/" ? std::string() : dir) + "/.editorconfig";
  }
  // Looked at before it is opened: opening a device may act on it. Read only
  // if the user who runs morek, or root, owns it: any other user may have
  // put it in a directory above the tree (such as /tmp).
  struct stat st {};
  int fd = -1;
  if (::fstatat(at, path.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno != ENOENT && errno != ENOTDIR) f->error = std::strerror(errno);
  } else if (S_ISLNK(st.st_mode)) {
    f->error = "a symbolic link; not followed";
  } else if (!S_ISREG(st.st_mode)) {
    f->error = "not a regular file";
  } else if (st.st_uid != ::geteuid() && st.st_uid != 0) {
    f->not_read = "not read: owned by another user (" + std::to_string(st.st_uid) + ")";
  } else if ((fd = ::openat(at, path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)) < 0) {
    f->error = errno == ELOOP ? "a symbolic link; not followed" : std::strerror(errno);
  } else if (struct stat now {}; ::fstat(fd, &now) != 0 || now.st_dev != st.st_dev || now.st_ino != st.st_ino) {
    f->error = "changed while it was being read";
  } else if (static_cast<std::size_t>(st.st_size) > EC_MAX_FILE) {
    f->error = "larger than " + std::to_string(EC_MAX_FILE) + " bytes";
  } else {
    std::string text;
    char buf[64 * 1024];
    ssize_t got;
    while ((got = ::read(fd, buf, sizeof buf)) > 0 && text.size() <= EC_MAX_FILE)
      text.append(buf, static_cast<std::size_t>(got));
    if (got < 0)
      f->error = std::strerror(errno);
    else if (text.size() > EC_MAX_FILE)
      f->error = "larger than " + std::to_string(EC_MAX_FILE) + " bytes";
    else
      *f = parse_editorconfig(text);
  }
  if (fd >= 0) ::close(fd);
  return *(files_[dir] = std::move(f));
}

namespace {

// Directories on the way up are opened only to look into them, where the
// system can: then one that may be searched but not read is no obstacle.
#if MOREK_HAVE_O_PATH
constexpr int search_only = O_PATH;
#elif MOREK_HAVE_O_SEARCH
constexpr int search_only = O_SEARCH;
#else
constexpr int search_only = 0;
#endif
// "../" each, within PATH_MAX.
constexpr std::size_t MAX_UPS = 1000;

// The directory levels above the one open as fd, opened without reading
// rights where the system can: a descriptor to close, or -1 with errno set.
int directory_above(int fd, std::size_t levels) {
  int at = fd;
  while (levels > 0) {
    const std::size_t step = std::min<std::size_t>(levels, MAX_UPS);
    std::string up;
    for (std::size_t k = 0; k < step; ++k) up += "../";
    const int next = ::openat(at, up.c_str(), (search_only != 0 ? search_only : O_RDONLY) | O_DIRECTORY | O_CLOEXEC);
    const int e = errno;
    if (at != fd) ::close(at);
    if (next < 0) {
      errno = e;
      return -1;
    }
    at = next;
    levels -= step;
  }
  return at == fd ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : at;
}

// As a core keeps the pairs it prints: the first setting of a key gives its
// place, a later one its value; the values of the standard keys in lower case.
void show(std::vector<std::pair<std::string, std::string>>& shown, const std::string& key, std::string value) {
  for (const char* standard : {"end_of_line", "indent_style", "indent_size", "insert_final_newline",
                               "trim_trailing_whitespace", "charset"})
    if (key == standard) value = ec_lowered(value);
  for (auto& [k, v] : shown) {
    if (k == key) {
      v = std::move(value);
      return;
    }
  }
  shown.emplace_back(key, std::move(value));
}

const std::string* shown_value(const std::vector<std::pair<std::string, std::string>>& shown, std::string_view key) {
  for (const auto& [k, v] : shown)
    if (k == key) return &v;
  return nullptr;
}

// The values a core derives: indent_size from indent_style = tab, and
// indent_size and tab_width from each other.
void derive_shown(std::vector<std::pair<std::string, std::string>>& shown) {
  const std::string* style = shown_value(shown, "indent_style");
  if (style != nullptr && *style == "tab" && shown_value(shown, "indent_size") == nullptr)
    show(shown, "indent_size", "tab");
  const std::string* size = shown_value(shown, "indent_size");
  const std::string* width = shown_value(shown, "tab_width");
  if (size != nullptr && width != nullptr && *size == "tab") show(shown, "indent_size", std::string(*width));
  size = shown_value(shown, "indent_size");
  if (size != nullptr && shown_value(shown, "tab_width") == nullptr && *size != "tab")
    show(shown, "tab_width", std::string(*size));
}

}  // namespace

ec_properties ec_lookup::properties(const std::string& absolute_path) { return properties(absolute_path, -1); }

ec_properties ec_lookup::properties(const std::string& absolute_path, int dir_fd) {
  ec_properties props;
  // The .editorconfig files from the file's directory up, to one that says
  // it is the root.
  std::vector<std::pair<std::string, const ec_file*>> chain;
  if (absolute_path.empty() || absolute_path[0] != '/') {
    props.error = "can't tell where the file is, to find its .editorconfig files";
    props.error_file = absolute_path;
    return props;
  }
  std::string dir = absolute_path.substr(0, std::max<std::size_t>(absolute_path.rfind('/'), 1));
  // The last directory opened on the way up, and its level above the file's:
  // each level is opened from the one below that was, so a climb of any
  // height costs one step a level.
  int held = -1;
  std::size_t held_level = 0;
  struct closer {
    int& fd;
    ~closer() {
      if (fd >= 0) ::close(fd);
    }
  } close_held{held};
  for (std::size_t level = 0;; ++level) {
    int fd = -1;
    std::size_t ups = 0;
    if (dir_fd >= 0 && files_.find(dir) == files_.end()) {
      const int below = held >= 0 ? held : dir_fd;
      const std::size_t steps = held >= 0 ? level - held_level : level;
      fd = directory_above(below, steps);
      if (fd < 0 && search_only == 0 && errno == EACCES && steps <= MAX_UPS) {
        // Opened to be read, a directory that may only be searched refuses:
        // its .editorconfig is looked up from the one below that was opened.
        fd = below;
        ups = steps;
      } else if (fd < 0) {
        if (props.error.empty()) {
          props.error = std::string("can't open the directory: ") + std::strerror(errno);
          props.error_file = dir;
        }
        return props;
      } else {
        if (held >= 0) ::close(held);
        held = fd;
        held_level = level;
      }
    }
    const ec_file& f = file_of(dir, fd, ups);
    if (!f.not_read.empty()) props.notes.emplace_back((dir == "/" ? std::string() : dir) + "/.editorconfig", f.not_read);
    chain.emplace_back(dir, &f);
    if (!f.error.empty() && props.error.empty()) {
      props.error = f.error;
      props.error_file = (dir == "/" ? std::string() : dir) + "/.editorconfig";
    }
    if (f.root || dir == "/") break;
    const std::size_t slash = dir.rfind('/');
    dir = slash == 0 ? "/" : dir.substr(0, slash);
  }
  if (!props.error.empty()) return props;
  // The farthest first: nearer files, and later sections, win.
  std::size_t budget = EC_MATCH_BUDGET;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    const std::string& d = it->first;
    const std::string_view rel = std::string_view(absolute_path).substr(d == "/" ? 1 : d.size() + 1);
    for (const ec_file::section& s : it->second->sections) {
      const std::optional<bool> m = s.glob.matches(rel, budget);
      if (!m) {
        props.values.clear();
        props.error = "matching the globs of " + (d == "/" ? std::string() : d) +
                      "/.editorconfig against its path costs too much; left as it is";
        return props;
      }
      if (!*m) continue;
      for (const auto& [key, value] : s.pairs) {
        if (ec_lowered(value) == "unset")
          props.values.erase(key);
        else
          props.values[key] = value;
        show(props.shown, key, value);
      }
    }
  }
  derive_shown(props.shown);
  return props;
}

}  // namespace morek
