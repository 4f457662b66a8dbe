// One reading of a text: the lexer's state as one way of reading the text so
// far has it (open literals, pending here-documents), and the scanner that
// carries it along a line. Where the language leaves open whether a byte
// opens a literal, the reading asks its set to follow a copy that reads it
// the other way.
#pragma once

#include <cstddef>
#include <cstdint>

#include "languages.hpp"

namespace morek {

class literal_lexer;

class reading {
 public:
  enum frame_kind : unsigned char { code, string, comment, jsx_tag, jsx_text };
  struct frame {
    frame_kind kind = code;
    unsigned char close = 0;   // the byte that closes it (a quote, a bracket)
    unsigned char open = 0;    // a bracket that nests with close, or 0
    unsigned char escape = 0;  // the byte that escapes the next, or 0
    unsigned char count = 1;   // close bytes in a row that close it (""" is 3)
    unsigned char hashes = 0;  // '#'s that must follow the close (Rust, Swift)
    unsigned char braces = 0;  // braces in a row that open code in it (C#'s $$"""...""")
    unsigned char parts = 0;   // delimited parts still to come (Perl's s///)
    unsigned char cases = 0;   // the shell's case ... esac open in it, whose patterns end in ')'
    bool spans = true;         // a line's end does not close it
    bool dies_at_eol = false;  // ...and a line's end before its close rules the reading out (JavaScript's /re/)
    bool classes = false;      // '[' ... ']' hides the close (JavaScript's /[/]/)
    bool regex = false;        // a regular expression after '/': no term may follow its close
    bool between = false;      // between the parts of s{}{}: blanks and comments until the next delimiter
    bool awaits = false;       // ...or before the first: q at a line's end, whose next line may still be q => 1
    bool doubled = false;      // a doubled close is one close byte in it (C#'s @"")
    bool greedy = false;       // a longer run of close bytes ends it at its end
    bool cpp_raw = false;      // closes with )delimiter"
    bool html = false;         // PHP's output text, up to "<?"
    bool slash_after = false;  // closes with close and '/' (Rust's doc comments /** */)
    bool arith = false;        // the shell's $(( )) and (( )): << shifts
    bool command = false;      // the shell's $( ): case ... esac is followed
    bool closing = false;      // a JSX closing tag </a>
    interpolation holds = interpolation::none;
    std::uint32_t depth = 0;   // open brackets (or nested comments) inside it
    bool operator==(const frame&) const = default;
  };
  struct heredoc {
    char word[64];
    unsigned char len;
    unsigned char strip;  // what may stand before the word on its line
    bool holds_code;      // PHP's {$ ... } in the body, inside which the word is code's
    bool operator==(const heredoc& o) const {
      return len == o.len && strip == o.strip && holds_code == o.holds_code &&
             __builtin_memcmp(word, o.word, len) == 0;
    }
  };
  enum : unsigned char { strip_none, strip_tabs, strip_blanks, strip_php };

  static constexpr int MAX_DEPTH = 32;
  static constexpr int MAX_DOCS = 8;

  void start(const lexical_forms& f, literal_lexer* set, bool sjis);
  // Becomes o: a fork copies a reading on a line that may fork every few
  // bytes, and of the frames and here-documents only a few are in use.
  void take(const reading& o);

  // Carries the reading over p[i, n), setting bit base + k of lit where byte
  // k lies inside a literal (it only sets bits, and clears only YAML's). It
  // stops early at the end of the line where it forked (its copies go on
  // from the fork); returns where it stopped.
  template <bool Skip>
  std::size_t run(const unsigned char* p, std::size_t i, std::size_t n, bool at_start, std::uint64_t* lit,
                  std::size_t base);

  // The same state, but for the bookkeeping of one call: two readings that
  // are the same read the rest of the text alike.
  bool same_as(const reading& o) const;

  bool gave_up() const { return gave_up_; }
  bool dead() const { return dead_; }
  void give_up() { gave_up_ = true; }
  // Positions inside the current call, for a copy that resumes at at.
  void resume_copy(std::size_t at);
  // For the next call.
  void next_call();

 private:
  friend class literal_lexer;

  const lexical_forms* forms_ = nullptr;
  literal_lexer* set_ = nullptr;
  int top_ = 0;         // stack_[0] is the text's code
  int strings_ = 0;     // string frames on the stack
  int docs_ = 0;        // here-documents whose bodies are pending or running
  int docs_ready_ = 0;  // of them, those whose bodies have begun (opened on an earlier line)
  bool whole_line_ = false;  // the line is a body or documentation line, kept whole
  bool in_line_comment_ = false;
  bool keep_comment_ = false;  // ...kept as literals are: all comments kept, or Go's directive
  bool in_pod_ = false;
  bool gave_up_ = false;       // the rest of the text is kept as it is...
  std::size_t gave_up_from_ = SIZE_MAX;  // ...from here, in the call where it gave up...
  bool data_rest_ = false;               // ...because the rest is data (__END__, __halt_compiler)
  bool dead_ = false;          // the language rules this reading out
  bool forked_ = false;        // a copy reads a byte of this line the other way...
  std::size_t fork_at_ = 0;    // ...this one
  bool take_other_ = false;    // this is that copy: at its first choice it takes the other way
  bool last_operand_ = false;  // the code before the line ended with an operand
  bool text_start_ = true;     // no line has begun yet (a first line #! is a comment in JavaScript)
  bool sjis_ = false;          // the text is Shift-JIS
  // YAML: a block scalar runs while lines are blank or indented past this
  // (block_indent_ >= 0), from the line after its indicator (block_next_).
  long block_indent_ = -1;
  long block_next_ = -1;
  unsigned char raw_delim_[16];
  unsigned char raw_len_ = 0;
  // PHP: the braces of {$ ... } open at the end of the running body's line,
  // and the quote open inside them, if any.
  std::uint32_t body_code_ = 0;
  unsigned char body_quote_ = 0;
  bool line_rules_ = false;  // lines' starts matter beyond here-documents (POD, __END__, YAML)
  unsigned changes_ = 0;     // pushes and pops, for the set of bytes that matter in the frame on top
  bool leap_ = false;        // the leaping scan (not the plain one it is held to) is running

  // Positions in the current call: where the outermost open literal starts,
  // where JSX text starts, the line's start, a number's digits checked.
  std::size_t lit_from_ = SIZE_MAX;
  std::size_t text_from_ = SIZE_MAX;
  std::size_t line_begin_ = 0;
  std::size_t number_to_ = 0;
  std::size_t closed_at_ = SIZE_MAX;  // just past the last literal closed: its flags follow (qr/a/s)
  std::uint64_t* lit_ = nullptr;
  std::size_t base_ = 0;

  // Last, so that take copies what comes before them whole, and of them
  // only what is in use.
  frame stack_[MAX_DEPTH];
  heredoc doc_[MAX_DOCS];

  void push(const frame& f);
  void pop();
  void mark(std::size_t a, std::size_t b);
  void note_open(std::size_t at);
  void close_literal(std::size_t end);
  // Where the language leaves open whether the byte at i opens a literal:
  // false for this reading, and a copy that resumes at i takes true.
  bool either(std::size_t i);
  void die(std::size_t i);
  // Shift-JIS: whether the byte at i, which may matter, is the second of a
  // character; a tool that reads bytes reads it on its own. Asks for a copy
  // of the reading that takes it as the character's.
  bool sjis_second(const unsigned char* p, std::size_t i);

  // Line starts (line_starts.cpp): here-document bodies, documentation, the
  // rest of the text as data, a YAML line's indentation. Returns past the
  // line when it is kept whole, else i.
  std::size_t begin_line(const unsigned char* p, std::size_t i, std::size_t n);
  // Quotes and their prefixes (quotes.cpp).
  std::size_t open_quote(const unsigned char* p, std::size_t i, std::size_t n);
  std::size_t plain_literal(const unsigned char* p, std::size_t i, std::size_t n, unsigned char escape) const;
  bool digit_separator(const unsigned char* p, std::size_t i);
  // Here-documents (heredocs.cpp).
  std::size_t open_heredoc(const unsigned char* p, std::size_t i, std::size_t n);
  // Past what the body's last line keeps (the terminator, with what may
  // stand before it); 0 when the line p[0, n) does not end the body.
  std::size_t ends_heredoc(const unsigned char* p, std::size_t n) const;
  // Follows the code that a PHP heredoc's line p[i, e) puts in.
  void body_code(const unsigned char* p, std::size_t i, std::size_t e);
  // Where an expression starts, and regular expressions (regexes.cpp).
  enum class before { operand, expression, either };
  before what_before(const unsigned char* p, std::size_t i) const;
  bool operand_before(const unsigned char* p, std::size_t i) const { return what_before(p, i) == before::operand; }
  std::size_t slash(const unsigned char* p, std::size_t i, std::size_t n);
  // Whether a copy that reads the '/' at i as opening a regular expression
  // is ruled out on this line for sure.
  bool regex_dies_on_line(const unsigned char* p, std::size_t i, std::size_t n) const;
  bool term_after_close(const unsigned char* p, std::size_t i, std::size_t n) const;
  // Quote-like operators and % literals, Ruby's ?c (quote_like.cpp).
  std::size_t open_quote_like(const unsigned char* p, std::size_t i, std::size_t n);
  int quote_like_op(const unsigned char* p, std::size_t j, std::size_t& w) const;
  void open_quote_like_part(std::size_t w, int parts, bool awaits);
  void quote_like_at_line_end(const unsigned char* p, std::size_t i);
  std::size_t next_part(const unsigned char* p, std::size_t i, std::size_t n);
  std::size_t ruby_percent(const unsigned char* p, std::size_t i, std::size_t n);
  std::size_t ruby_question(const unsigned char* p, std::size_t i, std::size_t n);
  // Code inside literals (interpolation.cpp): the frame it opens at i, if any.
  std::size_t interpolate(const unsigned char* p, std::size_t i, std::size_t n);
  // PHP's __halt_compiler at i, after which the text is data.
  bool halts_compiler(const unsigned char* p, std::size_t i, std::size_t n) const;
  // The shell's words that nest: case ... esac, (( )) (shell_words.cpp).
  void shell_word(const unsigned char* p, std::size_t i, std::size_t n);
  std::size_t shell_paren(const unsigned char* p, std::size_t i, std::size_t n);
  // JSX (jsx.cpp).
  std::size_t open_jsx(const unsigned char* p, std::size_t i, std::size_t n);
  std::size_t jsx_tag_byte(const unsigned char* p, std::size_t i, std::size_t n);
  std::size_t jsx_text_byte(const unsigned char* p, std::size_t i, std::size_t n);
  void jsx_text_line(const unsigned char* p, std::size_t i, std::size_t n);
  void jsx_text_newline(const unsigned char* p, std::size_t i);
};

}  // namespace morek
