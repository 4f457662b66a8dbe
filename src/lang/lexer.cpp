// The set of readings: one reading leaps through the text as long as no byte
// is in doubt; a fork reads the rest of its line with every reading, each
// apart, keeps what any of them keeps, and at the line's end merges those
// that reached the same state.
#include "lexer.hpp"

#include <algorithm>
#include <cstring>
#include <memory>

#include "sjis.hpp"

namespace morek {

using namespace lex;

void literal_lexer::start(language l, bool sjis, bool comments_kept) {
  forms_ = &forms_of(l);
  const lexical_forms& f = *forms_;
  code_want_ = byte_set{};
  auto want = [&](unsigned char c) { code_want_.add(c); };
  // A newline in code matters only where a line's start does, or what ends
  // before it (a regular expression needs to know).
  if (!f.pod_open.empty() || f.data_end || f.yaml_forms || f.heredoc != heredoc_form::none ||
      f.regex != regex_form::none || f.jsx)
    want('\n');
  if (l != language::text) {
    if (f.dq.opens) want('"');
    if (f.sq.opens || f.rust_forms) want('\'');
    if (f.bq.opens) want('`');
    if (!f.line_comment.empty() || f.block_comments || f.regex != regex_form::none) want('/');
    if (f.hash_comments) want('#');
    if (f.shell_forms) {
      want('\\');
      want('(');
      want('$');
    }
    if (f.unicode_escapes) want('\\');
    if (f.trigraphs) want('?');  // ??' may be a caret
    if (f.heredoc != heredoc_form::none || f.jsx) want('<');
    if (f.ruby_percent) {
      want('%');
      want('?');
    }
    if (f.php_tags) {
      want('?');
      want('_');  // __halt_compiler
    }
    if (f.yaml_forms) {
      want('|');
      want('>');
    }
    // Any of its punctuation may be a quote-like operator's delimiter.
    if (f.perl_forms) {
      code_want_.add_punctuation();
      want('_');  // __END__ after code
    }
  }
  if (code_want_.count == 0) want('\n');  // the set is never empty
  comment_stops_ = byte_set{};
  comment_stops_.add('\n');
  if (f.php_tags) comment_stops_.add('?');
  if (f.cr_ends_lines) comment_stops_.add('\r');
  if (f.unicode_escapes) comment_stops_.add('\\');
  for (frame_stops& s : frame_stops_) s.key = ~std::uint64_t{0};
  next_stops_ = 0;
  regex_stops_ = byte_set{};
  for (const unsigned char c : {'\n', '\\', '[', ']', '/'}) regex_stops_.add(c);
  if (f.jsx) regex_stops_.add('<');
  dying_ = 0;
  if (plain_of_ != forms_) make_plain_quotes();
  readings_[0].start(f, this, sjis);
  live_ = 1;
  overflow_ = false;
  disputed_ = work_ = 0;
  sjis_carry_ = sjis_carry_next_ = false;
  comments_kept_ = comments_kept && (!f.line_comment.empty() || f.block_comments);
}

void literal_lexer::make_plain_quotes() {
  const lexical_forms& f = *forms_;
  plain_of_ = forms_;
  const bool any = f.perl_forms || f.ruby_percent || f.yaml_forms || f.dart_raw || f.python_prefixes;
  const quote_form* forms[] = {&f.dq, &f.sq, &f.bq};
  for (int k = 0; k < 3; ++k) {
    plain_quote& q = plain_[k];
    q = plain_quote{};
    q.plain = !any && forms[k]->opens && forms[k]->holds == interpolation::none;
    if (k == 0) {
      q.plain = q.plain && !f.rust_forms && !f.swift_raw && !f.csharp_forms;
      q.raw_r = f.cpp_raw;
      q.triple = f.triple_dq;
    } else if (k == 1) {
      q.plain = q.plain && !f.shell_forms && !f.rust_forms;
      q.triple = f.triple_sq;
    }
    q.escape = forms[k]->escape;
  }
}

bool literal_lexer::fork_that_dies(std::size_t line) {
  if (line != dying_line_) {
    dying_ = 0;
    dying_line_ = line;
  }
  if (count_ + dying_ >= ROOM) return false;  // fork finds no room either
  ++dying_;
  return true;
}

bool literal_lexer::fork(const reading& r, std::size_t i) {
  if (count_ + (r.line_begin_ == dying_line_ ? dying_ : 0) >= ROOM) {
    overflow_ = true;
    return false;
  }
  readings_[count_].take(r);
  readings_[count_].resume_copy(i);
  from_[count_] = i;
  ++count_;
  return true;
}

template <bool Skip>
std::size_t literal_lexer::read_line(const unsigned char* p, std::size_t pos, std::size_t n, bool at_start,
                                     std::uint64_t* lit, std::size_t base, int first) {
  const std::size_t e = line_end(p, pos, n);
  // The masks of the line, word for word over lit's: byte k is bit k + shift.
  const std::size_t lead = (base + pos) % 64;
  const std::size_t shift = lead - pos;  // wraps: k + shift is what counts
  const std::size_t words = (lead + (e - pos) + 63) / 64;  // no word of lit past the line's last bit
  const std::size_t w0 = (base + pos) / 64;
  if (one_.size() < words) {
    one_.resize(words);
    any_.resize(words);
    all_.resize(words);
  }
  if (first == 0) {
    std::fill_n(any_.begin(), words, 0);
    std::fill_n(all_.begin(), words, ~std::uint64_t{0});
  } else {
    // What the first reading marked on its way is in lit already.
    for (std::size_t w = 0; w < words; ++w) any_[w] = all_[w] = lit[w0 + w];
    set_bits(any_.data(), 0, lead, false);
    set_bits(any_.data(), lead + (e - pos), 64 * words, false);
  }
  const int starting = count_;
  // A fork that found no room keeps the whole line and the rest of the
  // text: what the readings not yet run would find counts for nothing.
  for (int k = first; k < count_ && !overflow_; ++k) {
    std::fill_n(one_.begin(), words, 0);
    reading& r = readings_[k];
    r.run<Skip>(p, from_[k], e, k < starting && from_[k] == pos ? at_start : false, one_.data(), shift);
    if (r.dead()) continue;  // ruled out: what it marked on this line goes with it
    for (std::size_t w = 0; w < words; ++w) any_[w] |= one_[w];
    // Before its fork a copy read as the one it was copied from.
    set_bits(one_.data(), lead, from_[k] + shift, true);
    for (std::size_t w = 0; w < words; ++w) all_[w] &= one_[w];
  }
  set_bits(all_.data(), 0, lead, false);
  set_bits(all_.data(), lead + (e - pos), 64 * words, false);
  bool differ = false;
  for (std::size_t w = 0; w < words; ++w) {
    differ = differ || any_[w] != all_[w];
    lit[w0 + w] |= any_[w];
  }
  if (differ) ++disputed_;
  return e;
}

void literal_lexer::settle(const unsigned char* p, std::size_t line_from, std::size_t end, std::uint64_t* lit,
                           std::size_t base) {
  const bool line_end = end > line_from && p[end - 1] == '\n';
  int kept = 0;
  int gave_up = -1;
  for (int k = 0; k < count_; ++k) {
    if (readings_[k].dead()) continue;
    if (readings_[k].gave_up() && gave_up < 0) gave_up = kept;
    // Readings in the same state read the rest alike.
    bool same = false;
    for (int m = 0; m < kept && !same; ++m) same = readings_[m].same_as(readings_[k]);
    if (same) continue;
    if (kept != k) readings_[kept].take(readings_[k]);
    ++kept;
  }
  // One that gave up keeps everything: the others add nothing. Past the
  // bound (counted at a line's end, so that where a text is cut into calls
  // changes nothing), or with every reading ruled out, the rest is kept.
  const bool give_up = kept == 0 || overflow_ || (line_end && kept > MAX_READINGS);
  if (gave_up >= 0 && !give_up) {
    if (gave_up != 0) readings_[0].take(readings_[gave_up]);
    kept = 1;
  }
  if (give_up) {
    if (kept == 0) readings_[0].dead_ = false;
    readings_[0].give_up();
    kept = 1;
    std::size_t from = line_from;
    while (from > 0 && p[from - 1] != '\n') --from;
    if (readings_[0].gave_up_from_ == NONE || readings_[0].gave_up_from_ > from) readings_[0].gave_up_from_ = from;
    set_bits(lit, base + from, base + end, true);
  }
  overflow_ = false;
  count_ = live_ = kept;
}

template <bool Skip>
void literal_lexer::scan(const unsigned char* p, std::size_t n, bool line_start, std::uint64_t* lit,
                         std::size_t base) {
  set_bits(lit, base, base + n, false);
  sjis_carry_ = !line_start && sjis_carry_next_;
  if (readings_[0].sjis_) {
    // Leads at the end run back to where a character starts: an odd run
    // ends in a lead whose second byte is the next call's first.
    std::size_t k = n;
    while (k > 0 && sjis_lead(p[k - 1])) --k;
    sjis_carry_next_ = ((n - k) % 2 == 1) != (k == 0 && sjis_carry_);
  }
  std::size_t pos = 0;
  bool at_start = line_start;
  while (pos < n) {
    count_ = live_;
    dying_ = 0;  // the copies are counted afresh: so are those left out
    std::size_t end;
    if (live_ == 1) {
      // The common case: one reading, over as many lines as it can go.
      reading& r = readings_[0];
      end = r.run<Skip>(p, pos, n, at_start, lit, base);
      if (count_ == 1 && !r.dead()) return;
      // Where a text's code does not look at newlines, line_begin_ may
      // lie lines back: the fork is on the line (settle finds its start).
      std::size_t line_from = r.line_begin_;
      if (count_ > 1) {
        std::size_t fork_from = from_[1];
        for (int k = 2; k < count_; ++k) fork_from = std::min(fork_from, from_[k]);
        read_line<Skip>(p, fork_from, end, false, lit, base, 1);
        line_from = std::max(line_from, fork_from);
      }
      settle(p, line_from, end, lit, base);
    } else {
      // Several readings: each reads the line apart.
      for (int k = 0; k < live_; ++k) from_[k] = pos;
      end = read_line<Skip>(p, pos, n, at_start, lit, base, 0);
      settle(p, pos, end, lit, base);
    }
    at_start = end > 0 && p[end - 1] == '\n';
    pos = end;
  }
}

std::size_t line_given_up(std::string_view text, language lang, bool sjis) {
  std::vector<unsigned char> bytes(text.size() + LEXER_PAD);
  std::copy(text.begin(), text.end(), bytes.begin());
  std::vector<std::uint64_t> lit(text.size() / 64 + 2);
  const auto lexer = std::make_unique<literal_lexer>();
  lexer->start(lang, sjis, keeps_comments(lang, text));
  lexer->scan(bytes.data(), text.size(), true, lit.data(), 0);
  if (!lexer->gave_up()) return 0;
  const std::size_t at = std::min(lexer->gave_up_at(), text.size());
  return 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
}

template void literal_lexer::scan<true>(const unsigned char*, std::size_t, bool, std::uint64_t*, std::size_t);
template void literal_lexer::scan<false>(const unsigned char*, std::size_t, bool, std::uint64_t*, std::size_t);

}  // namespace morek
