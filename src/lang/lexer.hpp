// The one lexer of every language: it follows a text line by line, by the
// forms of its language's table, and says which bytes lie inside literals
// (strings, raw strings, here-documents, regular expressions), so that the
// converter writes them as they are. Where the language leaves open whether
// a byte opens a literal, it follows every reading that cannot be ruled out:
// a byte is kept where any of them has it inside a literal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "languages.hpp"
#include "lex_bytes.hpp"
#include "reading.hpp"

namespace morek {

// Bytes past the end of a line that scan may read (never acts on).
inline constexpr std::size_t LEXER_PAD = 16;

class literal_lexer {
 public:
  literal_lexer() { start(language::text); }
  literal_lexer(const literal_lexer&) = delete;
  literal_lexer& operator=(const literal_lexer&) = delete;

  // Starts a new text in language l; sjis: its bytes are Shift-JIS, whose
  // second byte of a character may be a backslash, a bracket or a letter to
  // a tool that reads bytes: both readings are followed. comments_kept: its
  // comments are kept as literals are (keeps_comments says when).
  void start(language l, bool sjis = false, bool comments_kept = false);
  language lang() const { return forms_->lang; }

  // Sets bit base + k of lit (bit b is bit b % 64 of word b / 64) where byte
  // k of p[0, n) lies inside a literal, and clears it elsewhere; bits outside
  // [base, base + n) are left alone. p holds lines with their newlines, the
  // last of them without one at the end of the text or when it is a piece of
  // a longer line: line_start says whether p begins a line. p must be
  // readable LEXER_PAD bytes past n. A text cut into calls at its line ends
  // is lexed the same however it is cut.
  // Skip leaps over the bytes that cannot matter; without it every byte is
  // looked at (the plain lexer that the leaping one is held to).
  template <bool Skip = true>
  void scan(const unsigned char* p, std::size_t n, bool line_start, std::uint64_t* lit, std::size_t base);

  // Since start: lines on which live readings disagreed about what is a
  // literal (their blanks are kept), and whether the lexer gave up: kept the
  // rest of the text for want of telling its literals apart (not as data
  // after __END__ or __halt_compiler).
  std::size_t disputed_lines() const { return disputed_; }
  bool gave_up() const { return live_ == 1 && readings_[0].gave_up() && !readings_[0].data_rest_; }
  // Having given up, where in p the rest began to be kept, for a text
  // lexed in one call; meaningless for one cut into calls.
  std::size_t gave_up_at() const { return readings_[0].gave_up_from_; }
  // Since start: bytes the readings went over, all of them together (what
  // linear time is held to).
  std::size_t work() const { return work_; }

  // Readings followed at once, past which the rest of the text is kept; and
  // room for those that a line forks before its end merges them.
  static constexpr int MAX_READINGS = 8;
  static constexpr int ROOM = 32;

 private:
  friend class reading;

  const lexical_forms* forms_ = nullptr;
  lex::byte_set code_want_;  // the bytes that can change anything in the text's code
  lex::byte_set comment_stops_;  // ...and in a line comment
  // The bytes that matter in the frames met lately, by a key of what
  // decides them: every reading's scan starts by looking one up, and a
  // fork every few bytes starts one every few bytes.
  struct frame_stops {
    std::uint64_t key = ~std::uint64_t{0};
    lex::byte_set set;
  };
  frame_stops frame_stops_[4];
  int next_stops_ = 0;
  const lex::byte_set& stops_of(const reading::frame& fr);
  // What a quote with no prefix opens in the language, where nothing but
  // an escaped byte may come before its close: such a literal in code is
  // read to its close at once, without a frame (reading::open_quote). The
  // forms that look around a quote first rule it out, but for a raw
  // string's R before it (raw_r) and a run of three (triple), looked at
  // first. Made once a language.
  struct plain_quote {
    bool plain = false;
    bool raw_r = false;
    bool triple = false;
    unsigned char escape = 0;
  };
  plain_quote plain_[3];                     // '"', '\'' and '`'
  const lexical_forms* plain_of_ = nullptr;  // the forms plain_ was made for
  void make_plain_quotes();
  reading readings_[ROOM];
  std::size_t from_[ROOM];  // where each reading of the line being read starts
  int live_ = 1;            // readings_[0, live_) are followed
  int count_ = 1;           // ...and on the line being read, the copies forked on it too
  bool overflow_ = false;   // a fork found no room
  std::size_t disputed_ = 0;
  std::size_t work_ = 0;
  // Shift-JIS, a line cut into calls: the last call ended in a character's
  // lead, whose second byte begins this one (sjis_carry_), and the same of
  // this call for the next.
  bool sjis_carry_ = false;
  bool sjis_carry_next_ = false;
  bool comments_kept_ = false;
  // A reading's marks apart, and the union and the meet of the line's.
  std::vector<std::uint64_t> one_, any_, all_;

  // A copy of r that resumes at i and reads the byte there the other way;
  // false when there is no room for it.
  bool fork(const reading& r, std::size_t i);
  // A fork on the line that begins at line whose copy would be ruled out
  // on it: it takes the room the copy would (so that where the rest is kept
  // stays where it was), without the copy; false when there is none.
  bool fork_that_dies(std::size_t line);
  int dying_ = 0;              // such forks since the copies were last counted, on...
  std::size_t dying_line_ = 0;  // ...the line that begins here
  lex::byte_set regex_stops_;  // the bytes that matter in JavaScript's regular expression, and '<'
  // Reads p[pos, e), a line or the part of one that forks, with every
  // reading; those from from_ on start at their fork. Returns where it
  // stopped.
  template <bool Skip>
  std::size_t read_line(const unsigned char* p, std::size_t pos, std::size_t n, bool at_start, std::uint64_t* lit,
                        std::size_t base, int first);
  // At a line's end: readings in the same state become one; past the bound,
  // or with none left, the rest is kept.
  void settle(const unsigned char* p, std::size_t line_from, std::size_t end, std::uint64_t* lit, std::size_t base);
};

// Whether the comments of text, in language l, hold another language's code
// whose blanks may be in its literals, and so are kept as they are: Go's
// comment before import "C" is the C code that cgo compiles with it.
bool keeps_comments(language l, std::string_view text);

// Whether the Go comment whose text starts at p[j] (after "//" when
// line_comment, else after "/*") is a directive that a tool reads blanks
// and all; n ends the text (a line is lexed whole).
bool go_directive(const unsigned char* p, std::size_t j, std::size_t n, bool line_comment);

// The line (from 1) from which the lexer, unable to tell the literals of
// text apart, keeps the rest of it as it is; 0 when it can. Lexes the text
// again, whole: for the rare text on which the lexer gave up.
std::size_t line_given_up(std::string_view text, language lang, bool sjis);

}  // namespace morek
