// The scanner of one reading: it leaps from one byte that can matter in the
// frame on top to the next, and hands each to the forms that decide.
#include <cstddef>
#include <cstring>
#include <iterator>
#include <type_traits>

#include "lex_bytes.hpp"
#include "lexer.hpp"
#include "reading.hpp"
#include "sjis.hpp"

namespace morek {

using namespace lex;

void reading::start(const lexical_forms& f, literal_lexer* set, bool sjis) {
  forms_ = &f;
  set_ = set;
  sjis_ = sjis;
  stack_[0] = frame{};
  top_ = 0;
  strings_ = 0;
  docs_ = docs_ready_ = 0;
  whole_line_ = in_line_comment_ = keep_comment_ = in_pod_ = gave_up_ = dead_ = forked_ = take_other_ = last_operand_ = false;
  text_start_ = true;
  gave_up_from_ = NONE;
  data_rest_ = false;
  block_indent_ = block_next_ = -1;
  raw_len_ = 0;
  body_code_ = 0;
  body_quote_ = 0;
  line_rules_ = !f.pod_open.empty() || f.data_end || f.yaml_forms;
  if (f.php_tags) {
    // The text starts as output, up to the first "<?".
    frame h;
    h.kind = string;
    h.close = '<';
    h.html = true;
    push(h);
  }
}

void reading::take(const reading& o) {
  // Everything before stack_ is copied whole: nothing may follow the two
  // arrays but padding, and memcpy must be a copy.
  static_assert(std::is_trivially_copyable_v<reading> && std::is_standard_layout_v<reading>);
  static_assert(offsetof(reading, doc_) == offsetof(reading, stack_) + sizeof stack_);
  static_assert(sizeof(reading) - (offsetof(reading, doc_) + sizeof doc_) < alignof(reading));
  if (this == &o) return;
  std::memcpy(static_cast<void*>(this), &o, offsetof(reading, stack_));
  std::memcpy(stack_, o.stack_, static_cast<std::size_t>(top_ + 1) * sizeof stack_[0]);
  std::memcpy(doc_, o.doc_, static_cast<std::size_t>(docs_) * sizeof doc_[0]);
}

bool reading::same_as(const reading& o) const {
  if (top_ != o.top_ || docs_ != o.docs_ || docs_ready_ != o.docs_ready_ || whole_line_ != o.whole_line_ ||
      in_line_comment_ != o.in_line_comment_ || keep_comment_ != o.keep_comment_ || in_pod_ != o.in_pod_ || gave_up_ != o.gave_up_ || data_rest_ != o.data_rest_ || dead_ != o.dead_ ||
      last_operand_ != o.last_operand_ || text_start_ != o.text_start_ || block_indent_ != o.block_indent_ ||
      block_next_ != o.block_next_ ||
      raw_len_ != o.raw_len_ || std::memcmp(raw_delim_, o.raw_delim_, raw_len_) != 0 || body_code_ != o.body_code_ ||
      body_quote_ != o.body_quote_)
    return false;
  for (int k = 0; k <= top_; ++k)
    if (!(stack_[k] == o.stack_[k])) return false;
  for (int k = 0; k < docs_; ++k)
    if (!(doc_[k] == o.doc_[k])) return false;
  return true;
}

void reading::resume_copy(std::size_t at) {
  // What the one it was copied from marks up to at stays that one's to mark.
  if (lit_from_ != NONE) lit_from_ = at;
  if (text_from_ != NONE) text_from_ = at;
  if (closed_at_ != NONE && closed_at_ > at) closed_at_ = NONE;
  forked_ = false;
  take_other_ = true;
}

void reading::push(const frame& f) {
  if (top_ + 1 >= MAX_DEPTH) {
    gave_up_ = true;
    return;
  }
  stack_[++top_] = f;
  if (f.kind == string) ++strings_;
  ++changes_;
}

void reading::pop() {
  if (stack_[top_].kind == string) --strings_;
  --top_;
  ++changes_;
}

void reading::mark(std::size_t a, std::size_t b) {
  if (b > a) set_bits(lit_, base_ + a, base_ + b, true);
}

void reading::note_open(std::size_t at) {
  if (strings_ == 1 && lit_from_ == NONE) lit_from_ = at;
}

void reading::close_literal(std::size_t end) {
  closed_at_ = end;
  pop();
  if (strings_ == 0) {
    mark(lit_from_, end);
    lit_from_ = NONE;
  }
}

bool reading::either(std::size_t i) {
  if (take_other_) {
    take_other_ = false;
    return true;
  }
  // Without room for the copy the rest of the text is kept.
  if (!set_->fork(*this, i)) gave_up_ = true;
  forked_ = true;
  fork_at_ = i;
  return false;
}

bool reading::sjis_second(const unsigned char* p, std::size_t i) {
  // The second byte of a character is 0x40 to 0x7E where it can be
  // mistaken for ASCII. Leads run back to where a character must start
  // (a byte that is no lead: ASCII, a kana, another pair's second byte);
  // an odd run ends in the lead of p[i]'s character.
  // Before the call's first byte, the last call's end tells.
  if (!sjis_ || p[i] < 0x40 || p[i] > 0x7E) return false;
  std::size_t k = i;
  while (k > 0 && sjis_lead(p[k - 1])) --k;
  if (((i - k) % 2 == 1) == (k == 0 && set_->sjis_carry_)) return false;
  return either(i);
}

void reading::die(std::size_t) {
  // What it marked on earlier lines stands, as if the text had been cut
  // there: only this line's marks go with it.
  if (lit_from_ != NONE && lit_from_ < line_begin_) mark(lit_from_, line_begin_);
  dead_ = true;
}

namespace {

// The bytes that matter in a frame other than the text's code.
void frame_bytes(const reading::frame& fr, const lexical_forms& f, const byte_set& code, byte_set& set) {
  set.clear();
  switch (fr.kind) {
    case reading::code:
      set = code;
      if (fr.close != 0) set.add(fr.close);
      if (fr.open != 0) set.add(fr.open);
      if (fr.command) {
        set.add('c');  // case
        set.add('e');  // esac
      }
      return;
    case reading::comment:
      set.add('\n');
      set.add('*');
      if (f.nested_comments) set.add('/');
      if (f.unicode_escapes) set.add('\\');
      return;
    case reading::jsx_text:
      for (const unsigned char c : {'\n', '<', '{', '>', '}'}) set.add(c);
      return;
    default:
      break;
  }
  set.add('\n');
  set.add(fr.close);
  if (fr.open != 0) set.add(fr.open);
  if (fr.slash_after) set.add('/');
  if (fr.escape != 0) set.add(fr.escape);
  if (fr.escape != 0 && f.trigraphs) set.add('?');
  if (fr.classes) {
    set.add('[');
    set.add(']');
  }
  switch (fr.holds) {
    case interpolation::dollar_brace:
      set.add('$');
      break;
    case interpolation::brace:
    case interpolation::raw_brace:
      set.add('{');
      break;
    case interpolation::hash_brace:
      set.add('#');
      break;
    case interpolation::shell:
      set.add('$');
      set.add('`');
      if (fr.open == '{') {
        set.add('"');  // ${a:-"}"}
        set.add('\'');
      }
      break;
    case interpolation::php:
      set.add('$');
      set.add('{');
      break;
    case interpolation::perl_block:
      for (const unsigned char c : {'$', '@', '{', '}', '<'}) set.add(c);
      break;
    default:
      break;
  }
}

// Perl's __END__ or __DATA__ at i: a word where a statement may stand, not
// a variable's, a method's, a package's or a hash's key ({__END__} and
// __END__ =>). Whatever follows it on its line and after is data.
bool perl_data_end(const unsigned char* p, std::size_t i, std::size_t n) {
  if (i > 0 && (word_byte(p[i - 1]) || std::strchr("$@%&*>:'{", p[i - 1]) != nullptr)) return false;
  std::size_t e = i;
  while (e < n && word_byte(p[e])) ++e;
  const std::string_view w(reinterpret_cast<const char*>(p + i), e - i);
  if (w != "__END__" && w != "__DATA__") return false;
  while (e < n && blank(p[e])) ++e;
  return !(e < n && (p[e] == '}' || (p[e] == '=' && e + 1 < n && p[e + 1] == '>')));
}

}  // namespace

const byte_set& literal_lexer::stops_of(const reading::frame& fr) {
  const std::uint64_t key = std::uint64_t{fr.kind} | std::uint64_t{fr.close} << 8 | std::uint64_t{fr.open} << 16 |
                            std::uint64_t{fr.escape} << 24 | std::uint64_t{static_cast<unsigned char>(fr.holds)} << 32 |
                            std::uint64_t{fr.slash_after} << 40 | std::uint64_t{fr.classes} << 41 |
                            std::uint64_t{fr.command} << 42;
  for (const frame_stops& s : frame_stops_)
    if (s.key == key) return s.set;
  frame_stops& s = frame_stops_[next_stops_];
  next_stops_ = (next_stops_ + 1) % static_cast<int>(std::size(frame_stops_));
  s.key = key;
  frame_bytes(fr, *forms_, code_want_, s.set);
  return s.set;
}

bool reading::halts_compiler(const unsigned char* p, std::size_t i, std::size_t n) const {
  static constexpr std::string_view word = "__halt_compiler";
  if (n - i < word.size() || (i > 0 && (word_byte(p[i - 1]) || std::strchr("$>:\\", p[i - 1]) != nullptr))) return false;
  for (std::size_t k = 0; k < word.size(); ++k)
    if ((alpha(p[i + k]) ? p[i + k] | 0x20 : p[i + k]) != word[k]) return false;
  // The word itself, not the start of a longer name; a method of that name
  // (->__halt_compiler) was ruled out above.
  return !(i + word.size() < n && word_byte(p[i + word.size()]));
}

template <bool Skip>
std::size_t reading::run(const unsigned char* p, std::size_t i, std::size_t n, bool at_start, std::uint64_t* lit,
                         std::size_t base) {
  lit_ = lit;
  base_ = base;
  leap_ = Skip;
  const lexical_forms& f = *forms_;
  if (!take_other_) {
    // A call (or a line of one) begins: positions start afresh.
    if (whole_line_) {
      // The rest of a line that is kept whole, from an earlier piece.
      const std::size_t e = line_end(p, i, n);
      mark(i, e);
      whole_line_ = e == n && p[e - 1] != '\n';
      i = e;
      at_start = true;
    }
    lit_from_ = strings_ > 0 ? i : NONE;
    text_from_ = stack_[top_].kind == jsx_text && strings_ == 0 ? i : NONE;
    line_begin_ = i;
    number_to_ = 0;
    closed_at_ = NONE;
    forked_ = false;  // a fork that an escape's newline ended the line after is done with
  }
  if (gave_up_) {
    mark(line_begin_, n);
    return n;
  }
  const std::size_t entered = i;
  const byte_set& code_want = set_->code_want_;
  const byte_set& comment_stops = set_->comment_stops_;
  const byte_set* want = &code_want;
  unsigned built = changes_ - 1;
  bool to_line_end = false;  // n is the end of the line being read
  bool comment_ends = false;  // the newline at i ends a line comment: what ends the line's code is before it
  while (i < n) {
    if (forked_ || gave_up_ || dead_) [[unlikely]] {
      if (gave_up_ || dead_) break;
      // Its copies read this line from the fork on: line ends are where
      // readings meet again (an escape may have taken this one past the
      // newline of the fork's line).
      forked_ = false;
      if (!to_line_end) n = line_end(p, fork_at_ < i ? fork_at_ : i, n);
      to_line_end = true;
      if (i >= n) break;
    }
    if (at_start) {
      at_start = false;
      line_begin_ = i;
      if (text_start_) {
        text_start_ = false;
        if (f.regex == regex_form::js && p[i] == '#' && i + 1 < n && p[i + 1] == '!') in_line_comment_ = true;
      }
      if (docs_ready_ > 0 || line_rules_) {
        const std::size_t past = begin_line(p, i, n);
        if (gave_up_) break;
        if (past != i) {
          i = past;
          at_start = p[i - 1] == '\n';
          continue;
        }
      }
      if (stack_[top_].kind == jsx_text) jsx_text_line(p, i, n);
      // go generate reads every line that starts //go:generate, one in a
      // block comment too: kept, while the comment is read on.
      if (f.lang == language::go && stack_[top_].kind == comment && p[i] == '/' && i + 1 < n && p[i + 1] == '/' &&
          go_directive(p, i + 2, n, true)) {
        const std::size_t e = line_end(p, i, n);
        mark(i, e > i && p[e - 1] == '\n' ? e - 1 : e);
      }
    }
    if (in_line_comment_) {
      // Up to the line's end; PHP's "?>" ends the comment too.
      std::size_t escaped_end = NONE;  // Java: past a \u000a that ends the comment
      const std::size_t comment_from = i;
      for (;;) {
        i = Skip ? find_any(p, i, n, comment_stops) : i;
        if (i < n && p[i] == '\n' && f.continued_comments && i > line_begin_) {
          // C's // ... \ runs on over the next line, and so does a
          // comment that ends in the trigraph of a backslash where
          // trigraphs are read. Where that is in doubt (a trigraph, a
          // Shift-JIS character's second byte), both ways, each from the
          // backslash (a copy meets the same choice first there).
          std::size_t e = p[i - 1] == '\r' && i - 1 > line_begin_ ? i - 1 : i;
          if (f.splice_blanks)
            while (e > line_begin_ + 1 && (blank(p[e - 1]) || p[e - 1] == '\r')) --e;
          const bool trigraph = f.trigraphs && e >= line_begin_ + 3 && p[e - 1] == '/' && p[e - 2] == '?' && p[e - 3] == '?';
          if (p[e - 1] == '\\' || trigraph) {
            const bool goes_on = trigraph ? either(e - 1) : !sjis_second(p, e - 1);
            if (forked_) {
              // This reading stops at the line's end, where its copy does.
              n = i + 1;
              to_line_end = true;
            }
            if (goes_on) {
              line_begin_ = ++i;
              continue;
            }
          }
        }
        if (i >= n || p[i] == '\n') break;
        if (p[i] == '?' && f.php_tags && i + 1 < n && p[i + 1] == '>') break;
        // A CR alone is a line's end there (before an LF it is the LF's).
        if (p[i] == '\r' && f.cr_ends_lines && !(i + 1 < n && p[i + 1] == '\n')) break;
        if (p[i] == '\\' && f.unicode_escapes) {
          std::size_t len = 1;
          const unsigned char b = java_byte(p, i, n, len);
          if (len > 1 && (b == '\n' || b == '\r')) {
            escaped_end = i + len;
            break;
          }
          i += len > 1 || !(i + 1 < n && p[i + 1] == '\\') ? len : 2;  // \\u000a escapes nothing
          continue;
        }
        ++i;
      }
      if (keep_comment_) {
        mark(comment_from, i < n ? i : n);
        keep_comment_ = i >= n && escaped_end == NONE;  // it goes on in the next call
      }
      if (escaped_end != NONE) {
        in_line_comment_ = false;
        i = escaped_end;
        continue;
      }
      if (i >= n) break;
      in_line_comment_ = false;  // the newline, a CR, or "?>", is handled as code
      comment_ends = p[i] == '\n';
    }
    frame& fr = stack_[top_];
    if (built != changes_) {
      built = changes_;
      want = fr.kind == code && fr.close == 0 && fr.open == 0 ? &code_want : &set_->stops_of(fr);
    }
    // A JSX tag and the gap between a substitution's parts are looked at
    // byte by byte: anything may end them.
    // (Most often the byte at i matters itself: a literal that opens and
    // closes every few bytes.)
    if constexpr (Skip)
      if (fr.kind != jsx_tag && !fr.between && !want->has(p[i])) i = find_any(p, i + 1, n, *want);
    if (i >= n) break;
    const unsigned char c = p[i];
    auto next_is = [&](unsigned char b) { return i + 1 < n && p[i + 1] == b; };
    if (sjis_ && c >= 0x40 && (i == 0 || p[i - 1] >= 0x80) && want->has(c) && sjis_second(p, i)) [[unlikely]] {
      ++i;  // this reading takes it as a character's, with its lead
      continue;
    }
    if (c == '\n') {
      if (fr.kind == string && fr.close == '\n') {
        // Ruby's %, line end, text, line end: the first opens it.
        if (fr.depth > 0)
          fr.depth = 0;
        else
          close_literal(i + 1);
      } else if (fr.kind == string && !fr.spans) {
        if (fr.dies_at_eol) {
          die(i);
          break;
        }
        // An unclosed literal that cannot span lines ends with its line.
        close_literal(i);
      } else if (fr.kind == jsx_text) {
        jsx_text_newline(p, i);
      } else if (fr.kind == code && (f.regex != regex_form::none || f.jsx) && !comment_ends) {
        if (f.regex == regex_form::ruby) {
          // Ruby's line ends a statement but after a backslash: the next
          // line starts an expression (x = 5 then %(a) or /a/ on its own).
          std::size_t k = i;
          while (k > line_begin_ && p[k - 1] == '\r') --k;
          last_operand_ = k > line_begin_ && p[k - 1] == '\\' && operand_before(p, k - 1);
        } else {
          last_operand_ = operand_before(p, i);
        }
        if (f.perl_forms) quote_like_at_line_end(p, i);
      }
      comment_ends = false;
      in_line_comment_ = false;
      docs_ready_ = docs_;
      if (block_next_ >= 0) {
        block_indent_ = block_next_;
        block_next_ = -1;
      }
      ++i;
      at_start = true;
      continue;
    }

    if (fr.kind == comment) {
      if (f.unicode_escapes && (c == '\\' || c == '*')) {
        // */ spelt with escapes (\u002a\u002f) ends the comment too.
        std::size_t len = 1, len2 = 1;
        if (java_byte(p, i, n, len) == '*' && i + len < n && java_byte(p, i + len, n, len2) == '/') {
          pop();
          i += len + len2;
        } else {
          i += len > 1 || !(c == '\\' && next_is('\\')) ? len : 2;
        }
        continue;
      }
      if (c == '*' && next_is('/')) {
        if (fr.depth > 0) {
          --fr.depth;
        } else {
          pop();
        }
        i += 2;
      } else if (c == '/' && next_is('*') && f.nested_comments) {
        ++fr.depth;
        i += 2;
      } else {
        ++i;
      }
      continue;
    }
    if (fr.kind == jsx_tag) {
      i = jsx_tag_byte(p, i, n);
      continue;
    }
    if (fr.kind == jsx_text) {
      i = jsx_text_byte(p, i, n);
      continue;
    }

    if (fr.kind == string) {
      if (fr.between) {
        i = next_part(p, i, n);
        continue;
      }
      if (fr.escape != 0 && c == fr.escape && f.unicode_escapes && next_is('u')) {
        std::size_t len = 1, len2 = 1;
        const unsigned char b = java_byte(p, i, n, len);
        if (len > 1) {
          if (b == fr.close && fr.count == 1) {
            close_literal(i + len);
          } else if (b == fr.close) {
            gave_up_ = true;  // a text block's close, partly escaped
          } else if (b == '\\' && i + len < n) {
            (void)java_byte(p, i + len, n, len2);
            len += len2;  // the escape escapes what follows, escaped or not
          }
          i += len;
          continue;
        }
      }
      if (fr.escape != 0 && c == fr.escape) {
        if (fr.holds == interpolation::swift && next_is('(')) {
          frame code_in;
          code_in.close = ')';
          code_in.open = '(';
          push(code_in);
        }
        if (f.splice_blanks) {
          // C's compilers splice a backslash, blanks and a line's end too.
          std::size_t k = i + 1;
          while (k < n && (blank(p[k]) || p[k] == '\r')) ++k;
          if (k > i + 1 && k < n && p[k] == '\n') i = k - 1;
        }
        i += 2;
        // A backslash-newline continues the literal on a line of its own.
        if (i <= n && p[i - 1] == '\n') at_start = true;
        continue;
      }
      if (c == '?' && f.trigraphs && fr.escape != 0) {
        // ??/ is a backslash, ??' a caret (no close), where trigraphs are read.
        const bool slash = i + 2 < n && p[i + 1] == '?' && p[i + 2] == '/';
        const bool quote = i + 2 < n && p[i + 1] == '?' && p[i + 2] == '\'' && fr.close == '\'';
        if ((slash || quote) && either(i)) {
          i += slash ? 4 : 3;
          if (slash && i <= n && p[i - 1] == '\n') at_start = true;
          continue;
        }
        ++i;
        continue;
      }
      if (fr.classes && (c == '[' || c == ']')) {
        fr.depth = c == '[';  // the close is a byte like any other in a class
        ++i;
        continue;
      }
      if (fr.open != 0 && c == fr.open) {
        ++fr.depth;
        ++i;
        continue;
      }
      if (fr.slash_after && f.nested_comments && c == '/' && next_is('*')) {
        ++fr.depth;  // Rust's comments nest, doc comments too
        i += 2;
        continue;
      }
      if (c == fr.close) {
        std::size_t end = i + 1;
        if ((fr.open != 0 || fr.classes) && fr.depth > 0) {
          if (fr.open != 0) --fr.depth;
          ++i;
          continue;
        }
        if (fr.slash_after) {
          if (!next_is('/')) {
            ++i;
            continue;
          }
          if (fr.depth > 0) {
            --fr.depth;
            i += 2;
            continue;
          }
          end = i + 2;
        } else if (fr.html) {
          if (!next_is('?')) {
            ++i;
            continue;
          }
          end = i + 2;
          if (n - end >= 3 && (p[end] | 0x20) == 'p' && (p[end + 1] | 0x20) == 'h' && (p[end + 2] | 0x20) == 'p' &&
              (n - end == 3 || blank(p[end + 3]) || p[end + 3] == '\n' || p[end + 3] == '\r')) {
            end += 3;
          } else if (end < n && p[end] == '=') {
            ++end;
          } else if (!either(i)) {
            // A short tag (<?xml, <? echo) opens code only where
            // short_open_tag is on: both.
            i += 2;
            continue;
          }
        } else if (fr.cpp_raw) {
          if (!(n - i > raw_len_ + 1u && std::memcmp(p + i + 1, raw_delim_, raw_len_) == 0 && p[i + 1 + raw_len_] == '"')) {
            ++i;
            continue;
          }
          end = i + 2 + raw_len_;
        } else if (fr.count > 1) {
          std::size_t r = 0;
          while (i + r < n && p[i + r] == c && (fr.greedy || r < fr.count)) ++r;
          if (r < fr.count) {
            i += r;
            continue;
          }
          end = i + (fr.greedy ? r : fr.count);
        } else if (fr.doubled && next_is(c)) {
          i += 2;
          continue;
        }
        if (fr.hashes > 0) {
          std::size_t h = 0;
          while (h < fr.hashes && end + h < n && p[end + h] == '#') ++h;
          if (h < fr.hashes) {
            ++i;
            continue;
          }
          end += h;
        }
        if (fr.parts > 0) {
          --fr.parts;
          if (fr.open == 0) {
            ++i;  // s/a/b/: the middle delimiter is both parts'
            continue;
          }
          // s{a}{b}: the next part opens with a delimiter of its own, after
          // blanks, line ends and comments.
          fr.between = true;
          fr.open = fr.close = 0;
          fr.depth = 0;
          ++changes_;
          i = end;
          continue;
        }
        const bool regex = fr.regex;
        close_literal(end);
        i = end;
        if (regex && term_after_close(p, i, n)) die(i);
        continue;
      }
      if (fr.holds == interpolation::perl_block) {
        // Perl finds where a string ends before it reads the code of its
        // "@{[ ... ]}" and "${ ... }": no quote in there opens a literal, but
        // a here-document does, whose body begins on the next line. Depth
        // counts the braces open in such code.
        if ((c == '@' || c == '$') && next_is('{')) {
          ++fr.depth;
          i += 2;
        } else if (fr.depth > 0 && (c == '{' || c == '}')) {
          if (c == '{')
            ++fr.depth;
          else
            --fr.depth;
          ++i;
        } else if (fr.depth > 0 && c == '<' && next_is('<')) {
          std::size_t k = i + 2;
          if (k < n && p[k] == '~') ++k;
          while (k < n && blank(p[k])) ++k;
          i = k < n && p[k] == fr.close ? k : open_heredoc(p, i, n);  // <<"EOT" in "...": the string ends
        } else {
          ++i;
        }
        continue;
      }
      if (fr.holds == interpolation::shell && fr.open == '{' && (c == '"' || c == '\'')) {
        // A parameter's word quotes as a word does: ${a:-"}"} and ${a:-'}'}.
        i = open_quote(p, i, n);
        continue;
      }
      i = interpolate(p, i, n);
      continue;
    }

    // Code.
    if (top_ > 0 && c == fr.close) {
      if (fr.depth > 0) {
        --fr.depth;
        if (fr.arith && fr.close == ')' && fr.depth == 0 && !(i + 1 < n && p[i + 1] == ')')) {
          // (( whose first ( closes alone was a subshell: $((cat) <<EOF
          // holds commands, and a here-document.
          fr.arith = false;
          fr.command = true;
          ++changes_;
        }
      } else if (fr.cases > 0) {
        // A case pattern's ')', inside $( ).
      } else {
        pop();
        if (stack_[top_].kind == jsx_text && strings_ == 0) text_from_ = i + 1;
      }
      ++i;
      continue;
    }
    if (f.shell_forms && c == '(') {
      i = shell_paren(p, i, n);
      continue;
    }
    if (top_ > 0 && fr.open != 0 && c == fr.open) {
      ++fr.depth;
      ++i;
      continue;
    }
    if (f.perl_forms && punctuation(c) && i > 0 && (alpha(p[i - 1]) || blank(p[i - 1]))) {
      // Perl's q qq qw qx m qr s tr y take any delimiter.
      if (const std::size_t past = open_quote_like(p, i, n); past != NONE) {
        i = past;
        continue;
      }
    }
    switch (c) {
      case '"':
      case '\'':
      case '`':
        if ((c == '"' && !f.dq.opens) || (c == '\'' && !f.sq.opens && !f.rust_forms) || (c == '`' && !f.bq.opens)) {
          ++i;
          break;
        }
        if (c == '\'' && f.shell_forms && fr.open == '{' && top_ > 0 && stack_[top_ - 1].kind == string && !either(i)) {
          // Inside "${...}" a quote quotes in a pattern (${a#'x'}) and is a
          // byte of the word in ${a:-it's}: both.
          ++i;
          break;
        }
        i = open_quote(p, i, n);
        break;
      case '/':
        i = slash(p, i, n);
        break;
      case '#':
        if (!f.hash_comments) {
          ++i;
        } else if (f.hash_at_word_only && i > 0 && !blank(p[i - 1]) && std::strchr(";&|()\n", p[i - 1]) == nullptr) {
          ++i;
        } else if (f.shell_forms && i > 0 && p[i - 1] == ')' && either(i)) {
          // After $( ) or $(( )) the word goes on ($(date)#"a  b"); after a
          // subshell's ( ) a comment starts: both.
          ++i;
        } else if ((f.perl_forms && i > 0 && p[i - 1] == '$') || (f.php_tags && next_is('['))) {
          ++i;
        } else {
          if (f.regex != regex_form::none) last_operand_ = f.regex != regex_form::ruby && operand_before(p, i);
          in_line_comment_ = true;
          ++i;
        }
        break;
      case '\\':
        if (f.unicode_escapes) {
          // A quote, a backslash or a comment spelt with escapes: what
          // follows is kept (no program is written so but to fool a reader).
          std::size_t len = 1, len2 = 1;
          const unsigned char b = java_byte(p, i, n, len);
          if (len == 1) {
            i += next_is('\\') ? 2 : 1;
            break;
          }
          const unsigned char b2 = i + len < n ? java_byte(p, i + len, n, len2) : 0;
          if (b == '"' || b == '\'' || b == '\\' || (b == '/' && (b2 == '/' || b2 == '*'))) gave_up_ = true;
          i += len;
          break;
        }
        // The shell's escape: \' \" \# are plain bytes, and an escaped blank
        // is part of its word (a pattern's [\ \<TAB>]): kept.
        if (f.shell_forms && i + 1 < n && blank(p[i + 1]) && strings_ == 0) mark(i, i + 2);
        i += f.shell_forms ? 2 : 1;
        if (f.shell_forms && i <= n && p[i - 1] == '\n') at_start = true;
        break;
      case '<':
        if (f.heredoc != heredoc_form::none && next_is('<') && !fr.arith) {
          i = open_heredoc(p, i, n);
        } else if (f.jsx) {
          i = open_jsx(p, i, n);
        } else {
          ++i;
        }
        break;
      case '%':
        i = f.ruby_percent ? ruby_percent(p, i, n) : i + 1;
        break;
      case '|':
      case '>':
        if (f.yaml_forms && strings_ == 0) {
          // A block scalar's indicator ends its line (a comment aside).
          std::size_t k = i + 1;
          while (k < n && (p[k] == '-' || p[k] == '+' || digit(p[k]))) ++k;
          while (k < n && blank(p[k])) ++k;
          std::size_t j = i;
          while (j > 0 && blank(p[j - 1])) --j;
          const bool after_key = j == line_begin_ || std::strchr(":-?", p[j - 1]) != nullptr || (i > j);
          if (after_key && (k >= n || p[k] == '\n' || p[k] == '\r' || p[k] == '#')) {
            std::size_t indent = line_begin_;
            while (indent < n && p[indent] == ' ') ++indent;
            block_next_ = static_cast<long>(indent - line_begin_);
          }
        }
        ++i;
        break;
      case '?':
        if (f.php_tags && next_is('>')) {
          frame h;
          h.kind = string;
          h.close = '<';
          h.html = true;
          push(h);
          note_open(i + 2);
          i += 2;
        } else if (f.ruby_percent) {
          i = ruby_question(p, i, n);
        } else if (f.trigraphs && next_is('?') && i + 2 < n && p[i + 2] == '\'' && either(i)) {
          i += 3;  // ??' is a caret where trigraphs are read, else a quote follows
        } else {
          ++i;
        }
        break;
      case '$':
        if (f.shell_forms && next_is('$')) {
          i += 2;  // $$, the shell's own process
        } else if (f.shell_forms && next_is('{')) {
          // ${a#*  } and ${a:-x  y}: a parameter's word keeps its blanks.
          frame s;
          s.kind = string;
          s.open = '{';
          s.close = '}';
          s.escape = '\\';
          s.holds = interpolation::shell;
          push(s);
          note_open(i);
          i += 2;
        } else if (f.shell_forms && next_is('[')) {
          // $[ ]: the old arithmetic, where << shifts.
          frame a;
          a.open = '[';
          a.close = ']';
          a.arith = true;
          push(a);
          i += 2;
        } else {
          ++i;
        }
        break;
      case '_':
        // PHP: what follows __halt_compiler(); is data, to the end; in
        // Perl, what follows __END__ or __DATA__, even after code on its line.
        if ((f.php_tags && halts_compiler(p, i, n)) || (f.perl_forms && top_ == 0 && perl_data_end(p, i, n))) {
          gave_up_ = data_rest_ = true;
          break;
        }
        ++i;
        break;
      case 'c':
      case 'e':
        if (fr.command) shell_word(p, i, n);
        ++i;
        break;
      default:
        ++i;
        break;
    }
  }
  set_->work_ += (i < n ? i : n) - entered;
  if (dead_) return i;
  // Giving up keeps the whole line: nothing of it is converted yet.
  if (gave_up_) {
    // From the start of the line where it gave up (a newline in code is
    // not always looked at, so line_begin_ may lie further back).
    std::size_t from = i < n ? i : n;
    while (from > line_begin_ && p[from - 1] != '\n') --from;
    if (lit_from_ < from) from = lit_from_;
    if (gave_up_from_ == NONE) gave_up_from_ = from;
    mark(from, n);
    return n;
  }
  if (lit_from_ != NONE) mark(lit_from_, n);
  if (text_from_ != NONE && stack_[top_].kind == jsx_text) mark(text_from_, n);
  return n;
}

template std::size_t reading::run<true>(const unsigned char*, std::size_t, std::size_t, bool, std::uint64_t*, std::size_t);
template std::size_t reading::run<false>(const unsigned char*, std::size_t, std::size_t, bool, std::uint64_t*, std::size_t);

}  // namespace morek
