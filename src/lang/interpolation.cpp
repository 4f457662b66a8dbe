// Code inside literals: "${...}", "#{...}", "{...}", "$(...)", "\(...)"
// and the like open code, up to the matching closer, with literals of its own.
#include <cstring>

#include "lex_bytes.hpp"
#include "reading.hpp"

namespace morek {

using namespace lex;

std::size_t reading::interpolate(const unsigned char* p, std::size_t i, std::size_t n) {
  const unsigned char c = p[i];
  auto next_is = [&](unsigned char b) { return i + 1 < n && p[i + 1] == b; };
  frame code_in;
  code_in.close = '}';
  code_in.open = '{';
  std::size_t past = i + 1;
  bool opens = false;
  switch (stack_[top_].holds) {
    case interpolation::dollar_brace:
      opens = c == '$' && next_is('{');
      past = i + 2;
      break;
    case interpolation::brace:
      if (c == '{' && next_is('{')) return i + 2;
      opens = c == '{';
      break;
    case interpolation::raw_brace: {
      // A run of braces: the last as many as the string's dollars open code
      // after the run, those before them are text; a shorter run is text.
      if (c != '{') return i + 1;
      std::size_t r = 1;
      while (i + r < n && p[i + r] == '{' && r < 512) ++r;
      if (r < stack_[top_].braces) return i + r;
      opens = true;
      past = i + r;
      break;
    }
    case interpolation::hash_brace:
      // #$" is Ruby's $" put in: its quote closes nothing (#$' #$` #$/ too).
      if (c == '#' && next_is('$') && i + 2 < n && std::strchr("~*$?!@/\\;,.=:<>\"'`&+", p[i + 2]) != nullptr)
        return i + 3;
      opens = c == '#' && next_is('{');
      past = i + 2;
      break;
    case interpolation::shell:
      if (c == '`') {
        opens = true;
        code_in.close = '`';
        code_in.open = 0;
      } else if (c == '$' && (next_is('(') || next_is('{'))) {
        opens = true;
        code_in.open = p[i + 1];
        code_in.close = closing_bracket(p[i + 1]);
        past = i + 2;
        if (code_in.open == '(') {
          // $(( )) is arithmetic: << shifts; $( ) holds commands, whose
          // case patterns end in ')'.
          if (i + 2 < n && p[i + 2] == '(') {
            code_in.arith = true;
            code_in.depth = 1;
            past = i + 3;
          } else {
            code_in.command = true;
          }
        }
      }
      break;
    case interpolation::php:
      opens = (c == '{' && next_is('$')) || (c == '$' && next_is('{'));
      past = c == '{' ? i + 1 : i + 2;
      break;
    default:
      break;
  }
  if (!opens) return i + 1;
  push(code_in);
  return past;
}

}  // namespace morek
