#include "file_work.hpp"

#include <algorithm>
#include <cstring>
#include <memory>

#include "lexer.hpp"
#include "proof.hpp"
#include "regions.hpp"
#include "settings.hpp"
#include "stream.hpp"
#include "textio.hpp"

namespace morek {

namespace {

// The settings in force on this thread, while it lives: a file's own, then
// those before it again.
class settings_held {
 public:
  explicit settings_held(const file_settings& s)
      : saved_(settings_in_force(false)), literals_(literals), make_lines_(make_lines), yaml_lines_(yaml_lines) {
    put_in_force(s);
  }
  ~settings_held() {
    put_in_force(saved_);
    literals = literals_;
    make_lines = make_lines_;
    yaml_lines = yaml_lines_;
  }
  settings_held(const settings_held&) = delete;
  settings_held& operator=(const settings_held&) = delete;

 private:
  file_settings saved_;
  literal_lexer* literals_;
  int make_lines_;
  int yaml_lines_;
};

// What a thread converts with, made at its first file: the reader's block is
// too large for a stack.
struct work_space {
  text_reader reader{-1, {}};
  literal_lexer lexer;
};
thread_local std::unique_ptr<work_space> space;

// Where a conversion goes: compared with the file while the two agree, and
// kept from where they part, the file's bytes before that included. Most
// files of a converted tree are never copied.
struct conversion_sink {
  std::string_view original;
  text_reader* reader = nullptr;
  std::size_t same = 0;  // bytes written so far, all equal to the file's first ones
  bool parted = false;
  bool no_memory = false;
  byte_buffer out;  // parted: all that was written

  std::string_view written() const { return parted ? out.view() : original.substr(0, same); }
};
thread_local conversion_sink* sink = nullptr;

bool to_sink(const unsigned char* p, std::size_t n) {
  conversion_sink& s = *sink;
  if (s.no_memory) return true;
  if (!s.parted) {
    const std::size_t k = std::min(n, s.original.size() - s.same);
    const auto* o = reinterpret_cast<const unsigned char*>(s.original.data()) + s.same;
    if (k == n && std::memcmp(p, o, n) == 0) {
      s.same += n;
      return true;
    }
    s.parted = true;
    // Room for the whole conversion at once, most often.
    (void)s.out.reserve(s.original.size() + s.original.size() / 8 + n);
    if (!s.out.append(s.original.data(), s.same)) s.no_memory = true;
  }
  if (!s.no_memory && !s.out.append(p, n)) s.no_memory = true;
  if (s.no_memory) s.reader->stop();
  return true;  // a false would end the process
}

// What the line ends at the end of a text become: the text keeps its first
// keep bytes, and add follows them.
struct tail_edit {
  std::size_t keep;
  std::string_view add;
};

bool line_end_byte(char c) { return c == '\n' || c == '\r'; }

tail_edit final_line(std::string_view t, final_newline f, eol_mode ends) {
  std::size_t end = t.size();
  if (f == final_newline::keep) return {end, {}};
  std::size_t body = end;  // after the last byte that is not a CR or an LF
  while (body > 0 && line_end_byte(t[body - 1])) --body;
  if (f == final_newline::remove) {
    // Line ends go; a lone CR is a character of the line.
    while (end > body && t[end - 1] == '\n') {
      --end;
      if (end > body && t[end - 1] == '\r') --end;
    }
    return {end, {}};
  }
  if (body == 0 || t[end - 1] == '\n') return {end, {}};  // nothing to end, or ended
  // Where end_of_line names the line end, the CRs before the one added are
  // part of it, as a run of CRs before an LF is when the file is read.
  if (ends != eol_mode::keep)
    while (end > body && t[end - 1] == '\r') --end;
  // Else the kind of the file's last line end.
  const std::size_t lf = t.substr(0, end).rfind('\n');
  const bool crlf =
      ends == eol_mode::crlf || (ends == eol_mode::keep && lf != std::string_view::npos && lf > 0 && t[lf - 1] == '\r');
  return {end, crlf ? "\r\n" : "\n"};
}


bool selected(const line_selection& lines, std::size_t k) {
  const auto it = std::lower_bound(lines.begin(), lines.end(), k,
                                   [](const line_range& r, std::size_t line) { return r.last < line; });
  return it != lines.end() && it->first <= k;
}

std::size_t line_count(std::string_view t) {
  return static_cast<std::size_t>(std::count(t.begin(), t.end(), '\n')) + (!t.empty() && t.back() != '\n' ? 1 : 0);
}

// A UTF-16 or UTF-32 byte order mark (that of UTF-32 little-endian begins as
// UTF-16's does).
bool wide_text(std::string_view t) {
  return t.size() >= 2 && ((t[0] == '\xFF' && t[1] == '\xFE') || (t[0] == '\xFE' && t[1] == '\xFF') ||
                           t.substr(0, 4) == std::string_view("\0\0\xFE\xFF", 4));
}

}  // namespace

bool splice_lines(std::string_view original, std::string_view converted, const line_selection& lines,
                  byte_buffer& out) {
  std::size_t a = 0, b = 0;
  auto next = lines.begin();  // the first range that does not end before line k
  for (std::size_t k = 1; a < original.size() || b < converted.size(); ++k) {
    const std::string_view was = a < original.size() ? next_line(original, a) : std::string_view();
    const std::string_view now = b < converted.size() ? next_line(converted, b) : std::string_view();
    while (next != lines.end() && next->last < k) ++next;
    const bool take = next != lines.end() && next->first <= k;
    if (!out.append(take ? now : was)) return false;
  }
  return true;
}

language file_language(bool lang_auto, language lang, std::string_view base, std::string_view head) {
  if (!lang_auto) return lang;
  return kind_of(base, head) == file_kind::yaml ? language::yaml : language_of(base, head);
}

std::string kept_note(std::size_t from) {
  return "line " + std::to_string(from) + ": its literals cannot be told apart from here; the rest is kept as it is";
}

file_verdict convert_file_text(const file_input& given) {
  file_verdict r;
  const std::string_view text = given.bytes;
  if (text.find('\0') != std::string_view::npos) {
    r.v = verdict::binary;
    r.note = "holds a NUL byte; left as it is";
    return r;
  }
  if (wide_text(text)) {
    r.v = verdict::binary;
    r.note = "begins with a UTF-16 or UTF-32 byte order mark; left as it is";
    return r;
  }
  // Regions left alone narrow the lines converted.
  file_input in = given;
  line_selection around;
  if (in.regions) {
    const regions_found alone = find_regions(text, in.lang);
    if (alone.count > 0) {
      around = outside(alone.lines, in.lines);
      in.lines = &around;
    }
  }
  if (space == nullptr) space = std::make_unique<work_space>();
  conversion_sink s;
  s.original = text;
  s.reader = &space->reader;
  stream_result res;
  {
    const settings_held held(in.settings);
    space->lexer.start(in.lang, input_charset() == charset::sjis, keeps_comments(in.lang, text));
    literals = in.lang == language::text ? nullptr : &space->lexer;
    make_lines = in.kind == file_kind::makefile ? 1 : 0;
    yaml_lines = in.kind == file_kind::yaml || in.lang == language::yaml ? 1 : 0;
    space->reader.reset(text, {.bytewise = true,
                               .track_crs = line_ends == eol_mode::keep,
                               .cr_runs = line_ends == eol_mode::lf || line_ends == eol_mode::crlf});
    if (out_len > 0) out_drain();
    const out_target_fn target = out_target;
    out_target = to_sink;
    sink = &s;
    res = convert_stream(space->reader, nullptr, in.settings.trim, true,
                         in.settings.final == final_newline::insert && (in.lines == nullptr || selected(*in.lines, line_count(text))));
    (void)out_flush();
    out_target = target;
    sink = nullptr;
  }
  if (res.no_memory || res.too_wide || s.no_memory) {
    r.v = verdict::failed;
    const std::string line = "line " + std::to_string(res.lines + 1);
    r.note = s.no_memory     ? "cannot get memory; left as it is"
             : res.no_memory ? line + ": cannot get memory; left as it is"
                             : line + " is wider than " + std::to_string(LONG_LINE_COLUMNS) + " columns; left as it is";
    return r;
  }
  const bool sjis = in.settings.utf8_input == 0 && in.settings.latin1_input == 0;
  // Where the lexer gave up, the rest of the file is kept: say so, where a
  // line to convert lies there.
  if (in.lang != language::text && space->lexer.gave_up()) {
    const std::size_t from = line_given_up(text, in.lang, sjis);
    if (from != 0 && (in.lines == nullptr || (!in.lines->empty() && in.lines->back().last >= from)))
      r.note = kept_note(from);
  }
  std::string_view converted = s.written();
  byte_buffer spliced;
  if (in.lines != nullptr) {
    if (!splice_lines(text, converted, *in.lines, spliced)) {
      r.v = verdict::failed;
      r.note = "cannot get memory; left as it is";
      return r;
    }
    s.out.clear();
    converted = spliced.view();
  }
  // The line end at the end of the file belongs to its last line.
  const bool whole_end = in.lines == nullptr || selected(*in.lines, line_count(text));
  const tail_edit tail = final_line(converted, whole_end ? in.settings.final : final_newline::keep, in.settings.line_ends);
  const std::string_view kept = converted.substr(0, tail.keep);
  if (tail.keep + tail.add.size() == text.size() && text.starts_with(kept) && text.ends_with(tail.add)) return r;
  // The new text, in the buffer that holds it already where there is one.
  byte_buffer& holder = in.lines != nullptr ? spliced : s.out;
  bool ok = true;
  if (holder.empty())
    ok = holder.append(kept);  // kept is the file's start
  else
    holder.cut(tail.keep);  // kept is the holder's start
  if (!ok || !holder.append(tail.add)) {
    r.v = verdict::failed;
    r.note = "cannot get memory; left as it is";
    return r;
  }
  const proof p = in.prove ? prove_conversion(text, holder.view(), in.lang, in.kind, sjis) : proof{};
  if (!p.proven()) {
    r.v = verdict::unproven;
    r.note.clear();
    r.note = "line " + std::to_string(p.line) + ": " + std::string(p.why) + "; left as it is";
    return r;
  }
  r.v = verdict::changed;
  r.text = std::move(holder);
  if (in.find) r.findings = find_changes(text, r.text.view(), in.settings);
  return r;
}

}  // namespace morek
