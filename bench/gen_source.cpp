// Writes realistic source text for the benchmark, the same bytes for the same
// seed: C and C++ like code with tab and space indentation, aligned comments,
// literals holding blanks and tabs, block and line comments, some Shift-JIS
// lines, and LF or CR LF line ends. Every line is shorter than 511 bytes.
//
// usage: gen_source <megabytes> [seed]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// xorshift64*: the same sequence on every platform, unlike std distributions.
struct rng {
  std::uint64_t s;
  std::uint64_t next() {
    s ^= s >> 12;
    s ^= s << 25;
    s ^= s >> 27;
    return s * 2685821657736338717ULL;
  }
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
  bool chance(int percent) { return below(100) < percent; }
};

const char* const idents[] = {"count", "i",     "buf",    "len", "result", "node", "value", "p",    "table", "offset",
                              "size",  "flags", "status", "ctx", "item",   "next", "prev",  "data", "key",   "n"};
const char* const types[] = {"int",    "char *",        "size_t",       "unsigned", "long",
                             "double", "struct node *", "const char *", "uint32_t", "bool"};
const char* const sjis_words[] = {"\x83\x65\x83\x58\x83\x67", "\x95\x5c\x8e\xa6",
                                  "\x83\x5c\x81\x5b\x83\x58", "\x8f\x88\x97\x9d",
                                  "\x8f\x89\x8a\xfa\x89\xbb", "\x83\x6f\x83\x62\x83\x74\x83\x40"};

struct writer {
  rng r;
  bool crlf = false;
  std::string line;

  const char* ident() { return idents[r.below(20)]; }

  void indent(int depth) {
    if (r.chance(70)) {
      line.append(static_cast<std::size_t>(depth), '\t');
    } else {
      line.append(static_cast<std::size_t>(depth * (r.chance(50) ? 4 : 2)), ' ');
    }
  }

  // Display column of the line's end, tabs at width 8.
  std::size_t column() const {
    std::size_t col = 0;
    for (char c : line) col = c == '\t' ? (col / 8 + 1) * 8 : col + 1;
    return col;
  }

  // Aligns to col with tabs or with spaces; always at least one blank.
  void pad_to(std::size_t col) {
    const bool tabs = r.chance(50);
    do {
      line += tabs && (column() / 8 + 1) * 8 <= col ? '\t' : ' ';
    } while (column() < col);
  }

  void literal() {
    line += '"';
    const int words = 1 + r.below(4);
    for (int w = 0; w < words; ++w) {
      if (w) line += r.chance(20) ? "\\t" : (r.chance(15) ? "\t" : (r.chance(20) ? "    " : " "));
      line += ident();
    }
    if (r.chance(30)) line += "\\n";
    line += '"';
  }

  void comment() {
    if (r.chance(50)) {
      line += "/* ";
      line += ident();
      line += r.chance(20) ? " don't " : " the ";
      line += ident();
      line += " */";
    } else {
      line += "// ";
      if (r.chance(15)) line += sjis_words[r.below(6)];
      line += ident();
      line += " is ";
      line += ident();
    }
  }

  void statement(int depth) {
    indent(depth);
    switch (r.below(7)) {
      case 0:
        line += types[r.below(10)];
        line += r.chance(40) ? "\t" : "        ";
        line += ident();
        line += " = ";
        line += std::to_string(r.below(1000));
        line += ';';
        break;
      case 1:
        line += "printf(";
        literal();
        line += ", ";
        line += ident();
        line += ");";
        break;
      case 2:
        line += "if (";
        line += ident();
        line += " > ";
        line += ident();
        line += ") {";
        break;
      case 3:
        line += ident();
        line += "->";
        line += ident();
        line += " = '";
        line += r.chance(20) ? "\\''" : "x'";
        line += ';';
        break;
      case 4:
        line += "return ";
        line += ident();
        line += ';';
        break;
      case 5:
        line += "for (";
        line += ident();
        line += " = 0; ";
        line += ident();
        line += " < 10; ++";
        line += ident();
        line += ") {";
        break;
      default:
        line += ident();
        line += "(";
        line += ident();
        line += ", ";
        line += ident();
        line += ");";
        break;
    }
    if (r.chance(35)) {
      pad_to(40 + static_cast<std::size_t>(r.below(3)) * 8);
      comment();
    }
    if (r.chance(5)) line += r.chance(50) ? "   " : "\t";  // trailing blanks
  }

  void emit_line(std::string& out) {
    out += line;
    out += crlf ? "\r\n" : "\n";
    line.clear();
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: gen_source <megabytes> [seed]\n", stderr);
    return 2;
  }
  const std::size_t want = static_cast<std::size_t>(std::atol(argv[1])) * 1000 * 1000;
  writer w;
  w.r.s = argc > 2 ? std::strtoull(argv[2], nullptr, 10) | 1 : 0x9E3779B97F4A7C15ULL;
  std::string out;
  std::size_t total = 0;
  while (total < want) {
    // One "file": a block comment header, then functions.
    w.crlf = w.r.chance(30);
    w.line = "/*";
    w.emit_line(out);
    w.line = " * ";
    w.line += sjis_words[w.r.below(6)];
    w.line += " generated";
    w.emit_line(out);
    w.line = " */";
    w.emit_line(out);
    const int functions = 3 + w.r.below(10);
    for (int f = 0; f < functions; ++f) {
      w.line = "static int ";
      w.line += w.ident();
      w.line += "(void)";
      w.emit_line(out);
      w.line = "{";
      w.emit_line(out);
      const int statements = 4 + w.r.below(30);
      for (int s = 0; s < statements; ++s) {
        w.statement(1 + w.r.below(4));
        w.emit_line(out);
      }
      w.line = "}";
      w.emit_line(out);
      w.emit_line(out);
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    total += out.size();
    out.clear();
  }
  return 0;
}
