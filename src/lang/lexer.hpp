// The one lexer of every language: it follows a text line by line, by the
// forms of its language's table, and says which bytes lie inside literals
// (strings, raw strings, here-documents, regular expressions), so that the
// converter writes them as they are.
#pragma once

#include <cstddef>
#include <cstdint>

#include "languages.hpp"

namespace morek {

// Bytes past the end of a line that scan may read (never acts on).
inline constexpr std::size_t LEXER_PAD = 16;

class literal_lexer {
 public:
  literal_lexer() { start(language::text); }

  // Starts a new text in language l.
  void start(language l);
  language lang() const { return forms_->lang; }

  // Sets bit base + k of lit (bit b is bit b % 64 of word b / 64) where byte
  // k of p[0, n) lies inside a literal, and clears it elsewhere; bits outside
  // [base, base + n) are left alone. p holds lines with their newlines, the
  // last of them without one at the end of the text or when it is a piece of
  // a longer line: line_start says whether p begins a line. p must be
  // readable LEXER_PAD bytes past n.
  // Skip leaps over the bytes that cannot matter; without it every byte is
  // looked at (the plain lexer that the leaping one is held to).
  template <bool Skip = true>
  void scan(const unsigned char* p, std::size_t n, bool line_start, std::uint64_t* lit, std::size_t base);

 private:
  enum frame_kind : unsigned char { code, string, comment };
  struct frame {
    frame_kind kind = code;
    unsigned char close = 0;   // the byte that closes it (a quote, a bracket)
    unsigned char open = 0;    // a bracket that nests with close, or 0
    unsigned char escape = 0;  // the byte that escapes the next, or 0
    unsigned char count = 1;   // close bytes in a row that close it (""" is 3)
    unsigned char hashes = 0;  // '#'s that must follow the close (Rust, Swift)
    unsigned char parts = 0;   // delimited parts still to come (Perl's s///)
    bool spans = true;         // a line's end does not close it
    bool doubled = false;      // a doubled close is one close byte in it (C#'s @"")
    bool greedy = false;       // a longer run of close bytes ends it at its end
    bool cpp_raw = false;      // closes with )delimiter"
    bool html = false;         // PHP's output text, up to "<?"
    bool slash_after = false;  // closes with close and '/' (Rust's doc comments /** */)
    interpolation holds = interpolation::none;
    std::uint32_t depth = 0;   // open brackets (or nested comments) inside it
  };
  struct heredoc {
    char word[64];
    unsigned char len;
    unsigned char strip;  // what may stand before the word on its line
  };
  enum : unsigned char { strip_none, strip_tabs, strip_blanks, strip_php };

  static constexpr int MAX_DEPTH = 32;
  static constexpr int MAX_DOCS = 8;

  const lexical_forms* forms_ = nullptr;
  frame stack_[MAX_DEPTH];
  int top_ = 0;        // stack_[0] is the text's code
  int strings_ = 0;    // string frames on the stack
  heredoc doc_[MAX_DOCS];
  int docs_ = 0;       // here-documents whose bodies are pending or running
  int docs_ready_ = 0; // of them, those whose bodies have begun (opened on an earlier line)
  bool whole_line_ = false;    // the line is a body or documentation line, kept whole
  bool in_line_comment_ = false;
  bool in_pod_ = false;
  bool gave_up_ = false;       // the rest of the text is kept as it is
  bool last_operand_ = false;  // the code before the line ended with an operand
  // YAML: a block scalar runs while lines are blank or indented past this
  // (block_indent_ >= 0), from the line after its indicator (block_next_).
  long block_indent_ = -1;
  long block_next_ = -1;
  unsigned char raw_delim_[16];
  unsigned char raw_len_ = 0;
  unsigned char code_set_[24];
  int code_count_ = 0;
  bool line_rules_ = false;  // lines' starts matter beyond here-documents (POD, __END__, YAML)
  unsigned changes_ = 0;     // pushes and pops, for the set of bytes that matter in the frame on top

  void push(const frame& f);
  void pop();
  // At a line's start (p + i), what the line's start decides: a body of a
  // here-document, documentation, the rest of the text as data, a YAML
  // line's indentation. Returns past the line when it is kept whole, else i.
  std::size_t begin_line(const unsigned char* p, std::size_t i, std::size_t n, std::uint64_t* lit, std::size_t base);
  bool operand_before(const unsigned char* p, std::size_t i) const;
  std::size_t open_quote(const unsigned char* p, std::size_t i, std::size_t n, std::size_t& lit_from);
  std::size_t open_heredoc(const unsigned char* p, std::size_t i, std::size_t n);
  std::size_t open_regex(const unsigned char* p, std::size_t i, std::size_t n, bool& is_regex);
  std::size_t open_quote_like(const unsigned char* p, std::size_t i, std::size_t& lit_from);
  bool ends_heredoc(const unsigned char* p, std::size_t n) const;
  // Notes at as where the outermost literal starts, when the one just
  // opened is it.
  void note_open(std::size_t at, std::size_t& lit_from) const;
};

}  // namespace morek
