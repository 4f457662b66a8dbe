#include "proven_filter.hpp"

#include <algorithm>
#include <cerrno>
#include <string>
#include <string_view>

#include "byte_buffer.hpp"
#include "file_work.hpp"
#include "kinds.hpp"
#include "lexer.hpp"
#include "proof.hpp"
#include "settings.hpp"

namespace morek {

namespace {

thread_local byte_buffer* captured = nullptr;
thread_local bool capture_failed = false;

bool to_capture(const unsigned char* p, std::size_t n) {
  if (!captured->append(p, n)) capture_failed = true;
  return true;  // a false would end the process
}

// The first lines of t, through the LF of its last; all of t when it has no
// more.
std::string_view first_lines(std::string_view t, std::size_t lines) {
  std::size_t at = 0;
  for (std::size_t k = 0; k < lines; ++k) {
    const std::size_t nl = t.find('\n', at);
    if (nl == std::string_view::npos) return t;
    at = nl + 1;
  }
  return t.substr(0, at);
}

// t as the text layer reads it: without its CRs, and up to its first
// Ctrl-Z. Its lines are the input's, one to one.
std::string as_text(std::string_view t) {
  t = t.substr(0, t.find('\x1a'));
  std::string r;
  r.reserve(t.size());
  // The stretches between CRs, whole: a byte at a time costs more than the
  // conversion itself.
  for (std::size_t at = 0; at < t.size();) {
    const std::size_t cr = std::min(t.find('\r', at), t.size());
    r.append(t.substr(at, cr - at));
    at = cr + 1;
  }
  return r;
}

}  // namespace

stream_result convert_proven(int in, const char* name, text_reader& reader, text_reader::options layer,
                             unsigned char* in_buf, bool trim, language lang, int& read_errno) {
  byte_buffer input;
  read_errno = input.read_from(in, 0) ? 0 : errno;
  byte_buffer conversion;
  // The lexer started before the text was read; a text whose comments are
  // kept starts it again.
  if (literals != nullptr && keeps_comments(lang, input.view()))
    literals->start(lang, input_charset() == charset::sjis, true);
  reader.reset(input.view(), layer);
  if (out_len > 0) out_drain();
  const out_target_fn target = out_target;
  captured = &conversion;
  capture_failed = false;
  out_target = to_capture;
  // YAML's indentation is its structure, however the text arrives.
  yaml_lines = lang == language::yaml ? 1 : 0;
  stream_result r = convert_stream(reader, in_buf, trim);
  yaml_lines = 0;
  (void)out_flush();
  out_target = target;
  captured = nullptr;

  // What was read and what was written, line for line: under the text layer
  // without the CRs that it drops from the input and writes at every line
  // end.
  const std::string_view raw = r.too_long != 0 ? first_lines(input.view(), r.lines) : input.view();
  std::string read_text, written_text;
  std::string_view was = raw, now = conversion.view();
  if (!layer.bytewise) {
    read_text = as_text(raw);
    written_text = as_text(conversion.view());
    was = read_text;
    now = written_text;
  }
  const file_kind kind = lang == language::python ? file_kind::python
                         : lang == language::yaml ? file_kind::yaml
                                                  : file_kind::other;
  const proof p = capture_failed ? proof{1, "cannot get memory"} : prove_conversion(was, now, lang, kind, input_charset() == charset::sjis);
  if (p.proven()) {
    out_write(reinterpret_cast<const unsigned char*>(conversion.view().data()), conversion.size());
    // Where the lexer gave up, the rest was kept: say so.
    if (literals != nullptr && literals->gave_up()) {
      if (const std::size_t from = line_given_up(was, lang, input_charset() == charset::sjis); from != 0) {
        const std::string note = std::string(name) + ": " + kept_note(from) + "\n";
        (void)write_all(2, reinterpret_cast<const unsigned char*>(note.data()), note.size());
      }
    }
    return r;
  }
  out_write(reinterpret_cast<const unsigned char*>(raw.data()), raw.size());
  const std::string note =
      std::string(name) + ": line " + std::to_string(p.line) + ": " + std::string(p.why) + "; left as it is\n";
  (void)write_all(2, reinterpret_cast<const unsigned char*>(note.data()), note.size());
  return r;
}

}  // namespace morek
