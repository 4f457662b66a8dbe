#include "python_blocks.hpp"

namespace morek {

namespace {

// The tokenizer's limits: levels of indentation, and brackets open.
constexpr std::size_t MAX_LEVELS = 100;
constexpr std::size_t MAX_BRACKETS = 200;

constexpr unsigned char BOM[3] = {0xEF, 0xBB, 0xBF};

bool line_end(unsigned char c) { return c == '\n' || c == '\r'; }

unsigned char closer_of(unsigned char open) { return open == '(' ? ')' : open == '[' ? ']' : '}'; }

}  // namespace

void python_block_reader::stop(python_stop why) {
  blocks_.stop = why;
  blocks_.stop_offset = offset_;
  blocks_.stop_line = line_;
  blocks_.stop_py_line = py_line_;
  st_ = state::stopped;
}

void python_block_reader::close_string(std::size_t end) {
  st_ = state::code;
  string_.to = end;
  if (keep_) blocks_.strings.push_back(string_);
}

void python_block_reader::newline() {
  st_ = state::indent;
  col_ = altcol_ = cont_col_ = 0;
  fresh_line_ = true;
}

void python_block_reader::end_indentation(unsigned char c) {
  st_ = state::code;
  if (c == '#' || line_end(c) || !brackets_.empty()) return;
  // A backslash in the indentation: the column where the first one stood
  // decides, at both tab sizes, unless it stood at the start.
  const int col = cont_col_ != 0 ? cont_col_ : col_;
  const int alt = cont_col_ != 0 ? cont_col_ : altcol_;
  python_step s{start_offset_, start_line_, py_line_, 0, true};
  if (col == levels_.back()) {
    s.consistent = alt == alt_levels_.back();
  } else if (col > levels_.back()) {
    if (levels_.size() >= MAX_LEVELS) return stop(python_stop::too_deep);
    s.change = 1;
    s.consistent = alt > alt_levels_.back();
    levels_.push_back(col);
    alt_levels_.push_back(alt);
  } else {
    while (levels_.size() > 1 && col < levels_.back()) {
      levels_.pop_back();
      alt_levels_.pop_back();
      --s.change;
    }
    if (col != levels_.back()) return stop(python_stop::dedent);
    s.consistent = alt == alt_levels_.back();
  }
  if (!s.consistent && blocks_.first_inconsistent_line == 0) blocks_.first_inconsistent_line = s.line;
  if (keep_) blocks_.steps.push_back(s);
}

void python_block_reader::step(unsigned char c) {
  if (fresh_line_) {
    start_offset_ = offset_;
    start_line_ = line_;
    fresh_line_ = false;
  }
  for (;;) {
    switch (st_) {
      case state::bom:
        if (c == BOM[bom_seen_]) {
          if (++bom_seen_ == 3) st_ = state::indent;
          break;
        }
        st_ = state::indent;
        if (bom_seen_ > 0) end_indentation(BOM[0]);  // a line that starts with other bytes
        continue;
      case state::indent:
        if (c == ' ') {
          ++col_;
          ++altcol_;
        } else if (c == '\t') {
          col_ = (col_ / 8 + 1) * 8;
          ++altcol_;
        } else if (c == '\f') {
          col_ = altcol_ = 0;
        } else if (c == '\\') {
          if (cont_col_ == 0) cont_col_ = col_;
          st_ = state::indent_slash;
        } else {
          end_indentation(c);
          continue;
        }
        break;
      case state::indent_slash:
        // The next physical line goes on measuring the same indentation.
        if (!line_end(c)) return stop(python_stop::continuation);
        st_ = state::indent;
        break;
      case state::code:
        if (line_end(c)) {
          newline();
        } else if (c == '#') {
          st_ = state::comment;
        } else if (c == '\'' || c == '"') {
          quote_ = c;
          run_ = 1;
          string_ = {offset_, 0, line_};
          st_ = state::quotes;
        } else if (c == '\\') {
          st_ = state::code_slash;
        } else if (c == '(' || c == '[' || c == '{') {
          if (brackets_.size() >= MAX_BRACKETS) return stop(python_stop::brackets);
          brackets_.push_back(closer_of(c));
        } else if (c == ')' || c == ']' || c == '}') {
          if (brackets_.empty() || brackets_.back() != c) return stop(python_stop::brackets);
          brackets_.pop_back();
        }
        break;
      case state::code_slash:
        if (!line_end(c)) return stop(python_stop::continuation);
        st_ = state::code;  // the next physical line continues this one
        break;
      case state::comment:
        if (line_end(c)) newline();
        break;
      case state::quotes:
        if (c == quote_ && ++run_ == 3) {
          triple_ = true;
          escape_ = false;
          run_ = 0;
          st_ = state::string;
          break;
        }
        if (c == quote_) break;
        if (run_ == 2) {
          close_string(offset_);  // an empty one
        } else {
          triple_ = false;
          escape_ = false;
          run_ = 0;
          st_ = state::string;
        }
        continue;
      case state::string:
        if (escape_) {
          escape_ = false;  // a CR LF escaped whole: its LF is skipped as part of the CR
          run_ = 0;
        } else if (c == '\\') {
          escape_ = true;
          run_ = 0;
        } else if (c == quote_) {
          if (!triple_ || ++run_ == 3) close_string(offset_ + 1);
        } else if (line_end(c) && !triple_) {
          return stop(python_stop::unterminated);
        } else {
          run_ = 0;
        }
        break;
      case state::stopped:
        return;
    }
    break;
  }
}

void python_block_reader::feed(const unsigned char* p, std::size_t n) {
  for (std::size_t k = 0; k < n && st_ != state::stopped; ++k) {
    const unsigned char c = p[k];
    // The LF of a CR LF is nothing more: the CR ended the line.
    const bool ended = after_cr_ && c == '\n';
    if (!ended) step(c);
    if (st_ == state::stopped) break;
    if (line_end(c) && !ended) ++py_line_;
    after_cr_ = c == '\r';
    if (c == '\n') ++line_;
    ++offset_;
  }
}

const python_blocks& python_block_reader::finish() {
  switch (st_) {
    case state::bom:
      if (bom_seen_ > 0) end_indentation(BOM[0]);
      break;
    case state::indent_slash:
    case state::code_slash:
      stop(python_stop::end_of_text);
      break;
    case state::quotes:
      if (run_ == 1) stop(python_stop::unterminated);
      if (run_ == 2) close_string(offset_);
      break;
    case state::string:
      stop(python_stop::unterminated);
      break;
    default:
      break;
  }
  if (st_ != state::stopped && !brackets_.empty()) stop(python_stop::end_of_text);
  return blocks_;
}

python_blocks read_python_blocks(const unsigned char* p, std::size_t n, bool keep_steps) {
  python_block_reader r(keep_steps);
  r.feed(p, n);
  return r.finish();
}

}  // namespace morek
